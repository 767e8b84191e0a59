// Driving the installer program from outside: process, window, clicks and screenshots.
#include "driver.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace e2e {

std::string quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string run(const std::string& cmd, int timeout_s) {
  std::string out;
  const std::string full = "timeout -k 2 " + std::to_string(timeout_s) + " sh -c " + quote(cmd);
  FILE* p = popen(full.c_str(), "r");
  if (!p) return out;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void shot::mean(int x, int y, int rw, int rh, double out[3]) const {
  out[0] = out[1] = out[2] = 0;
  long n = 0;
  for (int yy = y; yy < y + rh; ++yy)
    for (int xx = x; xx < x + rw; ++xx) {
      const int row = h - 1 - yy;
      if (xx < 0 || xx >= w || row < 0 || row >= h) continue;
      const unsigned char* p = &rgb[(static_cast<size_t>(row) * w + xx) * 3];
      for (int c = 0; c < 3; ++c) out[c] += p[c];
      ++n;
    }
  if (n)
    for (int c = 0; c < 3; ++c) out[c] /= static_cast<double>(n);
}

double shot::diff(const shot& o, int x, int y, int rw, int rh) const {
  if (o.w != w || o.h != h) return 255.0;
  double sum = 0;
  long n = 0;
  for (int yy = y; yy < y + rh; ++yy)
    for (int xx = x; xx < x + rw; ++xx) {
      const int row = h - 1 - yy;
      if (xx < 0 || xx >= w || row < 0 || row >= h) continue;
      const size_t i = (static_cast<size_t>(row) * w + xx) * 3;
      for (int c = 0; c < 3; ++c) sum += std::abs(static_cast<int>(rgb[i + c]) - static_cast<int>(o.rgb[i + c]));
      n += 3;
    }
  return n ? sum / static_cast<double>(n) : 0.0;
}

bool wait_for(double seconds, const std::function<bool()>& cond) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    if (cond()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

std::string build_dir() {
  const char* b = std::getenv("VOL_BUILD_DIR");
  return b && *b ? b : VOL_E2E_BUILD_DIR;
}

std::string artefact_dir() {
  const std::string dir = build_dir() + "/e2e-artefacts/";
  fs::create_directories(dir);
  return dir;
}

installer_run::installer_run(const std::string& binary, const std::vector<std::string>& args,
                             const std::string& home, const std::vector<std::pair<std::string, std::string>>& env)
    : home_(home) {
  fs::create_directories(home_ + "/Desktop");
  fs::create_directories(home_ + "/tmp");
  pid_ = fork();
  if (pid_ == 0) {
    setenv("HOME", home_.c_str(), 1);
    setenv("TMPDIR", (home_ + "/tmp").c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DESKTOP_DIR");
    for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    const std::string out = home_ + "/output.txt";
    FILE* f = std::freopen(out.c_str(), "w", stdout);
    if (f) dup2(fileno(stdout), 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(binary.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
}

installer_run::~installer_run() {
  if (pid_ > 0 && status_ == -1) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool installer_run::running() {
  if (status_ != -1) return false;
  int st = 0;
  if (waitpid(pid_, &st, WNOHANG) == pid_) {
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return false;
  }
  return true;
}

bool installer_run::find_window(double seconds) {
  return wait_for(seconds, [&] {
    if (!running()) return true;
    std::istringstream ids(run("xdotool search --onlyvisible --pid " + std::to_string(pid_)));
    std::string id;
    while (ids >> id) {
      std::string geo = run("xdotool getwindowgeometry " + id);
      if (geo.find("1024x768") != std::string::npos) {
        window_ = id;
        return true;
      }
    }
    return false;
  }) && !window_.empty();
}

shot installer_run::grab() const { return grab_window(window_); }

shot grab_window(const std::string& id) {
  shot s;
  if (id.empty()) return s;
  const std::string ppm = run("import -window " + id + " -depth 8 ppm:-", 20);
  std::istringstream in(ppm);
  std::string magic;
  int w = 0, h = 0, maxv = 0;
  in >> magic >> w >> h >> maxv;
  if (magic != "P6" || w <= 0 || h <= 0 || maxv != 255) return s;
  in.get();
  const size_t bytes = static_cast<size_t>(w) * h * 3;
  const size_t at = static_cast<size_t>(in.tellg());
  if (ppm.size() < at + bytes) return s;
  s.w = w;
  s.h = h;
  s.rgb.assign(ppm.begin() + static_cast<long>(at), ppm.begin() + static_cast<long>(at + bytes));
  return s;
}

void installer_run::save(const std::string& name) const {
  if (window_.empty()) return;
  run("import -window " + window_ + " " + quote(artefact_dir() + name + ".png"), 20);
}

void installer_run::click(int x, int y) const {
  const std::string move = "xdotool mousemove --window " + window_ + " " + std::to_string(x) + " " +
                           std::to_string(768 - y);
  run(move, 5);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  run(move + " click 1", 5);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
}

void installer_run::key(const std::string& name) const {
  run("xdotool windowfocus " + window_, 5);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  run("xdotool key " + quote(name), 5);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
}

std::string installer_run::log() const { return read_text(home_ + "/Desktop/Log.txt"); }

void installer_run::terminate() const {
  if (pid_ > 0 && status_ == -1) kill(pid_, SIGTERM);
}

std::string installer_run::output() const { return read_text(home_ + "/output.txt"); }

int installer_run::wait_exit(double seconds) {
  if (!wait_for(seconds, [&] { return !running(); })) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    status_ = -2;
    return -1;
  }
  return status_;
}

}  // namespace e2e
