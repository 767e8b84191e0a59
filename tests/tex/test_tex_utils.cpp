// Byte sizes, downscale, chroma key, compositing, the size check, the vertical flip and the
// two file entry points.
#include <gtest/gtest.h>

#include "alert_sink.h"
#include "tex/tex_codecs.h"
#include "tex/tex_utils.h"
#include "foundation/nedmalloc.h"
#include "tex_test_util.h"

using namespace textest;

namespace {
TEX_image_desc desc(unsigned fmt, int w, int h, int pad = 0, int mips = 0) {
  TEX_image_desc d;
  d.format = fmt;
  d.width = w;
  d.height = h;
  d.pad = pad;
  d.has_mips = mips;
  return d;
}
}  // namespace

TEST(TexBytes, LevelsAndFormats) {
  EXPECT_EQ(TEX_bytes_needed_for_image(desc(GL_RGBA, 4, 4, 0, 1)), 64 + 16 + 4);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc(GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 5, 3, 0, 1)), 16 + 8 + 8);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc(GL_RGB, 1, 1, 2, 1)), 3 + 2);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc(0x1234, 4, 4)), 0);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc(GL_DEPTH_COMPONENT, 3, 2, 9)), 24);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc(GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 8, 8)), 64);
  EXPECT_EQ(TEX_bytes_needed_for_image(desc(GL_ALPHA, 8, 2, 1, 1)), 18 + 5 + 3 + 2);
}

TEST(TexDownscale, BoxFilterAndShifts) {
  std::vector<uint8_t> a = {0, 4, 8, 12, 16, 20, 24, 28};
  TEX_image_desc d = desc(GL_ALPHA, 4, 2);
  TEX_downscale(d, a.data(), 2, 2);
  EXPECT_EQ(d.width, 2);
  EXPECT_EQ(d.height, 1);
  EXPECT_EQ(a[0], 10);
  EXPECT_EQ(a[1], 18);
  // a factor of 3 divides by 4: three 100s give 75
  std::vector<uint8_t> b = {100, 100, 100};
  TEX_image_desc e = desc(GL_ALPHA, 3, 1);
  TEX_downscale(e, b.data(), 3, 1);
  EXPECT_EQ(b[0], 75);
  // RGBA keeps channels apart
  std::vector<uint8_t> c = {10, 20, 30, 40, 30, 40, 50, 60};
  TEX_image_desc f = desc(GL_RGBA, 2, 1);
  TEX_downscale(f, c.data(), 2, 1);
  EXPECT_EQ((std::vector<uint8_t>(c.begin(), c.begin() + 4)), (std::vector<uint8_t>{20, 30, 40, 50}));
  // BGRA too: four bytes a pixel, not one
  std::vector<uint8_t> g = {10, 20, 30, 40, 30, 40, 50, 60};
  TEX_image_desc h = desc(GL_BGRA, 2, 1);
  TEX_downscale(h, g.data(), 2, 1);
  EXPECT_EQ(g[3], 50);
}

TEST(TexDownscale, RowsKeepTheirPad) {
  // 4 x 2 RGB with 2 pad bytes; result 2 x 1, row stride 3 * 2 + 2
  std::vector<uint8_t> p(2 * (12 + 2));
  for (size_t i = 0; i < p.size(); ++i) p[i] = uint8_t(i);
  TEX_image_desc d = desc(GL_RGB, 4, 2, 2);
  TEX_downscale(d, p.data(), 2, 2);
  EXPECT_EQ(d.pad, 2);
  EXPECT_EQ(p[0], (0 + 3 + 14 + 17) / 4);
  EXPECT_EQ(p[3], (6 + 9 + 20 + 23) / 4);
}

TEST(TexChromaKey, StrictThreshold) {
  std::vector<uint8_t> p = {10, 20, 30, 255, 11, 20, 30, 255, 50, 50, 50, 255};
  unsigned char key[3] = {10, 20, 30};
  TEX_chroma_key(desc(GL_RGBA, 3, 1), p.data(), key, 0);
  EXPECT_EQ(p[3], 255);  // distance 0 is not below 0
  TEX_chroma_key(desc(GL_RGBA, 3, 1), p.data(), key, 2);
  EXPECT_EQ(p[3], 0);
  EXPECT_EQ(p[7], 0);
  EXPECT_EQ(p[11], 255);
  EXPECT_EQ(p[0], 10);
}

TEST(TexComposite, OpaqueSourceCoversItsRectangle) {
  std::vector<uint8_t> src(2 * 2 * 3, 200);
  std::vector<uint8_t> dst(4 * 4 * 4, 0);
  TEX_composite(desc(GL_RGB, 2, 2), desc(GL_RGBA, 4, 4), src.data(), dst.data(), 1, 1, 3, 3);
  // pixel (1, 1) samples source (0, 0) with full weight
  const uint8_t* p = &dst[(1 * 4 + 1) * 4];
  EXPECT_EQ(p[0], 200);
  EXPECT_EQ(p[3], 255);
  // pixel (0, 0) is outside the rectangle
  EXPECT_EQ(dst[0], 0);
  EXPECT_EQ(dst[3], 0);
}

TEST(TexComposite, TransparentSourceLeavesColour) {
  std::vector<uint8_t> src = {255, 0, 0, 0};
  std::vector<uint8_t> dst = {10, 20, 30};
  TEX_composite(desc(GL_RGBA, 1, 1), desc(GL_RGB, 1, 1), src.data(), dst.data(), 0, 0, 1, 1);
  EXPECT_EQ(dst, (std::vector<uint8_t>{10, 20, 30}));
}

TEST(TexCheckDxy, Limits) {
  AlertSink sink;
  check_dxy(1, "a");
  check_dxy(2048, "a");
  EXPECT_EQ(sink.count(), 0u);
}

TEST(TexCheckDxyDeathTest, OutOfRangeIsFatal) {
  EXPECT_EXIT(check_dxy(0, "tex/x"), testing::ExitedWithCode(1), "less than 1 or greater than 2048");
  EXPECT_EXIT(check_dxy(2049, "tex/x"), testing::ExitedWithCode(1), "2049");
}

TEST(TexFlip, RowsSwapMiddleStays) {
  std::vector<uint8_t> p = {1, 1, 1, 2, 2, 2, 3, 3, 3};
  EXPECT_EQ(TEX_flip_y(desc(GL_RGB, 1, 3), p.data()), 0);
  EXPECT_EQ(p, (std::vector<uint8_t>{3, 3, 3, 2, 2, 2, 1, 1, 1}));
}

TEST(TexFlip, EveryLevelOfAChain) {
  // 2 x 2 then 1 x 1 alpha
  std::vector<uint8_t> p = {1, 2, 3, 4, 9};
  TEX_flip_y(desc(GL_ALPHA, 2, 2, 0, 1), p.data());
  EXPECT_EQ(p, (std::vector<uint8_t>{3, 4, 1, 2, 9}));
}

TEST(TexFlipDeathTest, DepthIsIllegal) {
  std::vector<uint8_t> p(16);
  EXPECT_EXIT(TEX_flip_y(desc(GL_DEPTH_COMPONENT, 2, 2), p.data()), testing::ExitedWithCode(1),
              "Illegal format!");
}

TEST(TexLoadAny, PicksTheDecoderByContent) {
  auto dir = temp_dir("load_any");
  TEX_image_desc d = desc(GL_RGB, 3, 2);
  std::vector<uint8_t> px(18, 77);
  // a PNG named .bmp is still read
  ASSERT_EQ(TEX_save_png((dir / "pic.bmp").string(), d, px.data()), 1);
  unsigned char* data = nullptr;
  TEX_image_desc got;
  ASSERT_EQ(TEX_load_any((dir / "pic.bmp").string(), data, GL_RGB, 0, 0, got), 1);
  EXPECT_EQ(got.width, 3);
  EXPECT_EQ(data[0], 77);
  nedfree(data);
  write_file(dir / "seven", {1, 2, 3, 4, 5, 6, 7});
  data = nullptr;
  EXPECT_EQ(TEX_load_any((dir / "seven").string(), data, GL_RGB, 0, 0, got), 0);
  EXPECT_EQ(TEX_load_any((dir / "missing").string(), data, GL_RGB, 0, 0, got), 0);
}

TEST(TexLoadAnyExt, TriesPngThenBmpWhateverTheExtension) {
  auto dir = temp_dir("load_any_ext");
  TEX_image_desc d = desc(GL_RGB, 2, 2);
  std::vector<uint8_t> px(12, 5);
  ASSERT_EQ(TEX_save_png((dir / "sky.png").string(), d, px.data()), 1);
  unsigned char* data = nullptr;
  TEX_image_desc got;
  EXPECT_EQ(TEX_load_any_ext((dir / "sky.tga").string(), data, GL_RGB, 0, 0, got), 1);
  nedfree(data);
  data = nullptr;
  EXPECT_EQ(TEX_load_any_ext((dir / "sky").string(), data, GL_RGB, 0, 0, got), 1);
  nedfree(data);
  data = nullptr;
  // "sky.jpeg" keeps its characters: sky.jpeg.png does not exist
  EXPECT_EQ(TEX_load_any_ext((dir / "sky.jpeg").string(), data, GL_RGB, 0, 0, got), 0);
}
