// The polled HTTP/1.1 download client: builds a GET (or POST), parses the response header and
// writes the body straight from the receive buffer into the destination file.
#include "net/http.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "foundation/alert.h"
#include "foundation/globals.h"
#include "foundation/hl_types.h"
#include "foundation/xtim.h"
#include "platform/regular_file.h"
#include "platform/volume.h"

http_class http;
std::vector<std::string> gProxyExclude;

namespace {

const char* const kUnit = "DUdurid/OOPS_cpp/http";
constexpr float kStallSeconds = 30.0f;

// Shared by every download: they are advanced one after another.
char readChunk[65536];

float now() { return xtim.act_time; }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Digits only, no sign, no blanks, no overflow of 63 bits.
bool parse_length(const std::string& text, int64_t* out) {
  if (text.empty()) return false;
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    int d = c - '0';
    if (v > (INT64_MAX - d) / 10) return false;
    v = v * 10 + d;
  }
  *out = v;
  return true;
}

std::string user_agent() {
  const std::string& build = build_name[0];
  return std::string("Installer-") + "APL/" + build.substr(build.size() - 4);
}

void check_slot(int slot) {
  if (slot < 0 || slot >= http_class::slot_count)
    __ZARIRU_alert(0, "Too many download objects requested!", "", "", "", t_exit, kUnit, 232);
}

}  // namespace

bool http_header_less::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(lower(x)) < static_cast<unsigned char>(lower(y));
  });
}

// ---------------------------------------------------------------------------------------------
// down_class

down_class::down_class(const char* server, unsigned short port, const char* path, bool post,
                       const std::map<std::string, std::string>& request_headers,
                       const char* body, int body_length, const char* dest) {
  last_activity = now();
  if (dest) dest_path = app_path + dest;
  if (!server) server = "";
  if (!path) path = "";

  bool proxied = http.UseProxy(server, port);
  std::string host = proxied ? http.proxy_host : std::string(server);
  unsigned long address = PCSBSocket::LookupAddress(host.c_str());
  if (address == 0) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&address);
    std::ostringstream line;
    line << "Translated server " << server << " to IP addy: " << int(b[0]) << "." << int(b[1]) << "."
         << int(b[2]) << "." << int(b[3]) << " and port = " << port << "\n";
    xer_line(line.str());
    err = ERR_NET_NO_SERVER;
    return;
  }

  status = -1;
  sock = new PCSBSocket(0, false);
  sock->Connect(address, proxied ? static_cast<unsigned short>(http.proxy_port_int) : port);

  std::string req = post ? "POST " : "GET ";
  if (proxied) {
    auto host_header = request_headers.find("Host");
    req += "http://";
    if (host_header != request_headers.end()) req += host_header->second;
  }
  for (const char* p = path; *p; ++p) {
    if (*p == ' ')
      req += "%20";
    else
      req += *p;
  }
  req += " HTTP/1.1\r\n";
  for (const auto& [name, value] : request_headers) req += name + ": " + value + "\r\n";
  if (body && body_length > 0) req += "Content-Length: " + std::to_string(body_length) + "\r\n";
  req += "\r\n";
  out.assign(req.begin(), req.end());
  if (body && body_length > 0) out.insert(out.end(), body, body + body_length);
}

down_class::~down_class() {
  if (file) std::fclose(file);
  delete sock;
}

void down_class::close_file() {
  if (!file) return;
  // Buffered bytes reach the disk here; a failure makes the download fail.
  if (std::fclose(file) != 0 && !err) err = errno ? errno : EIO;
  file = nullptr;
}

void down_class::discard_file() {
  if (file) {
    std::fclose(file);
    file = nullptr;
  }
  if (made_file) {
    unlink(dest_path.c_str());
    made_file = false;
  }
}

void down_class::DoProcessing() {
  if (!sock) return;
  int st = sock->GetStatus();
  if (st == PCSBSocket::status_closed || st == PCSBSocket::status_error) {
    close_file();
    return;
  }
  if (st != PCSBSocket::status_connected) return;

  if (!out.empty()) {
    long sent = sock->http_WriteData(out.data(), static_cast<long>(out.size()));
    if (sent > 0) out.erase(out.begin(), out.begin() + sent);
  }

  long got = sock->ReadData(readChunk, sizeof readChunk);
  if (got <= 0) return;
  take_bytes(readChunk, static_cast<size_t>(got));
}

void down_class::take_bytes(const char* data, size_t size) {
  in.insert(in.end(), data, data + size);
  if (!headers_done && !parse_headers()) return;
  body_step();
}

// Consumes whole header lines from `in`; true once the final header block has ended.
bool down_class::parse_headers() {
  size_t pos = 0;
  while (!headers_done && !err) {
    size_t end = pos;
    while (end + 1 < in.size() && !(in[end] == '\r' && in[end + 1] == '\n')) ++end;
    if (end + 1 >= in.size()) break;  // no whole line yet
    std::string line(in.begin() + pos, in.begin() + end);
    pos = end + 2;

    if (line.empty()) {
      // A 1xx block ends here too; the final block may follow in the same bytes.
      if (status > 199) end_of_header_block();
      continue;
    }
    if (line.compare(0, 5, "HTTP/") == 0 && line.size() >= 13) {
      status = std::atoi(line.substr(9, 3).c_str());
      reason = line.substr(13);
      continue;
    }
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) continue;
    std::string name = line.substr(0, colon);
    size_t v0 = colon + 1, v1 = line.size();
    while (v0 < v1 && is_blank(line[v0])) ++v0;
    while (v1 > v0 && is_blank(line[v1 - 1])) --v1;
    headers.emplace(name, line.substr(v0, v1 - v0));
  }
  header_bytes += pos;
  in.erase(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(pos));
  size_t pending = headers_done ? 0 : in.size();
  if (!err && header_bytes + pending > kMaxHeaderBytes) err = ERR_NET_BAD_STATE;
  return headers_done && !err;
}

void down_class::end_of_header_block() {
  headers_done = true;
  auto cl = headers.find("Content-Length");
  if (cl != headers.end() && !parse_length(cl->second, &content_length)) {
    content_length = -1;
    err = ERR_NET_BAD_STATE;
  }
  if (!err && max_body >= 0) err = fit_bound();
  if (!err && !dest_path.empty()) {
    // Never waits on a FIFO put in its place; only a plain file of ours is ever removed again.
    file = PLAT_fopen_regular(dest_path, "wb");
    if (!file)
      err = errno ? errno : EIO;
    else
      made_file = true;
  }
}

// Before anything of a bounded body is written: the announced length against the bound and the
// free space; without a length the free space may lower the bound.
ErrCode down_class::fit_bound() {
  if (content_length > max_body) return EFBIG;
  uint64_t free_bytes = 0;
  if (dest_path.empty() || PLAT_volume_free_bytes(dest_path, free_bytes) != 0) return 0;
  if (content_length >= 0) return uint64_t(content_length) > free_bytes ? ENOSPC : 0;
  if (free_bytes < uint64_t(max_body)) {
    max_body = int64_t(free_bytes);
    past_bound = ENOSPC;
  }
  return 0;
}

void down_class::body_step() {
  last_activity = now();
  // Without a destination the body stays in `in`, behind nothing else: `received` counts it.
  bool keep = !file && dest_path.empty();
  int64_t held = keep ? received : 0;
  int64_t fresh = static_cast<int64_t>(in.size()) - held;
  if (sock && content_length >= 0 && received + fresh >= content_length) sock->Disconnect();

  // Never take more than the announced length; anything past it is not part of this file.
  int64_t take = fresh;
  if (content_length >= 0) take = std::max<int64_t>(0, std::min(take, content_length - received));
  if (max_body >= 0 && received + take > max_body) {
    if (!err) err = past_bound;
    in.clear();
    return;
  }

  if (keep) {
    if (!err) {
      in.resize(static_cast<size_t>(held + take));
      received += take;
    }
    return;
  }
  if (!file || in.empty()) return;
  last_activity = now();
  if (take > 0) {
    errno = 0;
    size_t want = static_cast<size_t>(take);
    size_t written = std::fwrite(in.data(), 1, want, file);
    received += static_cast<int64_t>(written);
    if (written < want) err = errno ? errno : EIO;
  }
  in.clear();
}

int down_class::state_code() {
  if (!sock) return 0;
  switch (sock->GetStatus()) {
    case PCSBSocket::status_idle:
    case PCSBSocket::status_connecting:
      return 1;
    case PCSBSocket::status_error:
      return 2;
    case PCSBSocket::status_closed:
      return 3;
    default:
      break;
  }
  if (!out.empty()) return 4;
  return headers_done ? 5 : 6;
}

bool down_class::in_error() {
  return err != 0 || !sock || sock->GetStatus() == PCSBSocket::status_error;
}

// ---------------------------------------------------------------------------------------------
// http_class

http_class::~http_class() {
  // A download still running at exit is not a whole file.
  for (auto& d : slot) {
    if (!d) continue;
    d->discard_file();
    delete d;
    d = nullptr;
  }
}

bool http_class::UseProxy(const char* host, unsigned short) const {
  if (!http_port_ok(proxy_port_int) || proxy_host.empty()) return false;
  std::string h = host ? host : "";
  for (const std::string& suffix : gProxyExclude) {
    if (suffix.size() <= h.size() && h.compare(h.size() - suffix.size(), suffix.size(), suffix) == 0)
      return false;
  }
  return true;
}

unsigned short http_class::ProxyPort(const char* host, unsigned short port) const {
  return UseProxy(host, port) ? static_cast<unsigned short>(proxy_port_int) : port;
}

std::string http_class::ProxyHost(const char* host, unsigned short port) const {
  return UseProxy(host, port) ? proxy_host : std::string(host ? host : "");
}

down_info http_class::slot_info(int s) const {
  check_slot(s);
  down_info info;
  const down_class* d = slot[s];
  if (!d) return info;
  info.busy = true;
  info.content_length = d->content_length;
  info.received = d->received;
  info.status = d->status;
  info.reason = d->reason;
  info.err = d->err;
  return info;
}

const down_info& http_class::last_result(int s) const {
  check_slot(s);
  return last[s];
}

void http_class::finish(int s, bool success, ErrCode code) {
  down_class* d = slot[s];
  down_info& r = last[s];
  r = down_info{};
  r.content_length = d->content_length;
  r.received = d->received;
  r.status = d->status;
  r.reason = d->reason;
  r.err = success ? 0 : code;
  if (!success) d->discard_file();
  delete d;
  slot[s] = nullptr;
}

void http_class::abort_slot(int s) {
  check_slot(s);
  if (slot[s]) finish(s, false, ECANCELED);
}

int http_class::net_check(int s, std::string server, std::string path, const std::string& dest, int64_t max_bytes) {
  check_slot(s);
  static bool started = false;
  if (!started) {
    started = true;
    for (auto& d : slot) d = nullptr;
    PCSBSocket::StartupNetworking(true);
  }

  if (!slot[s]) {
    if (!server.empty() && server.back() == '/')
      __ZARIRU_alert(0, "net_check error! You have a dirchar at the end of the server name!", "You should not!",
                     "Our convention is that a server name is simply a server name... with no slash!", server,
                     t_exit, kUnit, 247);
    if (path.empty() || path[0] != '/')
      __ZARIRU_alert(0, "net_check error! You do not have a dirchar at the beginning of the directory name!",
                     "You should!",
                     "Our convention is that a directory name does start with a slash because it must include "
                     "the hard drive,which is a dir char on unix!",
                     path, t_exit, kUnit, 248);
    std::map<std::string, std::string> headers{
        {"Connection", "close"}, {"Host", server}, {"User-agent", user_agent()}};
    slot[s] = new down_class(server.c_str(), 80, path.c_str(), false, headers, nullptr, 0, dest.c_str());
    slot[s]->set_limit(max_bytes);
  }

  down_class* d = slot[s];
  d->DoProcessing();

  bool over = false;
  if (d->sock && d->sock->GetStatus() == PCSBSocket::status_closed)
    over = true;
  else if (d->content_length == d->received || d->err || !d->sock)
    over = true;
  else if (d->sock->GetStatus() == PCSBSocket::status_error)
    over = true;

  if (!over) {
    if (now() - d->last_activity > kStallSeconds) {
      finish(s, false, ETIMEDOUT);
      return net_failed;
    }
    return net_running;
  }

  d->close_file();
  bool complete = d->content_length == d->received;
  bool error = d->in_error();
  if (d->status >= 200 && d->status <= 299 && complete && !error) {
    finish(s, true, 0);
    return net_done;
  }

  int state = d->state_code();
  ErrCode os_err = d->err ? d->err
                          : (d->sock && d->sock->GetOSError() ? d->sock->GetOSError() : ERR_NET_ALLOC);
  std::ostringstream log;
  log << "HTTP Error for " << dest << "\n"
      << "   server     =" << server << "\n"
      << "   file       =" << path << "\n"
      << "   IsDone     =" << (state == 3 ? 1 : 0) << "\n"
      << "   IsComplete =" << (complete ? 1 : 0) << "\n"
      << "   IsErr      =" << (error ? 1 : 0) << "\n"
      << "   GetStat    =" << state << "\n"
      << "   GetOSErr   =" << os_err << "\n"
      << "   response   =" << d->reason << " (#" << d->status << ")\n\n";
  xer_line(log.str());
  finish(s, false, os_err);
  return net_failed;
}
