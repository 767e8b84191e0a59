// PNG decoding from a mapped file into the scratch buffer (TEX_load_png) against libpng's own
// simplified reader on the same bytes, and the DXT vertical flip against decoding, flipping
// and re-encoding the same blocks. Usage: bench_tex_png [rounds (20)]
// Prints milliseconds per image for each and the ratio peer / ours (above 1: ours is faster).
#include <png.h>
#include <squish.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "files/xmap.h"
#include "tex/tex_codecs.h"
#include "tex/tman.h"

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
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

  double ours = 1e30, peer = 1e30;
  std::vector<unsigned char> out(size_t(W) * H * 4);
  for (int r = 0; r < rounds; ++r) {
    auto t0 = Clock::now();
    xmap_class map(path);
    unsigned char* dst = scratch_array_temp;
    TEX_image_desc got;
    TEX_load_png(path, &map, dst, GL_RGBA, 0, 1, 0, got);
    ours = std::min(ours, ms_since(t0));

    t0 = Clock::now();
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_memory(&img, bytes.data(), bytes.size());
    img.format = PNG_FORMAT_RGBA;
    png_image_finish_read(&img, nullptr, out.data(), -W * 4, nullptr);
    peer = std::min(peer, ms_since(t0));
  }
  std::printf("PNG 1024x1024 RGBA decode: ours %.2f ms, libpng simplified %.2f ms, ratio %.2f\n",
              ours, peer, peer / ours);

  // DXT5 flip in place against decode + flip + re-encode.
  TEX_image_desc dxt;
  dxt.format = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
  dxt.width = W;
  dxt.height = H;
  std::vector<unsigned char> blocks(size_t(TEX_bytes_needed_for_image(dxt)));
  squish::CompressImage(px.data(), W, H, blocks.data(), squish::kDxt5 | squish::kColourRangeFit);
  double flip = 1e30, redo = 1e30;
  for (int r = 0; r < std::max(1, rounds / 4); ++r) {
    auto t0 = Clock::now();
    TEX_flip_y(dxt, blocks.data());
    flip = std::min(flip, ms_since(t0));
    t0 = Clock::now();
    squish::DecompressImage(out.data(), W, H, blocks.data(), squish::kDxt5);
    for (int y = 0; y < H / 2; ++y)
      std::swap_ranges(&out[size_t(y) * W * 4], &out[size_t(y + 1) * W * 4], &out[size_t(H - 1 - y) * W * 4]);
    squish::CompressImage(out.data(), W, H, blocks.data(), squish::kDxt5 | squish::kColourRangeFit);
    redo = std::min(redo, ms_since(t0));
  }
  std::printf("DXT5 1024x1024 vertical flip: blocks %.3f ms, decode+flip+encode %.2f ms, ratio %.0f\n",
              flip, redo, redo / flip);
  std::filesystem::remove(path);
  return 0;
}
