// Scripted loopback server for the network tests.
#include "loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

using clock_type = std::chrono::steady_clock;
constexpr int kMaxConnectionSeconds = 20;

// Each test process walks its own part of 127.0.0.0/8 so parallel test runs do not collide.
std::string candidate_address(int attempt) {
  static std::atomic<int> counter{0};
  int n = static_cast<int>(getpid() % 4000) * 13 + counter.fetch_add(1) + attempt;
  int b = 2 + (n / 250) % 250;
  int c = 2 + n % 250;
  return "127.0." + std::to_string(b) + "." + std::to_string(c);
}

bool send_all(int fd, const std::string& bytes, const std::atomic<bool>& stopping) {
  size_t done = 0;
  auto deadline = clock_type::now() + std::chrono::seconds(kMaxConnectionSeconds);
  while (done < bytes.size() && !stopping && clock_type::now() < deadline) {
    ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    pollfd p{fd, POLLOUT, 0};
    poll(&p, 1, 20);
  }
  return done == bytes.size();
}

void pause_ms(int ms, const std::atomic<bool>& stopping) {
  auto until = clock_type::now() + std::chrono::milliseconds(ms);
  while (!stopping && clock_type::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

}  // namespace

LoopbackServer::~LoopbackServer() { stop(); }

bool LoopbackServer::start(uint16_t port, handler_fn handler, std::string* why) {
  handler_ = std::move(handler);
  for (int attempt = 0; attempt < 64; ++attempt) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) break;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    std::string addr = candidate_address(attempt * 97);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    inet_pton(AF_INET, addr.c_str(), &sa.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 && listen(fd, 16) == 0) {
      socklen_t len = sizeof sa;
      getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
      listen_fd_ = fd;
      address_ = addr;
      port_ = ntohs(sa.sin_port);
      acceptor_ = std::thread([this] { accept_loop(); });
      return true;
    }
    int err = errno;
    close(fd);
    if (err == EACCES) {
      if (why) *why = "binding port " + std::to_string(port) + " needs root";
      return false;
    }
  }
  if (why) *why = "no free loopback address";
  return false;
}

void LoopbackServer::stop() {
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  std::vector<std::thread> workers;
  {
    std::lock_guard<std::mutex> hold(lock_);
    workers.swap(workers_);
  }
  for (auto& t : workers) t.join();
  if (listen_fd_ >= 0) close(listen_fd_);
  listen_fd_ = -1;
}

std::vector<std::string> LoopbackServer::requests() const {
  std::lock_guard<std::mutex> hold(lock_);
  return requests_;
}

void LoopbackServer::accept_loop() {
  while (!stopping_) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    int fd = accept(listen_fd_, nullptr, nullptr);
    if (fd < 0) continue;
    connections_++;
    std::lock_guard<std::mutex> hold(lock_);
    workers_.emplace_back([this, fd] { serve(fd); });
  }
}

void LoopbackServer::serve(int fd) {
  std::string request;
  auto deadline = clock_type::now() + std::chrono::seconds(kMaxConnectionSeconds);
  // Waits up to 20 ms for more of the request; false once the peer has closed or failed.
  auto read_some = [&] {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) return true;
    char buf[4096];
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return false;
    request.append(buf, static_cast<size_t>(n));
    return true;
  };
  while (!stopping_ && clock_type::now() < deadline && request.find("\r\n\r\n") == std::string::npos &&
         request.size() < 1 << 20 && read_some()) {
  }
  // A request body announced by Content-Length is read too.
  size_t head_end = request.find("\r\n\r\n");
  size_t cl = request.find("\r\nContent-Length: ");
  if (head_end != std::string::npos && cl != std::string::npos && cl < head_end) {
    size_t want = head_end + 4 + std::strtoul(request.c_str() + cl + 18, nullptr, 10);
    while (!stopping_ && clock_type::now() < deadline && request.size() < want && read_some()) {
    }
  }
  {
    std::lock_guard<std::mutex> hold(lock_);
    requests_.push_back(request);
  }
  scripted_reply reply = handler_(request);
  bool ok = true;
  for (const reply_chunk& c : reply.chunks) {
    pause_ms(c.delay_ms, stopping_);
    if (!ok || stopping_) break;
    ok = send_all(fd, c.bytes, stopping_);
  }
  if (reply.hold_open) {
    while (!stopping_ && clock_type::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 20) > 0) {
        char buf[4096];
        if (recv(fd, buf, sizeof buf, 0) <= 0) break;  // the client went away
      }
    }
  }
  shutdown(fd, SHUT_WR);
  // Let the client read everything before the descriptor goes (a close with unread data resets).
  auto linger_until = clock_type::now() + std::chrono::seconds(2);
  while (!stopping_ && clock_type::now() < linger_until) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) > 0) {
      char buf[4096];
      if (recv(fd, buf, sizeof buf, 0) <= 0) break;
    }
  }
  close(fd);
}

scripted_reply simple_reply(const std::string& status_line, const std::string& headers,
                            const std::string& body) {
  scripted_reply r;
  r.chunks.push_back({0, status_line + "\r\n" + headers + "\r\n" + body});
  return r;
}

std::string unused_loopback_address(uint16_t port) {
  for (int attempt = 0; attempt < 64; ++attempt) {
    std::string addr = candidate_address(attempt * 31 + 7);
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) break;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    inet_pton(AF_INET, addr.c_str(), &sa.sin_addr);
    // Bindable means no listener holds it; the descriptor closes again at once.
    bool free = bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    close(fd);
    if (free) return addr;
  }
  return "127.0.0.1";
}
