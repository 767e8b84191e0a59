// BMP reading, DDS headers, DXT compression and block flips; a DDS we write is read by the peer.
#include <gtest/gtest.h>
#include <squish.h>

#include <cstring>

#include "alert_sink.h"
#include "files/xmap.h"
#include "ogl/colr.h"
#include "tex/tex_codecs.h"
#include "foundation/nedmalloc.h"
#include "tex_test_util.h"

using namespace textest;

namespace {

void put(std::vector<uint8_t>& b, size_t off, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b[off + i] = uint8_t(v >> (8 * i));
}

// A 24-bit BMP; pixel(x, y) gives blue, green, red of the stored row y (bottom first).
std::vector<uint8_t> make_bmp(int w, int h, int bits = 24, int compression = 0,
                              std::function<std::array<uint8_t, 3>(int, int)> px = nullptr) {
  int stride = ((3 * w + 3) / 4) * 4;
  std::vector<uint8_t> b(54 + size_t(stride) * (h > 0 ? h : 0), 0);
  b[0] = 'B';
  b[1] = 'M';
  put(b, 2, uint32_t(b.size()), 4);
  put(b, 10, 54, 4);
  put(b, 14, 40, 4);
  put(b, 18, uint32_t(w), 4);
  put(b, 22, uint32_t(h), 4);
  put(b, 26, 1, 2);
  put(b, 28, uint32_t(bits), 2);
  put(b, 30, uint32_t(compression), 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      auto p = px ? px(x, y) : std::array<uint8_t, 3>{uint8_t(x), uint8_t(y), uint8_t(x + y)};
      std::memcpy(&b[54 + size_t(y) * stride + 3 * x], p.data(), 3);
    }
  return b;
}

int load_bmp_file(const std::filesystem::path& p, unsigned long fmt, std::vector<uint8_t>& out,
                  TEX_image_desc& d, int pow2 = 0, int row_width = 0) {
  xmap_class map(p.string());
  unsigned char* data = nullptr;
  int r = TEX_load_bmp(p.string(), &map, data, fmt, row_width, pow2, d);
  if (r) {
    long rows = d.height;
    if (pow2) {
      rows = 1;
      while (rows < d.height) rows <<= 1;
    }
    int bpp = fmt == GL_RGBA ? 4 : fmt == GL_RGB ? 3 : 1;
    out.assign(data, data + (size_t(d.width) * bpp + d.pad) * rows);
    nedfree(data);
  }
  return r;
}

}  // namespace

TEST(BmpRead, RowsArePaddedToFourBytes) {
  auto dir = temp_dir("bmp_rows");
  write_file(dir / "a.bmp", make_bmp(3, 2));
  std::vector<uint8_t> px;
  TEX_image_desc d;
  ASSERT_EQ(load_bmp_file(dir / "a.bmp", GL_RGB, px, d), 1);
  EXPECT_EQ(d.width, 3);
  EXPECT_EQ(d.height, 2);
  // second row's first pixel: stored blue 0, green 1, red 1 -> R G B = 1 1 0
  EXPECT_EQ(px[9], 1);
  EXPECT_EQ(px[10], 1);
  EXPECT_EQ(px[11], 0);
  // pixel (2, 0): blue 2, green 0, red 2
  EXPECT_EQ(px[6], 2);
  EXPECT_EQ(px[7], 0);
  EXPECT_EQ(px[8], 2);
}

TEST(BmpRead, MagentaIsKeyedOnlyInRgba) {
  auto dir = temp_dir("bmp_key");
  write_file(dir / "m.bmp", make_bmp(2, 1, 24, 0, [](int x, int) {
               return x == 0 ? std::array<uint8_t, 3>{255, 0, 255} : std::array<uint8_t, 3>{1, 2, 3};
             }));
  std::vector<uint8_t> px;
  TEX_image_desc d;
  ASSERT_EQ(load_bmp_file(dir / "m.bmp", GL_RGBA, px, d), 1);
  EXPECT_EQ((std::vector<uint8_t>(px.begin(), px.begin() + 8)),
            (std::vector<uint8_t>{0, 0, 0, 0, 3, 2, 1, 255}));
  ASSERT_EQ(load_bmp_file(dir / "m.bmp", GL_RGB, px, d), 1);
  EXPECT_EQ((std::vector<uint8_t>(px.begin(), px.begin() + 3)), (std::vector<uint8_t>{255, 0, 255}));
}

TEST(BmpRead, AlphaIsTheMeanOfTheChannels) {
  auto dir = temp_dir("bmp_alpha");
  write_file(dir / "g.bmp", make_bmp(1, 1, 24, 0, [](int, int) {
               return std::array<uint8_t, 3>{40, 20, 10};  // blue, green, red
             }));
  std::vector<uint8_t> px;
  TEX_image_desc d;
  ASSERT_EQ(load_bmp_file(dir / "g.bmp", GL_ALPHA, px, d), 1);
  EXPECT_EQ(px[0], 23);
}

TEST(BmpRead, PowerOfTwoAndRowWidthPadding) {
  auto dir = temp_dir("bmp_pad");
  write_file(dir / "p.bmp", make_bmp(5, 3));
  std::vector<uint8_t> px;
  TEX_image_desc d;
  ASSERT_EQ(load_bmp_file(dir / "p.bmp", GL_RGB, px, d, 1), 1);
  EXPECT_EQ(d.pad, 3 * 3);
  ASSERT_EQ(px.size(), 8u * 4u * 3u);
  EXPECT_EQ(px[5 * 3], 0);         // padding column cleared
  EXPECT_EQ(px[3 * 24 + 1], 0);    // padding row cleared
  ASSERT_EQ(load_bmp_file(dir / "p.bmp", GL_RGB, px, d, 0, 6), 1);
  EXPECT_EQ(d.pad, 3);
}

TEST(BmpRead, BadSizesAreRefusedWithoutReading) {
  auto dir = temp_dir("bmp_bad");
  std::vector<uint8_t> px;
  TEX_image_desc d;
  auto truncated = make_bmp(16, 16);
  truncated.resize(truncated.size() - 10);
  write_file(dir / "t.bmp", truncated);
  EXPECT_EQ(load_bmp_file(dir / "t.bmp", GL_RGB, px, d), 0);
  auto header_only = make_bmp(4, 4);
  header_only.resize(40);
  write_file(dir / "h.bmp", header_only);
  EXPECT_EQ(load_bmp_file(dir / "h.bmp", GL_RGB, px, d), 0);
  auto neg = make_bmp(4, 4);
  put(neg, 22, uint32_t(-4), 4);
  write_file(dir / "n.bmp", neg);
  EXPECT_EQ(load_bmp_file(dir / "n.bmp", GL_RGB, px, d), 0);
  auto zero = make_bmp(4, 4);
  put(zero, 18, 0, 4);
  write_file(dir / "z.bmp", zero);
  EXPECT_EQ(load_bmp_file(dir / "z.bmp", GL_RGB, px, d), 0);
  auto far = make_bmp(4, 4);
  put(far, 10, 0x7ffffff0u, 4);
  write_file(dir / "f.bmp", far);
  EXPECT_EQ(load_bmp_file(dir / "f.bmp", GL_RGB, px, d), 0);
  // A buffer smaller than the image is not written.
  write_file(dir / "ok.bmp", make_bmp(64, 64));
  std::vector<uint8_t> small(100, 7);
  unsigned char* data = small.data();
  xmap_class map((dir / "ok.bmp").string());
  EXPECT_EQ(TEX_load_bmp("ok", &map, data, GL_RGBA, 0, 0, d, long(small.size())), 0);
  EXPECT_EQ(small[0], 7);
}

TEST(BmpReadDeathTest, WrongDepthAndCompressionAreFatal) {
  auto dir = temp_dir("bmp_fatal");
  write_file(dir / "d.bmp", make_bmp(2, 2, 32));
  write_file(dir / "c.bmp", make_bmp(2, 2, 24, 1));
  std::vector<uint8_t> px;
  TEX_image_desc d;
  EXPECT_EXIT(load_bmp_file(dir / "d.bmp", GL_RGB, px, d), testing::ExitedWithCode(1),
              "We need 24-bit color");
  EXPECT_EXIT(load_bmp_file(dir / "c.bmp", GL_RGB, px, d), testing::ExitedWithCode(1),
              "Bitmap is compressed!");
}

// ---------------------------------------------------------------- DDS

namespace {

std::vector<uint8_t> dds_header(const char* four, uint32_t pf_flags, int w, int h, bool mips,
                                size_t data_bytes, uint32_t bits = 0) {
  std::vector<uint8_t> b(128 + data_bytes, 0);
  std::memcpy(b.data(), "DDS ", 4);
  put(b, 4, 124, 4);
  put(b, 8, mips ? 0xA1007 : 0x81007, 4);
  put(b, 12, uint32_t(h), 4);
  put(b, 16, uint32_t(w), 4);
  put(b, 80, pf_flags, 4);
  if (four) std::memcpy(&b[84], four, 4);
  put(b, 88, bits, 4);
  put(b, 108, mips ? 0x401008 : 0x1000, 4);
  return b;
}

int load_dds_bytes(const std::vector<uint8_t>& bytes, TEX_image_desc& d) {
  auto dir = temp_dir("dds_hdr");
  write_file(dir / "x.dds", bytes);
  xmap_class map((dir / "x.dds").string());
  unsigned char* data = nullptr;
  return TEX_load_dds("x", &map, data, d);
}

}  // namespace

TEST(DdsRead, HeaderFormats) {
  TEX_image_desc d;
  EXPECT_EQ(load_dds_bytes(dds_header("DXT1", 0x4, 8, 8, true, 64), d), 1);
  EXPECT_EQ(d.format, unsigned(GL_COMPRESSED_RGB_S3TC_DXT1_EXT));
  EXPECT_EQ(d.has_mips, 1);
  EXPECT_EQ(load_dds_bytes(dds_header("DXT5", 0x4, 4, 4, false, 16), d), 1);
  EXPECT_EQ(d.format, unsigned(GL_COMPRESSED_RGBA_S3TC_DXT5_EXT));
  EXPECT_EQ(d.has_mips, 0);
  EXPECT_EQ(load_dds_bytes(dds_header("ATI2", 0x4, 4, 4, false, 16), d), 0);
  EXPECT_EQ(load_dds_bytes(dds_header("DXT1", 0x45, 2, 2, false, 16, 32), d), 1);
  EXPECT_EQ(d.format, unsigned(GL_BGRA));
  EXPECT_EQ(load_dds_bytes(dds_header(nullptr, 0x40, 2, 2, false, 12, 24), d), 1);
  EXPECT_EQ(d.format, unsigned(GL_BGR));
  EXPECT_EQ(load_dds_bytes(dds_header(nullptr, 0, 2, 2, false, 12), d), 0);
  // the mip-map capability without the header flag gives no chain
  auto b = dds_header("DXT1", 0x4, 4, 4, false, 8);
  put(b, 108, 0x401008, 4);
  EXPECT_EQ(load_dds_bytes(b, d), 1);
  EXPECT_EQ(d.has_mips, 0);
}

TEST(DdsRead, ShortFilesAndOddLayoutsAreRefused) {
  TEX_image_desc d;
  // 8 x 8 DXT1 with its chain needs 32 + 8 + 8 + 8 bytes after the header.
  auto whole = dds_header("DXT1", 0x4, 8, 8, true, 56);
  EXPECT_EQ(load_dds_bytes(whole, d), 1);
  whole.resize(whole.size() - 1);
  EXPECT_EQ(load_dds_bytes(whole, d), 0);
  EXPECT_EQ(load_dds_bytes(std::vector<uint8_t>{'D', 'D', 'S', ' ', 0, 0}, d), 0);
  EXPECT_EQ(load_dds_bytes(dds_header("DXT1", 0x4, 0, 4, false, 64), d), 0);
  EXPECT_EQ(load_dds_bytes(dds_header(nullptr, 0x40, 2, 2, false, 16, 16), d), 0);  // 16-bit
}

TEST(DdsWrite, SizesAndLevels) {
  auto dir = temp_dir("dds_write");
  TEX_image_desc d;
  d.format = GL_RGB;
  d.width = 4;
  d.height = 4;
  std::vector<uint8_t> px(48, 128);
  ASSERT_EQ(TEX_save_dds((dir / "a.dds").string(), px.data(), d), 1);
  auto f = read_file(dir / "a.dds");
  EXPECT_EQ(f.size(), 152u);
  EXPECT_EQ(f[28], 3);
  EXPECT_EQ(std::string(f.begin() + 84, f.begin() + 88), "DXT1");
  d.format = GL_RGBA;
  d.width = 4;
  d.height = 1;
  std::vector<uint8_t> px2(16, 200);
  ASSERT_EQ(TEX_save_dds((dir / "b.dds").string(), px2.data(), d), 1);
  EXPECT_EQ(read_file(dir / "b.dds").size(), 128u + 3u * 16u);
}

TEST(DdsWrite, PeerReadsWhatWeWrite) {
  auto dir = temp_dir("dds_peer");
  for (unsigned fmt : {unsigned(GL_RGB), unsigned(GL_RGBA)}) {
    SCOPED_TRACE(fmt);
    const int bpp = fmt == GL_RGBA ? 4 : 3, w = 16, h = 8;
    TEX_image_desc d;
    d.format = fmt;
    d.width = w;
    d.height = h;
    std::vector<uint8_t> px(size_t(w) * h * bpp);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* p = &px[(size_t(y) * w + x) * bpp];
        p[0] = uint8_t(x * 16);
        p[1] = uint8_t(y * 32);
        p[2] = uint8_t(y < 4 ? 40 : 220);
        if (bpp == 4) p[3] = x < 8 ? 255 : 0;
      }
    std::string path = (dir / "p.dds").string();
    ASSERT_EQ(TEX_save_dds(path, px.data(), d), 1);
    std::string out = (dir / "p.rgba").string();
    std::string cmd = python() + " -c \"from PIL import Image; im=Image.open('" + path +
                      "'); assert im.size==(16,8); open('" + out +
                      "','wb').write(im.convert('RGBA').tobytes())\"";
    ASSERT_EQ(run(cmd), 0);
    auto peer = read_file(out);
    ASSERT_EQ(peer.size(), size_t(w) * h * 4);
    // The peer decodes the same blocks as libsquish does.
    auto file = read_file(path);
    std::vector<uint8_t> mine(size_t(w) * h * 4);
    squish::DecompressImage(mine.data(), w, h, file.data() + 128,
                            fmt == GL_RGBA ? squish::kDxt5 : squish::kDxt1);
    for (size_t i = 0; i < mine.size(); ++i) ASSERT_NEAR(mine[i], peer[i], 2) << i;
    // The peer's first row is the picture's top: our last row. DXT is lossy: compare closely.
    int worst = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < bpp; ++c) {
          int ours = px[(size_t(y) * w + x) * bpp + c];
          int theirs = peer[(size_t(h - 1 - y) * w + x) * 4 + c];
          worst = std::max(worst, std::abs(ours - theirs));
        }
    EXPECT_LE(worst, 40);
  }
}

TEST(S3tc, Dxt1StaysEightByteBlocks) {
  TEX_image_desc src;
  src.format = GL_RGBA;
  src.width = 8;
  src.height = 4;
  std::vector<uint8_t> px(8 * 4 * 4, 0);
  for (size_t i = 0; i < px.size(); i += 4) {
    px[i] = 250;
    px[i + 3] = 255;
  }
  for (unsigned fmt : {unsigned(GL_COMPRESSED_RGB_S3TC_DXT1_EXT), unsigned(GL_COMPRESSED_RGBA_S3TC_DXT1_EXT)}) {
    TEX_image_desc dst = src;
    dst.format = fmt;
    std::vector<uint8_t> blocks(64, 0xEE);
    TEX_encode_s3tc(src, dst, px.data(), blocks.data(), s3tc_cluster_fit);
    EXPECT_EQ(blocks[16], 0xEE);  // two 8-byte blocks, nothing after them
    std::vector<uint8_t> back(px.size());
    TEX_decode_s3tc(dst, src, blocks.data(), back.data());
    EXPECT_NEAR(back[0], 250, 8);
    EXPECT_EQ(back[3], 255);
  }
  TEX_image_desc dst5 = src;
  dst5.format = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
  std::vector<uint8_t> blocks(64, 0xEE);
  TEX_encode_s3tc(src, dst5, px.data(), blocks.data(), s3tc_range_fit);
  EXPECT_NE(blocks[16], 0xEE);
  EXPECT_EQ(blocks[32], 0xEE);
}

// ---------------------------------------------------------------- flips

namespace {

// One DXT1 block whose four index rows are 0, 1, 2, 3 (each row all the same index).
DXTColBlock row_block(uint16_t c0, uint16_t c1) {
  DXTColBlock b{c0, c1, {0x00, 0x55, 0xAA, 0xFF}};
  return b;
}

}  // namespace

TEST(DxtFlip, EightTallLevelSwapsBlockRowsAndTexelRows) {
  // 4 x 8 DXT1: two block rows of one block each.
  DXTColBlock img[2] = {row_block(0xF800, 0x001F), row_block(0x07E0, 0x0010)};
  TEX_image_desc d;
  d.format = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
  d.width = 4;
  d.height = 8;
  EXPECT_EQ(TEX_flip_y(d, reinterpret_cast<unsigned char*>(img)), 0);
  EXPECT_EQ(img[0].col0, 0x07E0);
  EXPECT_EQ(img[1].col0, 0xF800);
  EXPECT_EQ(img[0].row[0], 0xFF);
  EXPECT_EQ(img[0].row[3], 0x00);
}

TEST(DxtFlip, ShortLevelsFlipInsideTheirBlocks) {
  DXTColBlock b = row_block(0xF800, 0x001F);
  TEX_image_desc d;
  d.format = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
  d.width = 4;
  d.height = 4;
  TEX_flip_y(d, reinterpret_cast<unsigned char*>(&b));
  EXPECT_EQ(b.row[0], 0xFF);
  EXPECT_EQ(b.row[1], 0xAA);
  // A level two texels tall exchanges its two rows only.
  DXTColBlock c = row_block(0xF800, 0x001F);
  d.height = 2;
  TEX_flip_y(d, reinterpret_cast<unsigned char*>(&c));
  EXPECT_EQ(c.row[0], 0x55);
  EXPECT_EQ(c.row[1], 0x00);
  EXPECT_EQ(c.row[2], 0xAA);
}

TEST(DxtFlip, OddBlockRowCountFlipsTheMiddleRowInPlace) {
  DXTColBlock img[3] = {row_block(1, 0), row_block(2, 0), row_block(3, 0)};
  TEX_image_desc d;
  d.format = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
  d.width = 4;
  d.height = 12;
  TEX_flip_y(d, reinterpret_cast<unsigned char*>(img));
  EXPECT_EQ(img[0].col0, 3);
  EXPECT_EQ(img[1].col0, 2);
  EXPECT_EQ(img[1].row[0], 0xFF);
  EXPECT_EQ(img[2].col0, 1);
}

TEST(DxtFlip, BlocksPerRowRoundUp) {
  // 6 x 8: two blocks across (not one).
  DXTColBlock img[4] = {row_block(1, 0), row_block(2, 0), row_block(3, 0), row_block(4, 0)};
  TEX_image_desc d;
  d.format = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
  d.width = 6;
  d.height = 8;
  TEX_flip_y(d, reinterpret_cast<unsigned char*>(img));
  EXPECT_EQ(img[0].col0, 3);
  EXPECT_EQ(img[1].col0, 4);
  EXPECT_EQ(img[2].col0, 1);
  EXPECT_EQ(img[3].col0, 2);
}

// An RGBA picture of red and blue texels (and, for the alpha formats, clear and opaque ones) in a
// pattern that differs from row to row: any 4 x 4 block of it is encoded exactly, and no DXT1
// block needs its transparent index unless clear texels ask for it.
std::vector<unsigned char> two_tone(int w, int h, bool with_alpha) {
  std::vector<unsigned char> px(size_t(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      unsigned char* t = &px[(size_t(y) * w + x) * 4];
      const bool red = (x + 3 * y) % 5 < 2;
      t[0] = red ? 255 : 0;
      t[1] = 0;
      t[2] = red ? 0 : 255;
      t[3] = with_alpha && (2 * x + y) % 3 == 0 ? 0 : 255;
    }
  return px;
}

std::vector<unsigned char> dxt_decoded(const TEX_image_desc& d, const unsigned char* blocks) {
  std::vector<unsigned char> px(size_t(d.width) * d.height * 4);
  TEX_image_desc rgba = d;
  rgba.format = GL_RGBA;
  TEX_decode_s3tc(d, rgba, blocks, px.data());
  return px;
}

// Row y of the flipped picture must be row h - 1 - y of the picture.
void expect_rows_reversed(const std::vector<unsigned char>& before,
                          const std::vector<unsigned char>& after, int w, int h) {
  const size_t stride = size_t(w) * 4;
  for (int y = 0; y < h; ++y)
    EXPECT_TRUE(std::equal(after.begin() + long(y * stride), after.begin() + long((y + 1) * stride),
                           before.begin() + long((h - 1 - y) * stride)))
        << "row " << y << " of " << h;
}

TEST(DxtFlip, LevelsWhoseHeightIsNoMultipleOfFourTurnOverExactly) {
  const unsigned formats[] = {GL_COMPRESSED_RGB_S3TC_DXT1_EXT, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT,
                              GL_COMPRESSED_RGBA_S3TC_DXT5_EXT};
  for (unsigned fmt : formats) {
    for (int h : {1, 2, 3, 5, 6, 7, 10}) {
      SCOPED_TRACE(testing::Message() << std::hex << fmt << std::dec << " height " << h);
      const int w = 8;
      TEX_image_desc d;
      d.format = fmt;
      d.width = w;
      d.height = h;
      TEX_image_desc rgba = d;
      rgba.format = GL_RGBA;
      std::vector<unsigned char> blocks(static_cast<size_t>(TEX_bytes_needed_for_image_ll(d)));
      TEX_encode_s3tc(rgba, d, two_tone(w, h, fmt != GL_COMPRESSED_RGB_S3TC_DXT1_EXT).data(),
                      blocks.data(), s3tc_cluster_fit);
      const auto before = dxt_decoded(d, blocks.data());
      TEX_flip_y(d, blocks.data());
      expect_rows_reversed(before, dxt_decoded(d, blocks.data()), w, h);
    }
  }
}

TEST(DxtFlip, MipChainTwelveSixThreeTurnsOverLevelByLevel) {
  TEX_image_desc d;
  d.format = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
  d.width = 8;
  d.height = 12;
  d.has_mips = 1;
  std::vector<TEX_image_desc> levels;
  std::vector<unsigned char> chain;
  for (TEX_image_desc l = d;; l.width = std::max(1, l.width / 2), l.height = std::max(1, l.height / 2)) {
    l.has_mips = 0;
    TEX_image_desc rgba = l;
    rgba.format = GL_RGBA;
    std::vector<unsigned char> blocks(static_cast<size_t>(TEX_bytes_needed_for_image_ll(l)));
    TEX_encode_s3tc(rgba, l, two_tone(l.width, l.height, true).data(), blocks.data(), s3tc_cluster_fit);
    chain.insert(chain.end(), blocks.begin(), blocks.end());
    levels.push_back(l);
    if (l.width == 1 && l.height == 1) break;
  }
  ASSERT_EQ(static_cast<long long>(chain.size()), TEX_bytes_needed_for_image_ll(d));
  std::vector<std::vector<unsigned char>> before;
  size_t at = 0;
  for (const auto& l : levels) {
    before.push_back(dxt_decoded(l, chain.data() + at));
    at += static_cast<size_t>(TEX_bytes_needed_for_image_ll(l));
  }
  TEX_flip_y(d, chain.data());
  at = 0;
  for (size_t i = 0; i < levels.size(); ++i) {
    SCOPED_TRACE(levels[i].height);
    expect_rows_reversed(before[i], dxt_decoded(levels[i], chain.data() + at), levels[i].width,
                         levels[i].height);
    at += static_cast<size_t>(TEX_bytes_needed_for_image_ll(levels[i]));
  }
}

TEST(DxtFlip, ReencodedLevelStillReportsTransparentTexels) {
  // The encoder gives padding texels the transparent index too, so only clear texels are sure
  // to be reported; where they end up is checked texel by texel.
  TEX_image_desc d;
  d.format = GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
  d.width = 8;
  d.height = 6;
  TEX_image_desc rgba = d;
  rgba.format = GL_RGBA;
  std::vector<unsigned char> blocks(static_cast<size_t>(TEX_bytes_needed_for_image_ll(d)));
  TEX_encode_s3tc(rgba, d, two_tone(8, 6, true).data(), blocks.data(), s3tc_cluster_fit);
  const auto before = dxt_decoded(d, blocks.data());
  EXPECT_EQ(TEX_flip_y(d, blocks.data()), 1);
  expect_rows_reversed(before, dxt_decoded(d, blocks.data()), 8, 6);
}

TEST(DxtFlip, TransparencyReport) {
  TEX_image_desc d;
  d.format = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
  d.width = 4;
  d.height = 4;
  DXTColBlock three_with_3{0x0001, 0x0002, {0x03, 0, 0, 0}};
  EXPECT_EQ(TEX_flip_y(d, reinterpret_cast<unsigned char*>(&three_with_3)), 1);
  DXTColBlock three_without{0x0001, 0x0002, {0x02, 0, 0, 0}};
  EXPECT_EQ(TEX_flip_y(d, reinterpret_cast<unsigned char*>(&three_without)), 0);
  DXTColBlock four_with_3{0x0002, 0x0001, {0xFF, 0, 0, 0}};
  EXPECT_EQ(TEX_flip_y(d, reinterpret_cast<unsigned char*>(&four_with_3)), 0);
}

TEST(DxtFlip, Dxt5AlphaRowsAndDxt3Words) {
  unsigned char blk[16] = {};
  // DXT5 alpha rows 0..3 hold the 12-bit values 0x001, 0x002, 0x003, 0x004
  uint64_t bits = 0x001ull | 0x002ull << 12 | 0x003ull << 24 | 0x004ull << 36;
  for (int i = 0; i < 6; ++i) blk[2 + i] = uint8_t(bits >> (8 * i));
  nv_flip_blocks_dxtc5(reinterpret_cast<DXTColBlock*>(blk), 1, 0);
  uint64_t out = 0;
  for (int i = 5; i >= 0; --i) out = out << 8 | blk[2 + i];
  EXPECT_EQ(out & 0xFFF, 0x004u);
  EXPECT_EQ((out >> 36) & 0xFFF, 0x001u);
  uint16_t w[8] = {1, 2, 3, 4, 0, 0, 0, 0};
  nv_flip_blocks_dxtc3(reinterpret_cast<DXTColBlock*>(w), 1, 0);
  EXPECT_EQ(w[0], 4);
  EXPECT_EQ(w[3], 1);
}

TEST(DxtFlip, GammaOffLeavesColoursAlone) {
  ASSERT_EQ(colr.gamma_differs, 0);
  DXTColBlock b{0x1234, 0x0042, {1, 2, 3, 4}};
  nv_flip_blocks_dxtc1(&b, 1, 0);
  EXPECT_EQ(b.col0, 0x1234);
  EXPECT_EQ(b.col1, 0x0042);
}

TEST(Color565, Stepping) {
  unsigned short c = 0xFFFF;
  EXPECT_EQ(IncColor565(c), 0);
  EXPECT_EQ(c, 0xFFFF);
  c = 0;
  EXPECT_EQ(DecColor565(c), 0);
  c = 0x001F;  // blue full, green 0
  EXPECT_EQ(IncColor565(c), 1);
  EXPECT_EQ(c, 0x003F);
  c = 0x0001;
  EXPECT_EQ(DecColor565(c), 1);
  EXPECT_EQ(c, 0x0000);
}
