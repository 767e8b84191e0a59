// The frame encoder and the movie writer on their own: takes built from generated frames must
// satisfy ffprobe and ffmpeg, with the sample table, durations and large offsets right.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>

#include "file_bytes.h"
#include "scratch_dir.h"
#include "movie/jpeg_frame.h"
#include "movie/mov_writer.h"
#include "movie_test_util.h"

namespace fs = std::filesystem;

namespace {

test_support::Scratch scratch(const std::string& tag) { return test_support::Scratch("movie_writer_" + tag); }

// The bars as the read-back leaves them: bytes A R G B, top row first.
std::vector<unsigned char> bars_argb(int w, int h) {
  std::vector<unsigned char> px(size_t(w) * size_t(h) * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int i = x * 8 / w;
      const auto& c = movtest::kBars[size_t(y < h * 2 / 3 ? i : 7 - i)];
      unsigned char* p = &px[(size_t(y) * size_t(w) + size_t(x)) * 4];
      p[0] = 0x5a;  // alpha: must not leak into the picture
      p[1] = uint8_t(c[0]);
      p[2] = uint8_t(c[1]);
      p[3] = uint8_t(c[2]);
    }
  return px;
}

// Writes a take of the given sample durations from the bars; returns the writer's result.
int write_take(const std::string& path, int w, int h, const std::vector<uint32_t>& units) {
  MOV_jpeg_encoder enc;
  std::vector<unsigned char> px = bars_argb(w, h);
  MOV_writer wr;
  if (int e = wr.create(path, w, h)) return e;
  for (uint32_t u : units) {
    if (!enc.encode(px.data(), w, h, MOV_jpeg_quality(kMovSpatialQuality))) return -1;
    if (int e = wr.add_sample(enc.data(), enc.size(), u)) return e;
  }
  return wr.finish();
}

}  // namespace

TEST(MovieUnits, DurationsFollowTheRunningTimeAndQuality) {
  // n samples of dt seconds: the first durations and the take's length in units.
  struct { float dt; int n; std::vector<uint32_t> first; uint64_t total; } cases[] = {
      {1.0f / 25, 400, {24, 24}, 9600}, {1.0f / 50, 400, {12, 12}, 4800},  // 16 s and 8 s
      {0.0625f, 4, {38, 37, 38, 37}, 150},                                 // 37.5 units a frame
      {0.5f, 2, {60, 60}, 120}, {INFINITY, 1, {60}, 60},  // a pause counts as the longest sample
      {0.0001f, 2, {1, 1}, 2}, {-1.0f, 1, {1}, 1}, {NAN, 1, {1}, 1}};
  for (const auto& c : cases) {
    MOV_sample_clock clock;
    std::vector<uint32_t> got;
    for (int i = 0; i < c.n; ++i) got.push_back(clock.next(c.dt));
    EXPECT_EQ(std::vector<uint32_t>(got.begin(), got.begin() + long(c.first.size())), c.first) << "dt " << c.dt;
    EXPECT_EQ(clock.units(), c.total) << "dt " << c.dt;
  }
  struct { int spatial, quality; } q[] = {{512, 50}, {0, 1}, {1023, 100}, {-7, 1}, {5000, 100}, {768, 75}};
  for (const auto& c : q) EXPECT_EQ(MOV_jpeg_quality(c.spatial), c.quality) << c.spatial;
}

TEST(MovieEncoder, ChannelsAndRowsSurviveADecode) {
  const auto dir = scratch("enc");
  const int w = 160, h = 96;
  MOV_jpeg_encoder enc;
  std::vector<unsigned char> px = bars_argb(w, h);
  ASSERT_TRUE(enc.encode(px.data(), w, h, 90)) << enc.error();
  ASSERT_GT(enc.size(), 4u);
  EXPECT_EQ(enc.data()[0], 0xff);
  EXPECT_EQ(enc.data()[1], 0xd8);
  EXPECT_EQ(enc.data()[enc.size() - 2], 0xff);
  EXPECT_EQ(enc.data()[enc.size() - 1], 0xd9);
  const fs::path jpg = dir / "bars.jpg";
  test_support::write_bytes(jpg.string(), std::string(reinterpret_cast<const char*>(enc.data()), enc.size()));
  auto frames = movtest::frames_rgb(jpg.string(), w, h);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_LT(movtest::worst_bar_error(frames[0], w, h), 12.0);
}

TEST(MovieEncoder, RefusesBadFramesAndGrowsItsBuffer) {
  MOV_jpeg_encoder enc;
  std::vector<unsigned char> px(64 * 64 * 4, 0);
  EXPECT_FALSE(enc.encode(nullptr, 64, 64, 50));
  EXPECT_FALSE(enc.error().empty());
  EXPECT_FALSE(enc.encode(px.data(), 0, 64, 50));
  EXPECT_FALSE(enc.encode(px.data(), 64, -1, 50));
  EXPECT_FALSE(enc.encode(px.data(), 70000, 1, 50));
  EXPECT_EQ(enc.size(), 0u);
  // Noise at full quality outgrows the first buffer; the image must still be whole.
  const int w = 256, h = 256;
  std::vector<unsigned char> noise(size_t(w) * h * 4);
  std::mt19937 rng(7);
  for (auto& b : noise) b = uint8_t(rng());
  ASSERT_TRUE(enc.encode(noise.data(), w, h, 100)) << enc.error();
  EXPECT_GT(enc.size(), size_t(w) * h + 4096);
  const auto dir = scratch("noise");
  test_support::write_bytes((dir / "n.jpg").string(),
                            std::string(reinterpret_cast<const char*>(enc.data()), enc.size()));
  EXPECT_EQ(movtest::frames_rgb((dir / "n.jpg").string(), w, h).size(), 1u);
  // And the encoder stays usable for a small frame afterwards.
  ASSERT_TRUE(enc.encode(px.data(), 64, 64, 50));
  EXPECT_LT(enc.size(), size_t(64) * 64);
}

TEST(MovieWriter, TakeSatisfiesProbeAndDecoder) {
  const auto dir = scratch("take");
  const std::string path = (dir / "take.mov").string();
  // Never below the period, as in a take; 1552 units: fragments of 19, 20 and 11 samples.
  std::vector<uint32_t> units = {30, 30, 60, 45, 30, 37};
  units.resize(50, 30);
  ASSERT_EQ(write_take(path, 320, 240, units), 0);
  auto kv = movtest::probe(path);
  EXPECT_EQ(kv.count("error"), 0u) << kv["error"];
  EXPECT_EQ(kv["codec_name"], "mjpeg");
  EXPECT_EQ(kv["width"], "320");
  EXPECT_EQ(kv["height"], "240");
  EXPECT_EQ(kv["time_base"], "1/600");
  EXPECT_EQ(kv["duration_ts"], "1552");
  auto pk = movtest::packets(path);
  ASSERT_EQ(pk.size(), units.size());
  for (size_t i = 0; i < units.size(); ++i) EXPECT_EQ(pk[i].duration, long(units[i])) << i;
  auto dec = movtest::decode_null(path);
  EXPECT_EQ(dec.rc, 0);
  EXPECT_EQ(dec.err, "");
  auto frames = movtest::frames_rgb(path, 320, 240);
  ASSERT_EQ(frames.size(), units.size());
  EXPECT_LT(movtest::worst_bar_error(frames.back(), 320, 240), 12.0);

  // Top level: 'ftyp', 'moov', then one 'moof' + 'mdat' per fragment; together the whole file.
  const std::string bytes = test_support::read_bytes(path);
  std::string boxes;
  for (size_t at = 0, size = 8; at + 8 <= bytes.size() && size >= 8; at += size) {
    size = 0;
    for (int i = 0; i < 4; ++i) size = (size << 8) | uint8_t(bytes[at + size_t(i)]);
    boxes += bytes.substr(at + 4, 4) + (at + size == bytes.size() ? " end" : " ");
  }
  EXPECT_EQ(boxes, "ftyp moov moof mdat moof mdat moof mdat end");
}

TEST(MovieWriter, FragmentPast4GBStillPlays) {
  const auto dir = scratch("wide");
  const std::string path = (dir / "wide.mov").string();
  MOV_jpeg_encoder enc;
  std::vector<unsigned char> px = bars_argb(64, 48);
  ASSERT_TRUE(enc.encode(px.data(), 64, 48, 50));
  {
    MOV_writer wr;
    ASSERT_EQ(wr.create(path, 64, 48), 0);
    ASSERT_EQ(wr.add_sample(enc.data(), enc.size(), 30), 0);
    ASSERT_EQ(wr.skip_for_test(4300000000ull), 0);  // a hole: the file stays sparse
    ASSERT_EQ(wr.add_sample(enc.data(), enc.size(), 30), 0);
    ASSERT_EQ(wr.finish(), 0);
  }
  auto pk = movtest::packets(path);
  ASSERT_EQ(pk.size(), 2u);
  EXPECT_LT(pk[0].pos, 4096);
  EXPECT_GT(pk[1].pos, 4300000000ll);
  auto frames = movtest::frames_rgb(path, 64, 48);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], frames[1]);
  fs::remove(path);
}

TEST(MovieWriter, NeverReplacesAndCleansUpWhatItDidNotFinish) {
  const auto dir = scratch("excl");
  const std::string taken = (dir / "taken.mov").string();
  test_support::write_bytes(taken, "older take");
  {
    MOV_writer wr;
    EXPECT_EQ(wr.create(taken, 64, 48), EEXIST);
    EXPECT_FALSE(wr.is_open());
    EXPECT_EQ(wr.add_sample("x", 1, 30), EBADF);
    EXPECT_EQ(wr.finish(), EBADF);
  }
  EXPECT_EQ(test_support::read_bytes(taken), "older take");
  // A dangling link is not followed into creating its target.
  fs::create_symlink(dir / "nowhere.mov", dir / "link.mov");
  MOV_writer link;
  EXPECT_EQ(link.create((dir / "link.mov").string(), 64, 48), EEXIST);
  EXPECT_FALSE(fs::exists(dir / "nowhere.mov"));

  const std::string open_path = (dir / "unfinished.mov").string();
  {
    MOV_writer wr;
    ASSERT_EQ(wr.create(open_path, 64, 48), 0);
    EXPECT_EQ(wr.create(open_path, 64, 48), EBUSY);
    ASSERT_EQ(wr.add_sample("abc", 3, 30), 0);
  }
  EXPECT_FALSE(fs::exists(open_path));
  MOV_writer bad;
  EXPECT_EQ(bad.create((dir / "z.mov").string(), 0, 48), EINVAL);
  EXPECT_EQ(bad.create((dir / "no such folder" / "z.mov").string(), 64, 48), ENOENT);
}
