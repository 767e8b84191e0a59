// Test helper: a scripted TCP server on a loopback address, run on its own thread. Each
// connection reads the request header, then plays back a reply: chunks with pauses, then closes
// or holds the connection open. Every wait is bounded.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct reply_chunk {
  int delay_ms = 0;  // pause before these bytes
  std::string bytes;
};

struct scripted_reply {
  std::vector<reply_chunk> chunks;
  bool hold_open = false;  // keep the connection until the server stops (a stalling server)
};

class LoopbackServer {
 public:
  using handler_fn = std::function<scripted_reply(const std::string& request)>;

  LoopbackServer() = default;
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // Listens on a free loopback address 127.0.x.y at `port` (0: any port). False when nothing
  // could be bound; `why` then says so.
  bool start(uint16_t port, handler_fn handler, std::string* why = nullptr);
  void stop();

  const std::string& address() const { return address_; }
  uint16_t port() const { return port_; }
  std::vector<std::string> requests() const;
  int connections() const { return connections_.load(); }

 private:
  void accept_loop();
  void serve(int fd);

  int listen_fd_ = -1;
  std::string address_;
  uint16_t port_ = 0;
  handler_fn handler_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::thread acceptor_;
  mutable std::mutex lock_;
  std::vector<std::thread> workers_;
  std::vector<std::string> requests_;
};

// A reply of one header block and a body, in one chunk.
scripted_reply simple_reply(const std::string& status_line, const std::string& headers,
                            const std::string& body);

// A loopback address with nothing listening on `port`, for refused connections.
std::string unused_loopback_address(uint16_t port);
