// PNG reading and writing against a peer decoder (Pillow): colour types, bit depths,
// interlacing and tRNS, plus truncated and hostile files.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "alert_sink.h"
#include "files/xmap.h"
#include "tex/tex_codecs.h"
#include "foundation/nedmalloc.h"
#include "tex_test_util.h"

using namespace textest;

namespace {

// Made by the first test that needs it; its folder goes when the program ends.
struct matrix_env {
  test_support::Scratch dir = temp_dir("png_matrix");
  std::vector<std::string> names;
  bool ok = false;

  matrix_env() {
    std::string cmd = python() + " " + source_dir() + "/tests/tex/png_matrix.py " + dir.path().string() +
                      " 2>/dev/null";
    if (run(cmd) != 0) return;
    std::ifstream list(dir / "list.txt");
    for (std::string n; std::getline(list, n);)
      if (!n.empty()) names.push_back(n);
    ok = !names.empty();
  }
};

const matrix_env& matrix() {
  static const matrix_env env;
  return env;
}

// Decodes a file with our reader; empty on failure.
std::vector<uint8_t> decode(const std::filesystem::path& p, unsigned long format, int pow2,
                            int keep_alpha, TEX_image_desc& d) {
  xmap_class map(p.string());
  unsigned char* data = nullptr;
  if (!TEX_load_png(p.string(), &map, data, format, 0, pow2, keep_alpha, d)) return {};
  std::vector<uint8_t> out(data, data + TEX_bytes_needed_for_image(d));
  nedfree(data);
  return out;
}

}  // namespace

TEST(PngRead, MatrixMatchesPeerDecoder) {
  const matrix_env& env = matrix();
  if (!env.ok) GTEST_SKIP() << "Pillow or ImageMagick not available";
  ASSERT_GE(env.names.size(), 15u);
  for (const std::string& name : env.names) {
    SCOPED_TRACE(name);
    TEX_image_desc d;
    std::vector<uint8_t> ours = decode(env.dir / (name + ".png"), GL_RGBA, 0, 0, d);
    ASSERT_FALSE(ours.empty());
    std::vector<uint8_t> peer = read_file(env.dir / (name + ".rgba"));
    ASSERT_EQ(d.format, unsigned(GL_RGBA));
    ASSERT_EQ(size_t(d.width) * d.height * 4, peer.size());
    ASSERT_EQ(d.pad, 0);
    const int tol = name.find("16") != std::string::npos ? 1 : 0;
    int worst = 0;
    for (int y = 0; y < d.height; ++y)
      for (int x = 0; x < d.width * 4; ++x) {
        // ours is bottom-up, the peer's rows are top first
        int a = ours[size_t(y) * d.width * 4 + x];
        int b = peer[size_t(d.height - 1 - y) * d.width * 4 + x];
        worst = std::max(worst, std::abs(a - b));
      }
    EXPECT_LE(worst, tol);
  }
}

TEST(PngRead, FormatsAndFileAlpha) {
  const matrix_env& env = matrix();
  if (!env.ok) GTEST_SKIP() << "Pillow or ImageMagick not available";
  TEX_image_desc d;
  // An RGBA file read as RGB loses its alpha; with keep_file_alpha it stays RGBA.
  std::vector<uint8_t> rgba = decode(env.dir / "rgba8.png", GL_RGBA, 0, 0, d);
  std::vector<uint8_t> rgb = decode(env.dir / "rgba8.png", GL_RGB, 0, 0, d);
  ASSERT_EQ(d.format, unsigned(GL_RGB));
  ASSERT_EQ(rgb.size(), rgba.size() / 4 * 3);
  for (size_t i = 0; i < rgb.size() / 3; ++i) {
    EXPECT_EQ(rgb[3 * i], rgba[4 * i]);
    EXPECT_EQ(rgb[3 * i + 2], rgba[4 * i + 2]);
  }
  decode(env.dir / "rgba8.png", GL_RGB, 0, 1, d);
  EXPECT_EQ(d.format, unsigned(GL_RGBA));
  // A palette with tRNS counts as alpha.
  decode(env.dir / "palette8_trns.png", GL_RGB, 0, 1, d);
  EXPECT_EQ(d.format, unsigned(GL_RGBA));
  decode(env.dir / "rgb8.png", GL_RGBA, 0, 1, d);
  EXPECT_EQ(d.format, unsigned(GL_RGB));
  // Grey read as RGB gives three equal channels.
  std::vector<uint8_t> g = decode(env.dir / "grey8.png", GL_RGB, 0, 0, d);
  ASSERT_FALSE(g.empty());
  for (size_t i = 0; i < g.size(); i += 3) {
    EXPECT_EQ(g[i], g[i + 1]);
    EXPECT_EQ(g[i], g[i + 2]);
  }
  // RGB read as ALPHA holds one grey byte per pixel.
  std::vector<uint8_t> a = decode(env.dir / "rgb8.png", GL_ALPHA, 0, 0, d);
  EXPECT_EQ(d.format, unsigned(GL_ALPHA));
  EXPECT_EQ(a.size(), size_t(d.width) * d.height);
}

TEST(PngRead, PowerOfTwoPaddingIsCleared) {
  const matrix_env& env = matrix();
  if (!env.ok) GTEST_SKIP() << "Pillow or ImageMagick not available";
  // 37 x 23 lands in 64 x 32 with the rest zero.
  std::vector<uint8_t> buf(64 * 32 * 4, 0xAB);
  unsigned char* data = buf.data();
  TEX_image_desc d;
  xmap_class map((env.dir / "rgb8.png").string());
  ASSERT_EQ(TEX_load_png("rgb8", &map, data, GL_RGBA, 0, 1, 0, d, long(buf.size())), 1);
  EXPECT_EQ(data, buf.data());
  EXPECT_EQ(d.width, 37);
  EXPECT_EQ(d.height, 23);
  EXPECT_EQ(d.pad, (64 - 37) * 4);
  EXPECT_EQ(buf[37 * 4], 0);           // first padding pixel of row 0
  EXPECT_EQ(buf[31 * 64 * 4 + 5], 0);  // a padding row
  EXPECT_EQ(buf[3], 255);              // filler alpha of pixel (0, 0)
}

TEST(PngRead, RowWidthGivesPadWithoutClearing) {
  const matrix_env& env = matrix();
  if (!env.ok) GTEST_SKIP() << "Pillow or ImageMagick not available";
  std::vector<uint8_t> buf(40 * 23 * 3, 0xAB);
  unsigned char* data = buf.data();
  TEX_image_desc d;
  xmap_class map((env.dir / "rgb8.png").string());
  ASSERT_EQ(TEX_load_png("rgb8", &map, data, GL_RGB, 40, 0, 0, d, long(buf.size())), 1);
  EXPECT_EQ(d.pad, 3 * 3);
  EXPECT_EQ(buf[37 * 3], 0xAB);
}

TEST(PngRead, SaveAndReadBackIsExact) {
  auto dir = temp_dir("png_rt");
  for (unsigned fmt : {unsigned(GL_RGB), unsigned(GL_RGBA), unsigned(GL_ALPHA)}) {
    SCOPED_TRACE(fmt);
    const int bpp = fmt == GL_RGB ? 3 : fmt == GL_RGBA ? 4 : 1;
    TEX_image_desc d;
    d.format = fmt;
    d.width = 13;
    d.height = 7;
    d.pad = 2;
    std::vector<uint8_t> px(size_t(d.width * bpp + d.pad) * d.height);
    for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i * 31 + 7);
    std::string path = (dir / "rt.png").string();
    ASSERT_EQ(TEX_save_png(path, d, px.data()), 1);
    // the peer sees the picture upright: its first row is our top row
    TEX_image_desc back;
    xmap_class map(path);
    unsigned char* data = nullptr;
    ASSERT_EQ(TEX_load_png(path, &map, data, fmt, 0, 0, 0, back), 1);
    for (int y = 0; y < d.height; ++y)
      ASSERT_EQ(0, std::memcmp(data + y * d.width * bpp, px.data() + y * (d.width * bpp + d.pad),
                               size_t(d.width * bpp)));
    nedfree(data);
  }
}

TEST(PngRead, WrittenFileCarriesGammaAndNoFilter) {
  auto dir = temp_dir("png_chunks");
  TEX_image_desc d;
  d.format = GL_RGB;
  d.width = 4;
  d.height = 3;
  std::vector<uint8_t> px(36, 200);
  std::string path = (dir / "g.png").string();
  ASSERT_EQ(TEX_save_png(path, d, px.data()), 1);
  std::vector<uint8_t> f = read_file(path);
  auto at = std::search(f.begin(), f.end(), std::begin("gAMA"), std::end("gAMA") - 1);
  ASSERT_NE(at, f.end());
  uint32_t g = uint32_t(at[4]) << 24 | uint32_t(at[5]) << 16 | uint32_t(at[6]) << 8 | at[7];
  EXPECT_EQ(g, 55556u);
  // The peer confirms the picture and its orientation.
  std::string cmd = python() + " -c \"from PIL import Image; im=Image.open('" + path +
                    "'); assert im.size==(4,3) and im.getpixel((0,0))==(200,200,200)\"";
  EXPECT_EQ(run(cmd), 0);
}

TEST(PngRead, ShortFileGivesZeroWithoutAlert) {
  auto dir = temp_dir("png_short");
  write_file(dir / "s.png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A});
  AlertSink sink;
  xmap_class map((dir / "s.png").string());
  unsigned char* data = nullptr;
  TEX_image_desc d;
  EXPECT_EQ(TEX_load_png("s", &map, data, GL_RGBA, 0, 0, 0, d), 0);
  EXPECT_EQ(sink.count(), 0u);
  EXPECT_EQ(png_mapped_file, nullptr);
}

TEST(PngReadDeathTest, NotASignatureIsFatal) {
  auto dir = temp_dir("png_sig");
  write_file(dir / "n.png", {'n', 'o', 't', ' ', 'p', 'n', 'g', '!', 0});
  EXPECT_EXIT(
      {
        xmap_class map((dir / "n.png").string());
        unsigned char* data = nullptr;
        TEX_image_desc d;
        TEX_load_png("n", &map, data, GL_RGBA, 0, 0, 0, d);
      },
      testing::ExitedWithCode(1), "PING-FILE ERROR!");
}

TEST(PngReadDeathTest, TruncatedFileReportsOverrunThenFatal) {
  const matrix_env& env = matrix();
  if (!env.ok) GTEST_SKIP() << "Pillow or ImageMagick not available";
  std::vector<uint8_t> f = read_file(env.dir / "rgba8.png");
  f.resize(f.size() / 2);
  auto dir = temp_dir("png_trunc");
  write_file(dir / "t.png", f);
  EXPECT_EXIT(
      {
        xmap_class map((dir / "t.png").string());
        unsigned char* data = nullptr;
        TEX_image_desc d;
        TEX_load_png("t", &map, data, GL_RGBA, 0, 0, 0, d);
        // not reached: the fatal alert ends the process
      },
      testing::ExitedWithCode(1), "overran end of buffer");
}

TEST(PngRead, TooLargeForTheBufferIsRefusedBeforeDecoding) {
  auto dir = temp_dir("png_big");
  std::string path = (dir / "big.png").string();
  std::string cmd = python() + " -c \"from PIL import Image; Image.new('RGB',(4096,4096),(9,9,9)).save('" +
                    path + "')\"";
  if (run(cmd) != 0) GTEST_SKIP() << "Pillow not available";
  // A small buffer stands in for the scratch image: nothing may be written into it.
  std::vector<uint8_t> buf(64 * 64 * 4, 0x5A);
  unsigned char* data = buf.data();
  TEX_image_desc d;
  xmap_class map(path);
  EXPECT_EQ(TEX_load_png(path, &map, data, GL_RGBA, 0, 1, 0, d, long(buf.size())), 0);
  for (uint8_t b : buf) ASSERT_EQ(b, 0x5A);
  EXPECT_EQ(png_mapped_file, nullptr);
}

TEST(PngRead, HostileHeaderSizeIsRefused) {
  // IHDR claiming 100000 x 100000: refused by size, not decoded.
  auto dir = temp_dir("png_hostile");
  std::string path = (dir / "h.png").string();
  std::string cmd = python() +
                    " -c \"import struct,zlib;"
                    "ihdr=struct.pack('>IIBBBBB',100000,100000,8,2,0,0,0);"
                    "c=lambda t,d: struct.pack('>I',len(d))+t+d+struct.pack('>I',zlib.crc32(t+d));"
                    "open('" + path + "','wb').write(b'\\x89PNG\\r\\n\\x1a\\n'+c(b'IHDR',ihdr)+"
                    "c(b'IDAT',zlib.compress(b'\\0'*10))+c(b'IEND',b''))\"";
  ASSERT_EQ(run(cmd), 0);
  std::vector<uint8_t> buf(1024, 0x11);
  unsigned char* data = buf.data();
  TEX_image_desc d;
  xmap_class map(path);
  AlertSink sink;
  EXPECT_EQ(TEX_load_png(path, &map, data, GL_RGB, 0, 0, 0, d, long(buf.size())), 0);
  EXPECT_EQ(buf[0], 0x11);
}
