// PNG decoding from a mapped file into the scratch buffer (TEX_load_png) against libpng's own
// row reader on the same bytes (both checked against the saved pixels), and the DXT vertical flip against decoding, flipping
// and re-encoding the same blocks. Usage: bench_tex_png [rounds (20)]
#include <png.h>
#include <squish.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "bench_ratio.h"
#include "files/xmap.h"
#include "tex/tex_codecs.h"
#include "tex/tman.h"

namespace {

struct memory_source {
  const unsigned char* at;
  size_t left;
};

void read_from_memory(png_structp png, png_bytep out, png_size_t n) {
  auto* src = static_cast<memory_source*>(png_get_io_ptr(png));
  if (n > src->left) png_error(png, "short file");
  std::memcpy(out, src->at, n);
  src->at += n;
  src->left -= n;
}

// libpng's own row reader with no transformation: the bytes as the file holds them.
bool libpng_decode(const std::vector<unsigned char>& file, std::vector<unsigned char>& out, int w) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  memory_source src{file.data(), file.size()};
  std::vector<png_bytep> rows;
  bool ok = false;
  if (!setjmp(png_jmpbuf(png))) {
    png_set_read_fn(png, &src, read_from_memory);
    png_read_info(png, info);
    const png_uint_32 h = png_get_image_height(png, info);
    rows.resize(h);
    for (png_uint_32 y = 0; y < h; ++y) rows[y] = &out[size_t(y) * w * 4];
    png_read_image(png, rows.data());
    ok = true;
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  const int W = 1024, H = 1024;
  // A picture with some structure, saved by our encoder.
  std::vector<unsigned char> px(size_t(W) * H * 4);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      unsigned char* p = &px[(size_t(y) * W + x) * 4];
      p[0] = static_cast<unsigned char>((x * x + y) >> 4);
      p[1] = static_cast<unsigned char>(y ^ x);
      p[2] = static_cast<unsigned char>((x + 3 * y) >> 2);
      p[3] = static_cast<unsigned char>(x < 512 ? 255 : y);
    }
  TEX_image_desc d;
  d.format = GL_RGBA;
  d.width = W;
  d.height = H;
  const std::string path = (std::filesystem::temp_directory_path() / "bench_tex_png.png").string();
  if (!TEX_save_png(path, d, px.data())) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  std::ifstream f(path, std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(f)), {});

  std::vector<unsigned char> out(size_t(W) * H * 4);
  unsigned char* dst = nullptr;
  const std::vector<bench::Times> png = bench::interleaved(rounds, {
      [&] {
        xmap_class map(path);
        dst = scratch_array_temp;
        TEX_image_desc got;
        TEX_load_png(path, &map, dst, GL_RGBA, 0, 1, 0, got);
      },
      [&] { libpng_decode(bytes, out, W); }});
  // Both decoders must give back the saved pixels; the file holds rows top first, the
  // program's images bottom first.
  bool same = std::memcmp(dst, px.data(), px.size()) == 0;
  for (int y = 0; y < H; ++y)
    same = same && std::memcmp(&out[size_t(y) * W * 4], &px[size_t(H - 1 - y) * W * 4], size_t(W) * 4) == 0;
  if (!same) {
    std::fprintf(stderr, "a decoder did not give back the saved pixels\n");
    return 1;
  }
  bench::print_ratio("PNG 1024x1024 RGBA decode", png[0], "libpng row reader", png[1], "ms", 1e3);

  // DXT5 flip in place against decode + flip + re-encode.
  TEX_image_desc dxt;
  dxt.format = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
  dxt.width = W;
  dxt.height = H;
  std::vector<unsigned char> blocks(size_t(TEX_bytes_needed_for_image(dxt)));
  squish::CompressImage(px.data(), W, H, blocks.data(), squish::kDxt5 | squish::kColourRangeFit);
  const std::vector<bench::Times> flip = bench::interleaved(std::max(1, rounds / 4), {
      [&] { TEX_flip_y(dxt, blocks.data()); },
      [&] {
        squish::DecompressImage(out.data(), W, H, blocks.data(), squish::kDxt5);
        for (int y = 0; y < H / 2; ++y)
          std::swap_ranges(&out[size_t(y) * W * 4], &out[size_t(y + 1) * W * 4], &out[size_t(H - 1 - y) * W * 4]);
        squish::CompressImage(out.data(), W, H, blocks.data(), squish::kDxt5 | squish::kColourRangeFit);
      }});
  bench::print_ratio("DXT5 1024x1024 vertical flip", flip[0], "decode + flip + re-encode", flip[1], "ms", 1e3);
  std::filesystem::remove(path);
  return 0;
}
