// Shared by the recorder's tests: running ffprobe and ffmpeg on a take, decoding its frames,
// and a colour-bar pattern with the region means a decoded frame must show.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace movtest {

struct run_result { int rc = -1; std::string out, err; };

inline std::string shell_quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs a shell command; standard output and standard error come back separately.
inline run_result run(const std::string& cmd) {
  run_result r;
  std::string err_file = std::filesystem::temp_directory_path() /
                         ("movtest_err_" + std::to_string(::getpid()));
  FILE* p = ::popen((cmd + " 2>" + shell_quote(err_file)).c_str(), "r");
  if (!p) return r;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof(buf), p)) > 0) r.out.append(buf, n);
  int status = ::pclose(p);
  r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  FILE* e = std::fopen(err_file.c_str(), "rb");
  if (e) {
    while ((n = std::fread(buf, 1, sizeof(buf), e)) > 0) r.err.append(buf, n);
    std::fclose(e);
  }
  std::filesystem::remove(err_file);
  return r;
}

// key=value lines of ffprobe about the video stream, frames counted by decoding.
inline std::map<std::string, std::string> probe(const std::string& path) {
  run_result r = run("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                     "stream=codec_name,width,height,time_base,duration,duration_ts,nb_frames,"
                     "nb_read_frames -of default=nw=1 " + shell_quote(path));
  std::map<std::string, std::string> kv;
  std::istringstream in(r.out);
  std::string line;
  while (std::getline(in, line)) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) kv[line.substr(0, eq)] = line.substr(eq + 1);
  }
  if (r.rc != 0 || !r.err.empty()) kv["error"] = r.err.empty() ? "rc " + std::to_string(r.rc) : r.err;
  return kv;
}

// Duration and file position of every sample, in order. A reader of fragmented movies gives no
// durations per packet: they are the steps of the decoding times, the last one to the stream's end.
struct packet { long duration; long long pos; };
inline std::vector<packet> packets(const std::string& path) {
  run_result r = run("ffprobe -v error -select_streams v:0 -show_entries packet=dts,pos "
                     "-of csv=p=0 " + shell_quote(path));
  std::vector<packet> out;  // the decoding times first, in `duration`
  std::istringstream in(r.out);
  std::string line;
  while (std::getline(in, line)) {
    packet p{};
    if (std::sscanf(line.c_str(), "%ld,%lld", &p.duration, &p.pos) == 2) out.push_back(p);
  }
  const std::string end = probe(path)["duration_ts"];
  for (size_t i = 0; i < out.size(); ++i)
    out[i].duration = (i + 1 < out.size() ? out[i + 1].duration : std::stol("0" + end)) - out[i].duration;
  return out;
}

// Decodes the whole take with nothing said on standard error: the strict check.
inline run_result decode_null(const std::string& path) {
  return run("ffmpeg -nostdin -v error -i " + shell_quote(path) + " -f null -");
}

// Every frame as RGB bytes, top row first.
inline std::vector<std::vector<unsigned char>> frames_rgb(const std::string& path, int w, int h) {
  run_result r = run("ffmpeg -nostdin -v error -i " + shell_quote(path) + " -fps_mode passthrough -f rawvideo -pix_fmt rgb24 -");
  std::vector<std::vector<unsigned char>> out;
  const size_t fb = size_t(w) * size_t(h) * 3;
  for (size_t at = 0; fb && at + fb <= r.out.size(); at += fb)
    out.emplace_back(r.out.begin() + long(at), r.out.begin() + long(at + fb));
  return out;
}

// Eight bars across; the upper two thirds in this order, the lower third reversed, so that a
// flip either way or swapped channels shows.
inline constexpr std::array<std::array<int, 3>, 8> kBars = {{{255, 255, 255}, {255, 255, 0}, {0, 255, 255},
                                                              {0, 255, 0}, {255, 0, 255}, {255, 0, 0},
                                                              {0, 0, 255}, {0, 0, 0}}};

// Mean RGB of a rectangle of a decoded frame (rows top first).
inline std::array<double, 3> mean(const std::vector<unsigned char>& f, int w, int x0, int y0, int x1,
                                  int y1) {
  std::array<double, 3> m{0, 0, 0};
  long n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x, ++n)
      for (int c = 0; c < 3; ++c) m[size_t(c)] += f[(size_t(y) * size_t(w) + size_t(x)) * 3 + size_t(c)];
  for (double& v : m) v /= double(n ? n : 1);
  return m;
}

// Largest difference of a region mean from its bar colour over every bar region of a frame.
inline double worst_bar_error(const std::vector<unsigned char>& f, int w, int h) {
  double worst = 0;
  const int split = h * 2 / 3;  // top row first: the upper band comes first
  for (int band = 0; band < 2; ++band) {
    const int y0 = band ? split : 0, y1 = band ? h : split;
    for (int i = 0; i < 8; ++i) {
      const int x0 = i * w / 8, x1 = (i + 1) * w / 8;
      const auto& want = kBars[size_t(band ? 7 - i : i)];
      auto m = mean(f, w, x0 + 4, y0 + 4, x1 - 4, y1 - 4);
      for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(m[size_t(c)] - want[size_t(c)]));
    }
  }
  return worst;
}

}  // namespace movtest
