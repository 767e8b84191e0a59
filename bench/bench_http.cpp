// Download slots: polling net_check as fast as possible against curl, fetching the same files
// from the same loopback server in the same run, with one stream and with six.
// Usage: bench_http [megabytes per file (64)]
// Needs root (the slots always use port 80).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench_ratio.h"
#include "net/http.h"

namespace {

namespace fs = std::filesystem;

// Serves `size` bytes to every request, one thread per connection.
class BlastServer {
 public:
  bool start(size_t size) {
    size_ = size;
    block_.assign(1 << 20, 'z');
    for (int c = 2; c < 250; ++c) {
      fd_ = socket(AF_INET, SOCK_STREAM, 0);
      int one = 1;
      setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
      address_ = "127.0.201." + std::to_string(c);
      sockaddr_in sa{};
      sa.sin_family = AF_INET;
      sa.sin_port = htons(80);
      inet_pton(AF_INET, address_.c_str(), &sa.sin_addr);
      if (bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 && listen(fd_, 32) == 0) {
        acceptor_ = std::thread([this] { accept_loop(); });
        return true;
      }
      close(fd_);
      fd_ = -1;
    }
    return false;
  }
  void stop() {
    stop_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    for (auto& t : workers_) t.join();
    if (fd_ >= 0) close(fd_);
  }
  const std::string& address() const { return address_; }

 private:
  void accept_loop() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      int c = accept(fd_, nullptr, nullptr);
      if (c >= 0) workers_.emplace_back([this, c] { serve(c); });
    }
  }
  void serve(int c) {
    std::string req;
    char buf[4096];
    while (req.find("\r\n\r\n") == std::string::npos) {
      ssize_t n = recv(c, buf, sizeof buf, 0);
      if (n <= 0) break;
      req.append(buf, static_cast<size_t>(n));
    }
    std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size_) + "\r\n\r\n";
    bool ok = send(c, head.data(), head.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(head.size());
    size_t left = size_;
    while (ok && left > 0 && !stop_) {
      ssize_t n = send(c, block_.data(), std::min(left, block_.size()), MSG_NOSIGNAL);
      if (n <= 0) break;
      left -= static_cast<size_t>(n);
    }
    shutdown(c, SHUT_WR);
    while (recv(c, buf, sizeof buf, 0) > 0) {
    }
    close(c);
  }

  int fd_ = -1;
  size_t size_ = 0;
  std::string address_, block_;
  std::atomic<bool> stop_{false};
  std::thread acceptor_;
  std::vector<std::thread> workers_;
};

// Our six slots (or fewer), polled round robin without pause. False when one failed.
bool ours(const std::string& server, int streams, const std::string& dir) {
  std::vector<int> result(streams, http_class::net_running);
  for (int remaining = streams; remaining > 0;) {
    for (int s = 0; s < streams; ++s) {
      if (result[s] != http_class::net_running) continue;
      result[s] = http.net_check(s, server, "/f" + std::to_string(s), dir + "/ours" + std::to_string(s));
      if (result[s] != http_class::net_running) --remaining;
    }
  }
  return std::all_of(result.begin(), result.end(), [](int r) { return r == http_class::net_done; });
}

bool peer(const std::string& server, int streams, const std::string& dir) {
  std::string cmd = "curl -s -f --parallel --parallel-max " + std::to_string(streams);
  for (int s = 0; s < streams; ++s)
    cmd += " -o " + dir + "/curl" + std::to_string(s) + " http://" + server + "/f" + std::to_string(s);
  cmd += " 2>/dev/null";
  return std::system(cmd.c_str()) == 0;
}


}  // namespace

int main(int argc, char** argv) {
  size_t mb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
  if (mb == 0) mb = 64;
  if (std::system("curl --version >/dev/null 2>&1") != 0) {
    std::printf("bench_http: curl is not installed; nothing to compare with\n");
    return 0;
  }
  BlastServer server;
  if (!server.start(mb << 20)) {
    std::printf("bench_http: cannot listen on port 80 of a loopback address (needs root)\n");
    return 0;
  }
  std::string dir = (fs::temp_directory_path() / ("bench_http_" + std::to_string(getpid()))).string();
  fs::create_directories(dir);

  int status = 0;
  for (int streams : {1, 6}) {
    bool ok_ours = true, ok_peer = true;
    const std::vector<bench::Times> t = bench::interleaved(5, {
        [&] { ok_ours = ours(server.address(), streams, dir) && ok_ours; },
        [&] { ok_peer = peer(server.address(), streams, dir) && ok_peer; }});
    if (!ok_ours || !ok_peer) {
      std::printf("bench_http: a download failed (ours %s, curl %s)\n", ok_ours ? "ok" : "failed",
                  ok_peer ? "ok" : "failed");
      status = 1;
      break;
    }
    bench::print_ratio(std::to_string(streams) + " stream(s) x " + std::to_string(mb) + " MB", t[0], "curl", t[1]);
  }
  server.stop();
  std::error_code ec;
  fs::remove_all(dir, ec);
  return status;
}
