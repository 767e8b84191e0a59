// The movie recorder against ffmpeg. (1) Encoding 200 frames of 1024 x 768 into a take: our
// frame encoder and movie writer against ffmpeg's mjpeg encoder on the same raw frames, one
// thread each, ffmpeg's process start subtracted. (2) The main thread's milliseconds per
// recorded frame in a 1024 x 768 window, reading back with and without the pixel-pack buffer.
// Interleaved rounds; min and median of each; ours / peer (<1 = ours faster).
// Usage (under xvfb-run): bench_movie [rounds (5)] [ffmpeg's -q:v (16)]
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/records.h"
#include "foundation/xtim.h"
#include "gl_frames.h"
#include "movie/jpeg_frame.h"
#include "movie/mov_writer.h"
#include "movie/qtim.h"
#include "ogl/text.h"
#include "tex/hard_texes.h"
#include "tex/tman.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kW = 1024, kH = 768, kDistinct = 20, kFrames = 200;
// ffmpeg's quantiser scale whose takes come out as large as ours at quality 50, with the same
// PSNR within half a decibel.
int kPeerQscale = 16;

double ms_since(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

struct series {
  std::vector<double> v;
  double min() const { return *std::min_element(v.begin(), v.end()); }
  double median() const {
    std::vector<double> s = v;
    std::sort(s.begin(), s.end());
    return s[s.size() / 2];
  }
};

void print_pair(const char* what, const series& ours, const char* ours_name, const series& peer,
                const char* peer_name, const char* unit) {
  std::printf("%s\n  %-22s min %8.2f %s  median %8.2f %s\n", what, ours_name, ours.min(), unit,
              ours.median(), unit);
  std::printf("  %-22s min %8.2f %s  median %8.2f %s\n", peer_name, peer.min(), unit, peer.median(), unit);
  std::printf("  ours / peer: min %.2f  median %.2f  (<1 = ours faster)\n", ours.min() / peer.min(),
              ours.median() / peer.median());
}

int run(const std::string& cmd) {
  int st = std::system(cmd.c_str());
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// The first line a shell command prints.
std::string first_line_of(const std::string& cmd) {
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return "";
  char buf[128] = {};
  size_t n = fread(buf, 1, sizeof(buf) - 1, p);
  pclose(p);
  std::string s(buf, n);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

std::string probe_frames(const std::string& path) {
  const std::string s = first_line_of("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                                      "stream=codec_name,nb_read_frames -of csv=p=0 '" + path + "'");
  return s.empty() ? "?" : s;
}

// Mean PSNR of a take's frames against the raw frames, as ffmpeg's psnr filter reports it.
std::string psnr(const std::string& take, const std::string& raw, int loops) {
  std::string cmd = "ffmpeg -nostdin -i '" + take + "' -f rawvideo -pix_fmt argb -s 1024x768 -r 20 "
                    "-stream_loop " + std::to_string(loops) + " -i '" + raw +
                    "' -lavfi '[0:v][1:v]psnr' -f null - 2>&1 | grep -o 'average:[0-9.inf]*'";
  const std::string s = first_line_of(cmd);
  return s.empty() ? "?" : s.substr(8) + " dB";
}

// Frames of the installer's background sliding sideways under moving bars: bytes A R G B,
// top row first, as the recorder's read-back gives them.
std::vector<std::vector<unsigned char>> make_frames() {
  std::vector<std::vector<unsigned char>> frames(kDistinct);
  for (int f = 0; f < kDistinct; ++f) {
    auto& px = frames[size_t(f)];
    px.resize(size_t(kW) * kH * 4);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const int sx = (x + f * 13) % kW, sy = kH - 1 - y;  // the image is stored bottom row first
        const unsigned char* s = &t_ins_back_1_dat[(size_t(sy) * kW + size_t(sx)) * 4];
        unsigned char* d = &px[(size_t(y) * kW + size_t(x)) * 4];
        const bool bar = ((x + f * 29) / 64) % 5 == 0 && y > 500;
        d[0] = 255;
        d[1] = bar ? 230 : s[0];
        d[2] = bar ? 40 : s[1];
        d[3] = bar ? 40 : s[2];
      }
  }
  return frames;
}

double encode_ours(const std::vector<std::vector<unsigned char>>& frames, const std::string& out) {
  fs::remove(out);
  auto t0 = Clock::now();
  MOV_jpeg_encoder enc;
  MOV_writer w;
  if (w.create(out, kW, kH)) return -1;
  for (int i = 0; i < kFrames; ++i) {
    if (!enc.encode(frames[size_t(i % kDistinct)].data(), kW, kH, MOV_jpeg_quality(kMovSpatialQuality))) return -1;
    if (w.add_sample(enc.data(), enc.size(), 30)) return -1;
  }
  if (w.finish()) return -1;
  return ms_since(t0);
}

double encode_peer(const std::string& raw, const std::string& out, int loops, const char* size) {
  auto t0 = Clock::now();
  std::string cmd = "ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt argb -s " + std::string(size) +
                    " -r 20 -stream_loop " + std::to_string(loops) + " -i '" + raw +
                    "' -threads 1 -c:v mjpeg -q:v " + std::to_string(kPeerQscale) + " -f mov '" + out + "'";
  if (run(cmd) != 0) return -1;
  return ms_since(t0);
}

// One recorded take of `frames` frames in the open window: the main thread's ms per frame.
double record_ms(int frames, bool pbo, int* kept) {
  mov_test_view.pixel_buffers_off = pbo ? 0 : 1;
  qtim.mov_toggle(1);
  const float step = 1.0f / qtim.fps;
  double main_ms = 0;
  for (int i = 0; i < frames; ++i) {
    auto t0 = Clock::now();
    OGL_2dquad_d(t_ins_back, 0, 1.0f, 0, 0, 0, 0, kW, kH, 1, 1, al_none);
    OGL_string(45, 40, 700, "Installing frame " + std::to_string(i), 0, charset_UI_diff_space, 0);
    xtim.sim_time += step;
    qtim.mov_per_frame();
    main_ms += ms_since(t0);
    MOV_wait_for_compressor();  // the compressor's time is the other benchmark
  }
  const std::string take = mov_test_view.last_take;
  qtim.mov_toggle(0);
  *kept = qtim.frames_done;
  fs::remove(take);
  return main_ms / frames;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  if (argc > 2) kPeerQscale = std::clamp(std::atoi(argv[2]), 1, 31);
  const fs::path dir = fs::temp_directory_path() / ("bench_movie_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string raw = (dir / "frames.raw").string(), tiny = (dir / "tiny.raw").string();
  const std::string ours_out = (dir / "ours.mov").string(), peer_out = (dir / "peer.mov").string();
  const auto frames = make_frames();
  {
    std::ofstream f(raw, std::ios::binary);
    for (const auto& px : frames) f.write(reinterpret_cast<const char*>(px.data()), std::streamsize(px.size()));
    std::ofstream t(tiny, std::ios::binary);
    std::vector<char> one(16 * 16 * 4, 0);
    t.write(one.data(), std::streamsize(one.size()));
  }
  const int loops = kFrames / kDistinct - 1;

  series ours, peer;
  for (int r = 0; r < rounds; ++r) {
    const double o = encode_ours(frames, ours_out);
    const double start = encode_peer(tiny, (dir / "tiny.mov").string(), 0, "16x16");
    const double p = encode_peer(raw, peer_out, loops, "1024x768");
    if (o < 0 || p < 0 || start < 0) {
      std::fprintf(stderr, "bench_movie: an encode failed (is ffmpeg installed?)\n");
      return 1;
    }
    ours.v.push_back(o);
    peer.v.push_back(std::max(0.0, p - start));
  }
  std::printf("Encoding %d frames of %d x %d into a take (one thread each)\n", kFrames, kW, kH);
  std::printf("  ours: %s, %ju bytes;  ffmpeg -q:v %d: %s, %ju bytes\n", probe_frames(ours_out).c_str(),
              uintmax_t(fs::file_size(ours_out)), kPeerQscale, probe_frames(peer_out).c_str(),
              uintmax_t(fs::file_size(peer_out)));
  std::printf("  PSNR against the raw frames: ours %s, ffmpeg %s\n", psnr(ours_out, raw, loops).c_str(),
              psnr(peer_out, raw, loops).c_str());
  print_pair("  ms per take", ours, "frame encoder + writer", peer, "ffmpeg mjpeg (start off)", "ms");
  std::printf("  ours: %.2f ms per frame on the compressor thread\n", ours.min() / kFrames);

  PLAT_gl_window win;
  if (!bench_gl::open_window("bench_movie", &win)) return 1;
  recall_ins_texes();
  fs::current_path(dir);
  qtim.width = kW;
  series plain, pbo;
  int kept_plain = 0, kept_pbo = 0;
  const int rec_frames = 100;
  for (int r = 0; r < rounds; ++r) {
    plain.v.push_back(record_ms(rec_frames, false, &kept_plain));
    pbo.v.push_back(record_ms(rec_frames, true, &kept_pbo));
  }
  std::printf("Recording %d frames of %d x %d, main thread (renderer %s)\n", rec_frames, kW, kH,
              ren.renderer ? ren.renderer : "?");
  print_pair("  ms per frame", pbo, "pixel-pack buffer", plain, "plain read-back", "ms");
  std::printf("  frames kept: pixel buffer %d, plain %d of %d\n", kept_pbo, kept_plain, rec_frames);
  const double slowest = std::max(pbo.median(), ours.median() / kFrames);
  std::printf("  sustained: %.1f frames a second at %d x %d (target 20)\n", 1000.0 / slowest, kW, kH);
  qtim.stop_thread();
  PLAT_window_close(&win);
  fs::current_path("/");
  fs::remove_all(dir);
  return 0;
}
