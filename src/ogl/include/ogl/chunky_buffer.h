// Vertex data of unknown final size, gathered without reallocation in chained 1024-byte chunks
// grouped into subregions, then finished into one OpenGL buffer object (or one memory block);
// each subregion learns its byte offset. Also the two binders that skip redundant buffer binds.
#pragma once
#include <cstdint>

struct OGL_chunk {
  static constexpr int kBytes = 1024;
  OGL_chunk* next;
  int free_bytes;  // kBytes - bytes used
  alignas(4) unsigned char data[kBytes];
};

struct OGL_subregion {
  OGL_subregion* next;
  OGL_chunk* first_chunk;    // null once the data has been finished
  OGL_chunk* current_chunk;  // the chunk being written
  unsigned char* write_ptr;  // into the current chunk's data
  int offset;                // bytes from the start of the finished buffer

  // Appends `count` 4-byte words, chaining a new chunk whenever the current one is full. Writing
  // after the data was finished is a fatal alert.
  void put_words(const void* words, int count);
  void put_float(float f) { put_words(&f, 1); }
  void put_int(int32_t i) { put_words(&i, 1); }
};

class OGL_chunkybuffer {
 public:
  OGL_chunkybuffer();
  ~OGL_chunkybuffer();
  OGL_chunkybuffer(const OGL_chunkybuffer&) = delete;
  OGL_chunkybuffer& operator=(const OGL_chunkybuffer&) = delete;

  OGL_subregion* new_subregion();
  // Offsets of every subregion and the total size, without finishing.
  void calc_offsets();
  // Finishes into a buffer object (static or stream use); in memory when buffer objects are
  // switched off. A buffer is finished once: a second finish is a fatal alert.
  void finalize_vbo(int static_draw);
  void finalize_mem();
  // Maps the buffer object for reading and writing into `data`; nothing in memory mode.
  void map();
  void unmap();
  int is_mapped() const { return buffer_name != 0 && data != nullptr; }

  void* data;                  // memory mode: the block; buffer mode: the mapping while mapped
  unsigned long buffer_name;   // the buffer object; 0 in memory mode
  int total_size;              // bytes of all subregions
  OGL_subregion* first;
  OGL_subregion* last;

 private:
  void finish_common();
  int finished_ = 0;
  float counted_ = 0;  // what this buffer added to the memory statistic
};

// Bind `vbo` as the vertex (index) buffer unless it is the one these binders bound last; real
// binds count in the per-frame statistics "num_xdl_bind" ("num_xdl_bind_ind"). Nothing is bound
// while buffer objects are switched off.
void OGL_bind_vbo(const unsigned long& vbo);
void OGL_bind_vbo_ind(const unsigned long& vbo);
