// 8 MB of vertex words of unknown final size gathered in 1 KB pieces and made into one buffer
// object: the chunked vertex buffer (chunks, then one sub-upload per chunk) against one growing
// std::vector and a single upload of the same bytes. Both buffers are read back and compared.
// Usage (needs a display, e.g. under xvfb-run): bench_chunky [rounds (15)]
// Prints min and median of interleaved rounds and the ratio ours / peer (<1 = ours faster), for
// the whole job (writing + finishing) and for the finishing alone.
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gl_frames.h"
#include "ogl/chunky_buffer.h"
#include "ogl/extensions.h"
#include "platform/window.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWords = 8 * 1024 * 1024 / 4;
constexpr int kPiece = 1024 / 4;

double ms_since(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

bool same_as(GLuint buffer, const std::vector<uint32_t>& want) {
  std::vector<uint32_t> got(want.size());
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffer);
  glExt.glGetBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, GLsizeiptrARB(want.size() * 4), got.data());
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  return got == want;
}

struct times {
  double whole, finish;
};

times run_ours(const std::vector<uint32_t>& src, bool* ok) {
  const auto t0 = Clock::now();
  OGL_chunkybuffer b;
  OGL_subregion* s = b.new_subregion();
  for (int at = 0; at < kWords; at += kPiece) s->put_words(&src[size_t(at)], kPiece);
  const auto t1 = Clock::now();
  b.finalize_vbo(1);
  glFinish();
  const times t{ms_since(t0), ms_since(t1)};
  *ok = b.total_size == kWords * 4 && same_as(GLuint(b.buffer_name), src);
  return t;
}

times run_peer(const std::vector<uint32_t>& src, bool* ok) {
  const auto t0 = Clock::now();
  std::vector<uint32_t> v;  // the final size is not known in advance
  for (int at = 0; at < kWords; at += kPiece) v.insert(v.end(), &src[size_t(at)], &src[size_t(at)] + kPiece);
  const auto t1 = Clock::now();
  GLuint name = 0;
  glExt.glGenBuffersARB(1, &name);
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, name);
  glExt.glBufferDataARB(GL_ARRAY_BUFFER_ARB, GLsizeiptrARB(v.size() * 4), v.data(), GL_STATIC_DRAW_ARB);
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  glFinish();
  const times t{ms_since(t0), ms_since(t1)};
  *ok = same_as(name, src);
  glExt.glDeleteBuffersARB(1, &name);
  return t;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  PLAT_gl_window win;
  if (!bench_gl::open_window("bench_chunky", &win)) return 1;
  if (!glExt.vbo_avail) {
    std::fprintf(stderr, "bench_chunky: this OpenGL has no buffer objects\n");
    return 1;
  }
  std::vector<uint32_t> src(kWords);
  unsigned s = 2463534242u;
  for (auto& w : src) {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    w = s;
  }
  std::vector<double> ours_whole, ours_fin, peer_whole, peer_fin;
  bool all_ok = true;
  for (int r = 0; r < rounds; ++r) {
    bool ok1 = false, ok2 = false;
    // Alternate which goes first so that neither always meets a warm cache.
    times a{}, b{};
    if (r % 2 == 0) {
      a = run_ours(src, &ok1);
      b = run_peer(src, &ok2);
    } else {
      b = run_peer(src, &ok2);
      a = run_ours(src, &ok1);
    }
    all_ok = all_ok && ok1 && ok2;
    ours_whole.push_back(a.whole);
    ours_fin.push_back(a.finish);
    peer_whole.push_back(b.whole);
    peer_fin.push_back(b.finish);
  }
  if (!all_ok) {
    std::fprintf(stderr, "bench_chunky: a buffer did not hold the bytes written\n");
    return 1;
  }
  auto line = [](const char* what, const std::vector<double>& o, const std::vector<double>& p) {
    const double omin = *std::min_element(o.begin(), o.end()), pmin = *std::min_element(p.begin(), p.end());
    std::printf("%-26s ours min %8.2f ms median %8.2f ms | vector+upload min %8.2f ms median %8.2f ms | "
                "ours/peer min %.2f median %.2f (<1 = ours faster)\n",
                what, omin, median(o), pmin, median(p), omin / pmin, median(o) / median(p));
  };
  std::printf("8 MB in 1 KB pieces, %d interleaved rounds, renderer %s\n", rounds,
              reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  line("write + finish:", ours_whole, peer_whole);
  line("finish only:", ours_fin, peer_fin);
  PLAT_window_close(&win);
  return 0;
}
