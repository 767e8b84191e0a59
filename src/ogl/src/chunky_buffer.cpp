// Chunked vertex buffers: chunks are chained per subregion while the data is written, then
// uploaded one chunk at a time into a buffer object allocated once at its exact size.
#include "ogl/chunky_buffer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/alert.h"
#include "foundation/nedmalloc.h"
#include "foundation/stats.h"
#include "ogl/extensions.h"

namespace {

const char* const kSrc = "DUdurid/OGL/OGL_ChunkyBuffer";

UTL_stat g_mem_used("memory/chunky_buffers", stat_memory, 0.0f);

// What the binders last bound on each target. Kept true by everything in this unit that binds
// behind them (map, unmap, the destructor).
unsigned long g_last_vbo = 0;
unsigned long g_last_vbo_ind = 0;

UTL_stat& array_binds() {
  static UTL_stat s("num_xdl_bind", stat_per_frame, 0.0f);
  return s;
}
UTL_stat& index_binds() {
  static UTL_stat s("num_xdl_bind_ind", stat_per_frame, 0.0f);
  return s;
}

void bad_argument(const char* what, int line) {
  __ZARIRU_alert(0, "Bad argument to the chunked vertex buffer:", what, "", "", t_exit, kSrc, line);
}

// nedmalloc or a fatal alert: a block that could not be had is never written through.
void* must_alloc(size_t bytes, int line) {
  void* p = nedmalloc(bytes);
  if (!p) {
    char text[64];
    std::snprintf(text, sizeof text, "%zu bytes", bytes);
    __ZARIRU_alert(0, "Volarium has run out of memory.", "I was unable to allocate a vertex buffer of",
                   text, "Try running Volarium with lower rendering settings.", t_exit, kSrc, line);
  }
  return p;
}

OGL_chunk* new_chunk() {
  auto* c = static_cast<OGL_chunk*>(must_alloc(sizeof(OGL_chunk), __LINE__));
  c->next = nullptr;
  c->free_bytes = OGL_chunk::kBytes;
  return c;
}

void free_chunks(OGL_chunk* c) {
  while (c) {
    OGL_chunk* next = c->next;
    nedfree(c);
    c = next;
  }
}

int used(const OGL_chunk* c) { return OGL_chunk::kBytes - c->free_bytes; }

void bind_cached(GLenum target, unsigned long& last, UTL_stat& binds, unsigned long vbo) {
  if (!glExt.vbo_avail || !glExt.glBindBufferARB) return;
  if (vbo == last) return;
  binds.value += 1.0f;
  glExt.glBindBufferARB(target, static_cast<GLuint>(vbo));
  last = vbo;
}

}  // namespace

void OGL_subregion::put_words(const void* words, int count) {
  if (!first_chunk) bad_argument("Writing into a subregion whose data was already finished.", __LINE__);
  const auto* src = static_cast<const unsigned char*>(words);
  while (count > 0) {
    if (current_chunk->free_bytes < 4) {
      OGL_chunk* c = new_chunk();
      current_chunk->next = c;
      current_chunk = c;
      write_ptr = c->data;
    }
    const int room = current_chunk->free_bytes / 4;
    const int n = count < room ? count : room;
    std::memcpy(write_ptr, src, static_cast<size_t>(n) * 4);
    write_ptr += n * 4;
    src += n * 4;
    current_chunk->free_bytes -= n * 4;
    count -= n;
  }
}

OGL_chunkybuffer::OGL_chunkybuffer()
    : data(nullptr), buffer_name(0), total_size(0), first(nullptr), last(nullptr) {}

OGL_subregion* OGL_chunkybuffer::new_subregion() {
  if (finished_) bad_argument("A new subregion after the buffer was finished.", __LINE__);
  auto* s = static_cast<OGL_subregion*>(must_alloc(sizeof(OGL_subregion), __LINE__));
  OGL_chunk* c = new_chunk();
  s->next = nullptr;
  s->first_chunk = s->current_chunk = c;
  s->write_ptr = c->data;
  s->offset = 0;
  if (!first)
    first = s;
  else
    last->next = s;
  last = s;
  return s;
}

void OGL_chunkybuffer::calc_offsets() {
  int total = 0;
  for (OGL_subregion* s = first; s; s = s->next) {
    s->offset = total;
    for (OGL_chunk* c = s->first_chunk; c; c = c->next) total += used(c);
  }
  total_size = total;
}

void OGL_chunkybuffer::finish_common() {
  if (finished_) bad_argument("The buffer was already finished.", __LINE__);
  finished_ = 1;
  calc_offsets();
  counted_ = static_cast<float>(total_size);
  g_mem_used.value += counted_;
}

void OGL_chunkybuffer::finalize_vbo(int static_draw) {
  if (!glExt.vbo_avail) {
    finalize_mem();
    return;
  }
  finish_common();
  GLuint name = 0;
  glExt.glGenBuffersARB(1, &name);
  buffer_name = name;
  GLint previous = 0;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &previous);
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, name);
  glExt.glBufferDataARB(GL_ARRAY_BUFFER_ARB, total_size, nullptr,
                        static_draw ? GL_STATIC_DRAW_ARB : GL_STREAM_DRAW_ARB);
  data = nullptr;
  GLintptrARB at = 0;
  for (OGL_subregion* s = first; s; s = s->next) {
    for (OGL_chunk* c = s->first_chunk; c; c = c->next) {
      glExt.glBufferSubDataARB(GL_ARRAY_BUFFER_ARB, at, used(c), c->data);
      at += used(c);
    }
    free_chunks(s->first_chunk);
    s->first_chunk = s->current_chunk = nullptr;
    s->write_ptr = nullptr;
  }
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, static_cast<GLuint>(previous));
}

void OGL_chunkybuffer::finalize_mem() {
  finish_common();
  auto* block = total_size > 0 ? static_cast<unsigned char*>(must_alloc(size_t(total_size), __LINE__)) : nullptr;
  data = block;
  size_t at = 0;
  for (OGL_subregion* s = first; s; s = s->next) {
    for (OGL_chunk* c = s->first_chunk; c; c = c->next) {
      std::memcpy(block + at, c->data, size_t(used(c)));
      at += size_t(used(c));
    }
    free_chunks(s->first_chunk);
    s->first_chunk = s->current_chunk = nullptr;
    s->write_ptr = nullptr;
  }
}

void OGL_chunkybuffer::map() {
  if (buffer_name == 0 || data) return;
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, static_cast<GLuint>(buffer_name));
  void* p = glExt.glMapBufferARB(GL_ARRAY_BUFFER_ARB, GL_READ_WRITE_ARB);
  if (!p)
    __ZARIRU_alert(0, "Volarium has run out of video card memory.", "I was unable to shift the scenery.",
                   "Try running Volarium with lower rendering settings.",
                   "If that does not help, please report this to Tarrowind!", t_exit, kSrc, 186);
  data = p;
  // Back to what the binder holds, so that its next skip is still right.
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, static_cast<GLuint>(g_last_vbo));
}

void OGL_chunkybuffer::unmap() {
  if (buffer_name == 0 || !data) return;
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, static_cast<GLuint>(buffer_name));
  glExt.glUnmapBufferARB(GL_ARRAY_BUFFER_ARB);
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, static_cast<GLuint>(g_last_vbo));
  data = nullptr;
}

OGL_chunkybuffer::~OGL_chunkybuffer() {
  if (buffer_name != 0) {
    unmap();  // the mapping belongs to the driver: never freed here
    if (g_last_vbo != 0) {
      array_binds().value += 1.0f;
      glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
      g_last_vbo = 0;
    }
    if (g_last_vbo_ind != 0) {
      index_binds().value += 1.0f;
      glExt.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
      g_last_vbo_ind = 0;
    }
    GLuint name = static_cast<GLuint>(buffer_name);
    glExt.glDeleteBuffersARB(1, &name);
  } else if (data) {
    nedfree(data);
  }
  data = nullptr;
  for (OGL_subregion* s = first; s;) {
    OGL_subregion* next = s->next;
    free_chunks(s->first_chunk);
    nedfree(s);
    s = next;
  }
  g_mem_used.value -= counted_;
}

void OGL_bind_vbo(const unsigned long& vbo) {
  bind_cached(GL_ARRAY_BUFFER_ARB, g_last_vbo, array_binds(), vbo);
}

void OGL_bind_vbo_ind(const unsigned long& vbo) {
  bind_cached(GL_ELEMENT_ARRAY_BUFFER_ARB, g_last_vbo_ind, index_binds(), vbo);
}
