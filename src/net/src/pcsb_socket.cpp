// Non-blocking TCP socket with a polled status. Failures never raise alerts here: they end in
// status 4 or 5 and the owner reads GetStatus and GetOSError.
#include "net/pcsb_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void set_non_blocking(int fd) {
  int flags = fcntl(fd, F_GETFL, 0);
  if (flags != -1) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

bool is_lost_connection(int err) {
  switch (err) {
    case ECONNABORTED:
    case ECONNREFUSED:
    case ECONNRESET:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETRESET:
    case ENETUNREACH:
    case ETIMEDOUT:
      return true;
    default:
      return false;
  }
}

// poll with a zero time-out: select would overrun its fixed set for descriptors past FD_SETSIZE.
int poll_now(int fd, short events, short* revents) {
  pollfd p{};
  p.fd = fd;
  p.events = events;
  int r = poll(&p, 1, 0);
  *revents = p.revents;
  return r;
}

}  // namespace

PCSBSocket::PCSBSocket(unsigned short port, bool is_server) {
  fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd == -1) {
    std::fprintf(stderr, "LINUX: NET: I could not even create the socket! Uh-oh!\n");
    fail(errno);
    return;
  }
  int one = 1;
  if (setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) != 0)
    std::printf("-----------------------Could not set TCP_NODELAY on port %d-------------\n", port);

  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  addr.sin_port = htons(port);
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    std::fprintf(stderr, "LINUX: NET: I could not even bind the socket! Uh-oh!\n");
    fail(errno);
    return;
  }
  set_non_blocking(fd);
  if (is_server) {
    is_listener = true;
    if (listen(fd, 128) != 0) {
      std::fprintf(stderr, "LINUX: NET: I could not start listening! Uh-oh!\n");
      fail(errno);
    }
  }
}

PCSBSocket::PCSBSocket(int adopted) : fd(adopted), status(status_connected) {
  set_non_blocking(fd);
}

PCSBSocket::~PCSBSocket() {
  if (fd != -1) {
    shutdown(fd, SHUT_RDWR);
    close(fd);
  }
}

bool PCSBSocket::StartupNetworking(bool) { return true; }
void PCSBSocket::ShutdownNetworking(bool) {}

unsigned long PCSBSocket::LookupAddress(const char* name) {
  if (!name || !*name) return 0;
  in_addr dotted{};
  if (inet_pton(AF_INET, name, &dotted) == 1) return dotted.s_addr;

  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found) return 0;
  unsigned long address = 0;
  for (addrinfo* a = found; a; a = a->ai_next) {
    if (a->ai_family == AF_INET && a->ai_addr) {
      address = reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
      break;
    }
  }
  freeaddrinfo(found);
  return address;
}

void PCSBSocket::fail(int err) {
  status = status_error;
  os_error = err;
}

void PCSBSocket::Connect(unsigned long address, unsigned short port) {
  status = status_connecting;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = static_cast<in_addr_t>(address);
  addr.sin_port = htons(port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    status = status_connected;
    return;
  }
  int err = errno;
  if (err == EAGAIN || err == EINPROGRESS || err == EINTR) return;
  std::fprintf(stderr, "LINUX: NET: Some sort of connect error! %d\n", err);
  fail(err);
}

int PCSBSocket::GetStatus() {
  if (status == status_idle && !is_listener) return status;
  if (status != status_idle && status != status_connecting) return status;

  short revents = 0;
  bool listening = status == status_idle;
  int r = listening ? poll_now(fd, POLLIN, &revents) : poll_now(fd, POLLOUT | POLLPRI, &revents);
  if (r == 0) return status;
  if (r < 0) {
    int err = errno;
    if (err == EINTR) return status;
    if (listening)
      std::fprintf(stderr, "LINUX: NET: Some sort of socket error! %d\n", r);
    else
      std::fprintf(stderr, "LINUX: NET: Some sort of socket error while connecting! %d (errno=%d sock=%d)\n",
                   r, err, fd);
    fail(err);
    return status;
  }

  if (listening) {
    status = (revents & POLLIN) ? status_connecting : status_closed;
    return status;
  }
  // Writable alone does not mean connected: a refused connect is writable too, with SO_ERROR set.
  bool clean = (revents & POLLOUT) && !(revents & (POLLERR | POLLHUP | POLLNVAL | POLLPRI));
  if (clean) {
    int so_error = 0;
    socklen_t len = sizeof so_error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &so_error, &len) != 0 || so_error != 0) clean = false;
  }
  status = clean ? status_connected : status_closed;
  return status;
}

long PCSBSocket::lost_or_failed(int err, const char* what) {
  if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR) return 0;
  if (is_lost_connection(err)) {
    status = status_closed;
    return -1;
  }
  std::fprintf(stderr, "LINUX: NET: Some sort of error while %s! %d\n", what, err);
  fail(err);
  return -1;
}

long PCSBSocket::ReadData(void* buffer, long size) {
  if (size <= 0) return 0;
  ssize_t got = recv(fd, buffer, static_cast<size_t>(size), 0);
  if (got > 0) return got;
  if (got == 0) {
    received_release = true;
    if (released) {
      status = status_closed;
      return -1;
    }
    return 0;
  }
  return lost_or_failed(errno, "recving");
}

long PCSBSocket::http_WriteData(const void* buffer, long size) {
  if (size <= 0) return 0;
  // MSG_NOSIGNAL: a send to a peer that has gone must fail, not raise SIGPIPE.
  ssize_t sent = send(fd, buffer, static_cast<size_t>(size), MSG_NOSIGNAL);
  if (sent >= 0) return sent;
  return lost_or_failed(errno, "sending");
}

void PCSBSocket::Disconnect() {
  if (fd != -1) shutdown(fd, SHUT_RDWR);
  status = status_closed;
}

void PCSBSocket::Release() {
  released = true;
  if (shutdown(fd, SHUT_WR) != 0) fail(errno);
}

void PCSBSocket::GetAddresses(ConnectionData* out) {
  if (!out) return;
  *out = ConnectionData{};
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
    out->remote_address = addr.sin_addr.s_addr;
    out->remote_port = ntohs(addr.sin_port);
  }
  addr = sockaddr_in{};
  len = sizeof addr;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
    out->local_address = ntohl(addr.sin_addr.s_addr);
    out->local_port = ntohs(addr.sin_port);
  }
}

PCSBSocket* PCSBSocket::Accept() {
  status = status_idle;
  int got = accept(fd, nullptr, nullptr);
  if (got == -1) return nullptr;
  return new PCSBSocket(got);
}

int printf_null(char*, ...) { return 0; }
