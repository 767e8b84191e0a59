// Chunked vertex buffers against a real OpenGL context: word streams over many subregions read
// back from the buffer object and the memory block, drawing from a buffer, the binders' counts,
// the memory statistic, the "--no_vbos" path and the misuse that must be fatal.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "alert_sink.h"
#include "foundation/cmdline.h"
#include "gl_fixture.h"
#include "ogl/chunky_buffer.h"
#include "ogl/extensions.h"
#include "stat_find.h"

using test_support::find_stat;

namespace {

class ChunkyBuffer : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    AlertSink quiet;
    glExt.init_extensions();
    ASSERT_EQ(glExt.vbo_avail, 1) << "Mesa offers buffer objects";
  }
  static float mem_stat() {
    UTL_stat* s = find_stat("memory/chunky_buffers");
    return s ? s->value : -1.0f;
  }
  // The buffer object's bytes.
  static std::vector<uint32_t> buffer_words(unsigned long name, int bytes) {
    std::vector<uint32_t> out(size_t(bytes) / 4);
    GLint previous = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &previous);
    glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, GLuint(name));
    if (bytes) glExt.glGetBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, bytes, out.data());
    glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, GLuint(previous));
    return out;
  }
  static GLint array_binding() {
    GLint b = -1;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &b);
    return b;
  }
};

// One stream per subregion, written in random pieces.
struct streams {
  std::vector<std::vector<uint32_t>> words;
  std::vector<uint32_t> all() const {
    std::vector<uint32_t> v;
    for (const auto& w : words) v.insert(v.end(), w.begin(), w.end());
    return v;
  }
};

streams fill(OGL_chunkybuffer& b, unsigned seed) {
  std::mt19937 rng(seed);
  streams s;
  const int regions = 1 + int(rng() % 40);
  // Sizes around the 256-word chunk boundary come up on purpose.
  const int special[] = {0, 1, 255, 256, 257, 512, 513};
  for (int r = 0; r < regions; ++r) {
    OGL_subregion* sub = b.new_subregion();
    const int n = (rng() % 3 == 0) ? special[rng() % 7] : int(rng() % 900);
    std::vector<uint32_t> w(static_cast<size_t>(n));
    for (auto& x : w) x = rng();
    for (int at = 0; at < n;) {
      const int piece = std::min(n - at, 1 + int(rng() % 300));
      sub->put_words(&w[size_t(at)], piece);
      at += piece;
    }
    s.words.push_back(std::move(w));
  }
  return s;
}

}  // namespace

TEST_F(ChunkyBuffer, RandomStreamsLandAtTheirOffsets) {
  for (unsigned seed = 1; seed <= 24; ++seed) {
    SCOPED_TRACE(seed);
    const bool object = seed % 2 == 1;
    OGL_chunkybuffer b;
    streams s = fill(b, seed);
    const std::vector<uint32_t> want = s.all();
    if (object)
      b.finalize_vbo(seed % 4 == 1);
    else
      b.finalize_mem();
    ASSERT_EQ(b.total_size, int(want.size() * 4));
    int at = 0, i = 0;
    for (OGL_subregion* r = b.first; r; r = r->next, ++i) {
      EXPECT_EQ(r->offset, at) << "subregion " << i;
      EXPECT_EQ(r->first_chunk, nullptr) << "chunks are freed by finishing";
      at += int(s.words[size_t(i)].size() * 4);
    }
    EXPECT_EQ(i, int(s.words.size()));
    if (object) {
      ASSERT_NE(b.buffer_name, 0u);
      EXPECT_EQ(buffer_words(b.buffer_name, b.total_size), want);
      EXPECT_EQ(b.is_mapped(), 0);
      b.map();
      ASSERT_EQ(b.is_mapped(), 1);
      ASSERT_TRUE(want.empty() || std::memcmp(b.data, want.data(), want.size() * 4) == 0);
      b.unmap();
      EXPECT_EQ(b.is_mapped(), 0);
    } else {
      EXPECT_EQ(b.buffer_name, 0u);
      ASSERT_TRUE(want.empty() || std::memcmp(b.data, want.data(), want.size() * 4) == 0);
      b.map();  // nothing to map in memory
      EXPECT_EQ(b.is_mapped(), 0);
    }
  }
}

TEST_F(ChunkyBuffer, OffsetsOfSmallAndChainedSubregions) {
  OGL_chunkybuffer b;
  OGL_subregion* a = b.new_subregion();
  for (int i = 0; i < 3; ++i) a->put_float(float(i));
  b.calc_offsets();
  EXPECT_EQ(b.total_size, 12);
  EXPECT_EQ(a->offset, 0);
  OGL_subregion* c = b.new_subregion();
  std::vector<int32_t> words(281);
  for (size_t i = 0; i < words.size(); ++i) words[i] = int32_t(i * 7);
  c->put_words(words.data(), int(words.size()));
  ASSERT_NE(c->first_chunk->next, nullptr) << "a full chunk chains the next";
  EXPECT_EQ(c->first_chunk->free_bytes, 0);
  EXPECT_EQ(c->first_chunk->next->free_bytes, 1024 - 100);
  b.calc_offsets();
  EXPECT_EQ(c->offset, 12);
  EXPECT_EQ(b.total_size, 12 + 1124);
  b.finalize_mem();
  const auto* bytes = static_cast<const unsigned char*>(b.data);
  EXPECT_EQ(std::memcmp(bytes + 12, words.data(), 1124), 0) << "chunks are copied in write order";
}

TEST_F(ChunkyBuffer, TriangleFromTheBufferAfterMapping) {
  clear();
  OGL_chunkybuffer b;
  OGL_subregion* junk = b.new_subregion();
  for (int i = 0; i < 300; ++i) junk->put_float(-5.0f);
  OGL_subregion* tri = b.new_subregion();
  // Drawn in window pixels: a right triangle in the lower-left quarter, moved through the mapping.
  const float verts[6] = {10, 10, 110, 10, 10, 110};
  tri->put_words(verts, 6);
  b.finalize_vbo(1);

  UTL_stat* binds = nullptr;
  OGL_bind_vbo(b.buffer_name);
  binds = find_stat("num_xdl_bind");
  ASSERT_NE(binds, nullptr);
  const float after_first = binds->value;
  OGL_bind_vbo(b.buffer_name);
  EXPECT_EQ(binds->value, after_first) << "the same buffer twice is one bind";

  b.map();
  auto* mapped = static_cast<float*>(b.data);
  for (int i = 0; i < 6; i += 2) mapped[tri->offset / 4 + i] += 150.0f;  // to x 160..260
  b.unmap();
  EXPECT_EQ(array_binding(), GLint(b.buffer_name)) << "mapping leaves the binder's buffer bound";
  OGL_bind_vbo(b.buffer_name);
  EXPECT_EQ(binds->value, after_first);

  OGL_setstate(fog_fals, 0, lit_fals, al_none, deR_fals, deW_fals);
  glColor4f(1, 1, 1, 1);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(2, GL_FLOAT, 0, reinterpret_cast<const void*>(intptr_t(tri->offset)));
  glDrawArrays(GL_TRIANGLES, 0, 3);
  glDisableClientState(GL_VERTEX_ARRAY);
  auto px = read_back();
  int x0, y0, x1, y1, n;
  ASSERT_TRUE(lit_box(px, &x0, &y0, &x1, &y1, &n));
  EXPECT_EQ(x0, 160);
  EXPECT_EQ(y0, 10);
  EXPECT_NEAR(x1, 259, 1);
  EXPECT_NEAR(y1, 109, 1);
  EXPECT_NEAR(n, 100 * 100 / 2, 150);

  // The index binder keeps its own cache and count.
  OGL_bind_vbo_ind(b.buffer_name);
  UTL_stat* ind = find_stat("num_xdl_bind_ind");
  ASSERT_NE(ind, nullptr);
  const float ind_first = ind->value;
  OGL_bind_vbo_ind(b.buffer_name);
  EXPECT_EQ(ind->value, ind_first);
  OGL_bind_vbo_ind(0);
  EXPECT_EQ(ind->value, ind_first + 1.0f);
  OGL_bind_vbo(0);
}

TEST_F(ChunkyBuffer, DestroyingReleasesBindsAndTheMemoryStatistic) {
  const float base = mem_stat();
  ASSERT_GE(base, 0.0f);
  {
    OGL_chunkybuffer never;  // never finished: counts nothing
    never.new_subregion()->put_float(1.0f);
    never.calc_offsets();  // sized, yet nothing was added for it
    OGL_chunkybuffer in_mem;
    for (int i = 0; i < 10; ++i) in_mem.new_subregion()->put_float(1.0f);
    in_mem.finalize_mem();
    OGL_chunkybuffer mapped;
    for (int i = 0; i < 600; ++i) mapped.new_subregion()->put_int(i);
    mapped.finalize_vbo(0);
    mapped.map();
    EXPECT_EQ(mem_stat(), base + 40.0f + 2400.0f);
    OGL_bind_vbo(mapped.buffer_name);
    // Destroyed while mapped: the driver's mapping is released, never freed as heap memory.
  }
  EXPECT_EQ(mem_stat(), base);
  EXPECT_EQ(array_binding(), 0) << "the binder's buffer is unbound before it is deleted";
  OGL_chunkybuffer next;
  next.new_subregion()->put_float(2.0f);
  next.finalize_vbo(1);
  UTL_stat* binds = find_stat("num_xdl_bind");
  ASSERT_NE(binds, nullptr);
  const float before = binds->value;
  OGL_bind_vbo(next.buffer_name);
  EXPECT_EQ(binds->value, before + 1.0f) << "a reused name is bound again";
  EXPECT_EQ(array_binding(), GLint(next.buffer_name));
}

TEST_F(ChunkyBuffer, WithoutVertexBuffersItFinishesInMemoryAndBindsNothing) {
  cmdline.options["--no_vbos"] = "";
  {
    AlertSink quiet;
    glExt.init_extensions();
  }
  cmdline.options.erase("--no_vbos");
  ASSERT_EQ(glExt.vbo_avail, 0);
  const float base = mem_stat();
  {
    OGL_chunkybuffer b;
    streams s = fill(b, 77);
    b.finalize_vbo(1);
    EXPECT_EQ(b.buffer_name, 0u);
    const std::vector<uint32_t> want = s.all();
    ASSERT_EQ(b.total_size, int(want.size() * 4));
    ASSERT_TRUE(want.empty() || std::memcmp(b.data, want.data(), want.size() * 4) == 0);
    EXPECT_EQ(mem_stat(), base + float(b.total_size));
    OGL_bind_vbo(1234);
    OGL_bind_vbo_ind(1234);
    EXPECT_EQ(array_binding(), 0);
    b.map();
    EXPECT_EQ(b.is_mapped(), 0);
  }
  EXPECT_EQ(mem_stat(), base);
}

using ChunkyBufferDeathTest = ChunkyBuffer;

TEST_F(ChunkyBufferDeathTest, MisuseIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        OGL_chunkybuffer b;
        b.new_subregion()->put_float(1.0f);
        b.finalize_mem();
        b.finalize_vbo(1);
      },
      testing::ExitedWithCode(1), "already finished");
  EXPECT_EXIT(
      {
        OGL_chunkybuffer b;
        OGL_subregion* s = b.new_subregion();
        b.finalize_vbo(1);
        s->put_float(1.0f);
      },
      testing::ExitedWithCode(1), "already finished");
  EXPECT_EXIT(
      {
        OGL_chunkybuffer b;
        b.new_subregion()->put_float(1.0f);
        b.finalize_vbo(1);
        glExt.glMapBufferARB = [](GLenum, GLenum) -> void* { return nullptr; };
        b.map();
      },
      testing::ExitedWithCode(1), "run out of video card memory");
}
