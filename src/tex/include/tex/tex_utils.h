// The image layer under the texture manager: the descriptor every codec fills, the byte-size
// rule, in-place pixel utilities, the texture-size check, the vertical flip and the two entry
// points that read an image file of either kind.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstddef>
#include <string>

// Pixels are rows bottom-up, 8 bits per channel in the order the format names; each row is
// followed by `pad` bytes. With has_mips the whole chain down to 1 x 1 follows back to back.
struct TEX_image_desc {
  unsigned int format = 0;  // GL enumerant
  int width = 0;
  int height = 0;
  int pad = 0;
  int has_mips = 0;
};

// Capacity of the scratch images the loaders decode into (2048 x 2048 x 4 bytes).
inline constexpr long TEX_scratch_bytes = 2048L * 2048L * 4L;

// Bytes of the image, the mip chain included when has_mips; 0 for a format it does not know.
int TEX_bytes_needed_for_image(const TEX_image_desc& desc);
// Same rule without the int limit; -1 for an unknown format.
long long TEX_bytes_needed_for_image_ll(const TEX_image_desc& desc);

// Bytes per pixel of an uncompressed format (0 for compressed or unknown ones).
int TEX_bytes_per_pixel(unsigned int format);
// 1 for the four DXT formats.
int TEX_is_dxt(unsigned int format);

// Shrinks the image in place by integer factors (across, up); writes the new size into desc.
void TEX_downscale(TEX_image_desc& desc, unsigned char* pixels, int fx, int fy);
// Clears the alpha of every RGBA pixel whose colour lies within `threshold` of `key`.
void TEX_chroma_key(const TEX_image_desc& desc, unsigned char* pixels, unsigned char* key,
                    int threshold);
// Draws src stretched to (x1, y1)-(x2, y2) of dst, bilinear, over dst.
void TEX_composite(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc,
                   unsigned char* src, unsigned char* dst, float x1, float y1, float x2, float y2);
// Refuses a texture side outside 1 to 2048 (fatal alert naming `name`).
void check_dxy(int value, std::string name);

// Turns every level upside down in place; 1 when a DXT1 image holds a transparent texel.
int TEX_flip_y(const TEX_image_desc& desc, unsigned char* pixels);

// Reads a BMP or PNG file, whichever its first bytes show; 1 on success. `data` is allocated
// with nedmalloc when null, else written in place (at most `capacity` bytes).
int TEX_load_any(const std::string& path, unsigned char*& data, unsigned long format, int row_width,
                 int keep_file_alpha, TEX_image_desc& desc, long capacity = TEX_scratch_bytes);
// The same, by name whatever its extension: ".png" is tried first, then ".bmp".
int TEX_load_any_ext(const std::string& path, unsigned char*& data, unsigned long format,
                     int row_width, int keep_file_alpha, TEX_image_desc& desc,
                     long capacity = TEX_scratch_bytes);
