// Image codecs: PNG (libpng) and 24-bit BMP reading, PNG writing, DDS files with DXT blocks,
// compression through libsquish and the block flippers.
#pragma once
#include <cstdint>
#include <string>

#include "tex/tex_utils.h"

class xmap_class;

// ---------------------------------------------------------------- PNG and BMP

// The mapped file the PNG reader is decoding; null outside a decode.
extern xmap_class* png_mapped_file;
// A path named in PNG warnings and errors (nothing assigns it).
extern std::string ping_path;

// Common arguments: format GL_RGB, GL_RGBA or GL_ALPHA; row_width (pixels) gives a row pad;
// pow2 pads rows and height to powers of two and clears the buffer. `data` null: allocated
// with nedmalloc for the caller; else written in place, refused when it needs more than
// `capacity` bytes. Images land bottom-up.
int TEX_load_png(const std::string& path, xmap_class* map, unsigned char*& data, unsigned long format,
                 int row_width, int pow2, int keep_file_alpha, TEX_image_desc& desc,
                 long capacity = TEX_scratch_bytes);
int TEX_load_bmp(const std::string& path, xmap_class* map, unsigned char*& data, unsigned long format,
                 int row_width, int pow2, TEX_image_desc& desc, long capacity = TEX_scratch_bytes);
// Writes app_path + path from a bottom-up GL_RGB, GL_RGBA or GL_ALPHA image; 1 on success.
int TEX_save_png(const std::string& path, const TEX_image_desc& desc, const unsigned char* pixels);
// Saves the scratch image (GL_RGBA with 4 bytes per pixel, else GL_RGB).
int write_png_to_disk(std::string path, int width, int height, int bytes_per_pixel);

// ---------------------------------------------------------------- DDS and DXT

struct DXTColBlock {
  uint16_t col0;
  uint16_t col1;
  uint8_t row[4];  // 2-bit indices, one byte per texel row, first texel in the low bits
};
struct DXT3AlphaBlock {
  uint16_t row[4];
};
struct DXT5AlphaBlock {
  uint8_t alpha0;
  uint8_t alpha1;
  uint8_t row[6];  // 3-bit indices, 12 bits per texel row
};

enum TEX_s3tc_quality : int { s3tc_range_fit = 0, s3tc_cluster_fit = 1, s3tc_iterative_fit = 2 };

// Recognises a DDS header in the mapped file; data points into the mapping (no copy).
int TEX_load_dds(const std::string& path, xmap_class* map, unsigned char*& data,
                 TEX_image_desc& desc);
// Writes a GL_RGB (DXT1) or GL_RGBA (DXT5) image as a DDS file with its mip chain.
int TEX_save_dds(const std::string& path, const unsigned char* pixels, const TEX_image_desc& desc);
void TEX_encode_s3tc(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc,
                     const unsigned char* src, unsigned char* dst, TEX_s3tc_quality quality);
void TEX_decode_s3tc(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc,
                     const unsigned char* src, unsigned char* dst);

// Flip the texel rows inside `count` blocks of one block row. `rows` is the number of texel
// rows the blocks hold (4, or 1 to 3 for a level less than 4 texels tall). The DXT1 flipper
// returns 1 when it met a transparent texel while `flag` was 0; the others return 0.
int nv_flip_blocks_dxtc1(DXTColBlock* blocks, int count, int flag, int rows = 4);
int nv_flip_blocks_dxtc3(DXTColBlock* blocks, int count, int flag, int rows = 4);
int nv_flip_blocks_dxtc5(DXTColBlock* blocks, int count, int flag, int rows = 4);
int nv_flip_dxt5_alpha(DXT5AlphaBlock* block, int rows = 4);
void nv_gamma_correct(DXTColBlock* block);
int DecColor565(unsigned short& colour);
int IncColor565(unsigned short& colour);
