// Frame encoder of the movie recorder: ARGB window pixels straight into JPEG with libjpeg-turbo,
// into a buffer that is kept from frame to frame so that steady recording allocates nothing.
#include "movie/jpeg_frame.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "foundation/nedmalloc.h"

int MOV_jpeg_quality(int spatial_quality) {
  if (spatial_quality < 0) spatial_quality = 0;
  if (spatial_quality > 1023) spatial_quality = 1023;
  int q = (spatial_quality * 100 + 511) / 1023;
  return q < 1 ? 1 : q;
}

struct MOV_jpeg_encoder::state {
  jpeg_compress_struct cinfo;  // first: the callbacks find the state from it
  jpeg_error_mgr jerr;
  jpeg_destination_mgr dest;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  bool started = false;
  unsigned char* out = nullptr;  // nedmalloc'd
  size_t cap = 0;
  size_t size = 0;
  std::vector<const unsigned char*> rows;
  std::string error;
};

namespace {
using enc_state = MOV_jpeg_encoder::state;

enc_state* state_of(j_common_ptr c) {
  static_assert(offsetof(enc_state, cinfo) == 0);
  return reinterpret_cast<enc_state*>(c);
}
enc_state* state_of(j_compress_ptr c) { return state_of(reinterpret_cast<j_common_ptr>(c)); }

void on_error(j_common_ptr c) {
  enc_state* s = state_of(c);
  c->err->format_message(c, s->message);
  std::longjmp(s->jump, 1);
}

void on_message(j_common_ptr, int) {}  // warnings are not shown

void dest_init(j_compress_ptr c) {
  enc_state* s = state_of(c);
  s->dest.next_output_byte = s->out;
  s->dest.free_in_buffer = s->cap;
}

// Called with the whole buffer full.
boolean dest_grow(j_compress_ptr c) {
  enc_state* s = state_of(c);
  size_t used = s->cap;
  size_t cap = used * 2;
  void* bigger = nedrealloc(s->out, cap);
  if (!bigger) {
    std::snprintf(s->message, sizeof(s->message), "out of memory for the image");
    std::longjmp(s->jump, 1);
  }
  s->out = static_cast<unsigned char*>(bigger);
  s->cap = cap;
  s->dest.next_output_byte = s->out + used;
  s->dest.free_in_buffer = cap - used;
  return TRUE;
}

void dest_term(j_compress_ptr c) {
  enc_state* s = state_of(c);
  s->size = s->cap - s->dest.free_in_buffer;
}

// Kept out of encode() so that no C++ object lives across the library's long jump.
bool run_library(enc_state* s, int width, int height, int quality) {
  jpeg_compress_struct* c = &s->cinfo;
  if (setjmp(s->jump)) {
    jpeg_abort_compress(c);
    return false;
  }
  c->image_width = JDIMENSION(width);
  c->image_height = JDIMENSION(height);
  c->input_components = 4;
  c->in_color_space = JCS_EXT_XRGB;  // the alpha byte is ignored
  jpeg_set_defaults(c);
  jpeg_set_quality(c, quality, TRUE);
  c->dct_method = JDCT_ISLOW;
  jpeg_start_compress(c, TRUE);
  while (c->next_scanline < c->image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(s->rows[c->next_scanline]);
    jpeg_write_scanlines(c, &row, 1);
  }
  jpeg_finish_compress(c);
  return true;
}

bool start_library(enc_state* s) {
  if (setjmp(s->jump)) return false;
  jpeg_create_compress(&s->cinfo);
  return true;
}
}  // namespace

MOV_jpeg_encoder::MOV_jpeg_encoder() : st_(new state) {
  st_->cinfo.err = jpeg_std_error(&st_->jerr);
  st_->jerr.error_exit = on_error;
  st_->jerr.emit_message = on_message;
  st_->dest.init_destination = dest_init;
  st_->dest.empty_output_buffer = dest_grow;
  st_->dest.term_destination = dest_term;
  st_->started = start_library(st_);
  if (st_->started) st_->cinfo.dest = &st_->dest;
  else st_->error = st_->message;
}

MOV_jpeg_encoder::~MOV_jpeg_encoder() {
  if (st_->started) jpeg_destroy_compress(&st_->cinfo);
  nedfree(st_->out);
  delete st_;
}

const unsigned char* MOV_jpeg_encoder::data() const { return st_->out; }
size_t MOV_jpeg_encoder::size() const { return st_->size; }
const std::string& MOV_jpeg_encoder::error() const { return st_->error; }

bool MOV_jpeg_encoder::encode(const unsigned char* argb, int width, int height, int quality) {
  state* s = st_;
  s->size = 0;
  if (!s->started) return false;
  s->error.clear();
  if (!argb || width <= 0 || height <= 0 || width > JPEG_MAX_DIMENSION ||
      height > JPEG_MAX_DIMENSION) {
    s->error = "bad frame size";
    return false;
  }
  // Most frames fit in a third of their pixels' bytes at the recorder's quality; more grows.
  size_t want = size_t(width) * size_t(height) + 4096;
  if (s->cap < want) {
    void* b = nedrealloc(s->out, want);
    if (!b) {
      s->error = "out of memory";
      return false;
    }
    s->out = static_cast<unsigned char*>(b);
    s->cap = want;
  }
  s->rows.resize(size_t(height));
  for (int y = 0; y < height; ++y) s->rows[size_t(y)] = argb + size_t(y) * size_t(width) * 4;
  if (!run_library(s, width, height, quality)) {
    s->error = s->message;
    s->size = 0;
    return false;
  }
  return true;
}
