// A minimal polled HTTP/1.1 client: six download slots, each fetching one whole file over a
// non-blocking socket, advanced by one call per slot per frame. No threads, no waiting.
#pragma once
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "files/io_utils.h"
#include "net/pcsb_socket.h"

// Header names compare without regard to letter case, as HTTP requires.
struct http_header_less {
  bool operator()(const std::string& a, const std::string& b) const;
};

// One running request: its socket, the response header parser and the body writer.
class down_class {
 public:
  static constexpr size_t kMaxHeaderBytes = 65536;  // a longer response header fails the download

  // body and dest may be null. The request goes out as soon as the socket connects.
  down_class(const char* server, unsigned short port, const char* path, bool post,
             const std::map<std::string, std::string>& request_headers, const char* body,
             int body_length, const char* dest);
  ~down_class();
  down_class(const down_class&) = delete;
  down_class& operator=(const down_class&) = delete;

  // Advances the download by what the socket allows now.
  void DoProcessing();
  // Runs received bytes through the header parser and the body writer.
  void take_bytes(const char* data, size_t size);

  // 0 no socket, 1 connecting, 2 socket error, 3 closed, 4 request not all sent,
  // 5 receiving the body, 6 awaiting the response header.
  int state_code();
  // The download is in error: err set, no socket, or a socket error.
  bool in_error();
  // Closes the destination; a failing close sets err.
  void close_file();
  // Closes the destination and removes it when this download created it.
  void discard_file();
  // Bounds the body (bytes; -1 none): a longer announced length fails before anything is
  // written (EFBIG), and so does one beyond the free space of the destination's volume (ENOSPC);
  // without a length the free space lowers the bound. Past it the download fails.
  void set_limit(int64_t max_bytes) { max_body = max_bytes; }

  PCSBSocket* sock = nullptr;          // owned; null when the host lookup failed
  std::vector<char> out;               // request bytes not yet sent
  std::vector<char> in;                // received bytes not yet parsed or written
  bool headers_done = false;           // the final (non-1xx) header block has ended
  int status = 0;                      // 0 lookup failed, -1 awaiting the status line, else HTTP status
  std::string reason;
  std::map<std::string, std::string, http_header_less> headers;  // a repeated name keeps its first value
  FILE* file = nullptr;                // the destination while the body is written
  std::string dest_path;               // app_path + dest; empty when none was given
  ErrCode err = 0;                     // 0, an errno value, or a program code
  int64_t content_length = -1;         // "Content-Length", -1 until it has been read
  int64_t received = 0;                // body bytes taken so far
  float last_activity = 0.0f;          // frame-clock seconds of the last body data (or the start)
  bool made_file = false;              // this download created or truncated dest_path
  size_t header_bytes = 0;             // response header bytes consumed so far
  int64_t max_body = -1;               // bound of the body, -1 none
  ErrCode past_bound = EFBIG;          // the failure past it (ENOSPC when the free space set it)

 private:
  bool parse_headers();
  void end_of_header_block();
  ErrCode fit_bound();
  void body_step();
};

// What a caller can see of a slot: live while a download runs, or how the last one ended.
struct down_info {
  bool busy = false;            // a download holds the slot
  int64_t content_length = -1;  // expected body length, -1 while unknown
  int64_t received = 0;         // body bytes received
  int status = 0;               // HTTP status (0 none, -1 not yet)
  std::string reason;
  ErrCode err = 0;              // for a finished download: 0 on success, else the failure code
};

class http_class {
 public:
  enum { slot_count = 6 };
  enum { net_running = 0, net_done = 1, net_failed = 2 };

  http_class() = default;
  ~http_class();
  http_class(const http_class&) = delete;
  http_class& operator=(const http_class&) = delete;

  // Starts (first call) or advances the download in `slot` of `path` from `server` port 80 into
  // `dest`. 0 running, 1 done, 2 failed; on 1 and 2 the slot is free again. A failed download
  // leaves no file at dest. max_bytes (-1 none), taken at the start, bounds the body as
  // down_class::set_limit says.
  int net_check(int slot, std::string server, std::string path, const std::string& dest, int64_t max_bytes = -1);

  // The running download of a slot (busy false when idle).
  down_info slot_info(int slot) const;
  // How the last download that finished in this slot ended.
  const down_info& last_result(int slot) const;
  // Drops the download of a slot, if any, removing its partial file.
  void abort_slot(int slot);

  bool UseProxy(const char* host, unsigned short port) const;
  unsigned short ProxyPort(const char* host, unsigned short port) const;
  std::string ProxyHost(const char* host, unsigned short port) const;

  std::string proxy_host;    // empty: no proxy
  std::string proxy_port;    // as the preferences hold it
  int proxy_port_int = 0;    // 0: no proxy
  down_class* slot[slot_count] = {};

 private:
  void finish(int slot, bool success, ErrCode code);
  down_info last[slot_count];
};

extern http_class http;
// A port the download client can reach a proxy on; any other proxy port means no proxy.
inline bool http_port_ok(int port) { return port >= 1 && port <= 65535; }

// Host suffixes that never go through the proxy.
extern std::vector<std::string> gProxyExclude;
