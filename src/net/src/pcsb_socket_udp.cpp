// UDP companion of the TCP socket: binds to a port, sizes its buffers, moves single datagrams.
#include "net/pcsb_socket_udp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "foundation/alert.h"

namespace {
const char* const kUnit = "DUdurid/Sockets/PCSBSocketUDP";
const char* const kUnitLin = "DUdurid/Sockets/PCSBSocketUDP.lin";
}  // namespace

PCSBSocketUDP::~PCSBSocketUDP() { Cleanup(); }

int PCSBSocketUDP::Cleanup() {
  if (fd == -1) return -1;
  int r = close(fd);
  fd = -1;
  return r;
}

int PCSBSocketUDP::udp_init(unsigned short port, int mode) {
  Cleanup();
  fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd == -1) return 0;

  local = sockaddr_in{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    Cleanup();
    return 0;
  }
  if (mode == 2) {
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags == -1 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) == -1) {
      __ZARIRU_alert(0, "Could not set net to non-blocking!", "", "", "", t_alert, kUnitLin, 62);
      Cleanup();
      return 0;
    }
  }
  size_buffer();
  return 1;
}

void PCSBSocketUDP::size_buffer() {
  int snd = udp_buffer_size_snd;
  int rcv = udp_buffer_size_rcv;
  socklen_t len = sizeof(int);
  if (setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &snd, sizeof snd) != 0)
    __ZARIRU_alert(0, "Could not set socket size!", "", "", "", t_exit, kUnit, 91);
  if (getsockopt(fd, SOL_SOCKET, SO_SNDBUF, &snd, &len) != 0)
    __ZARIRU_alert(0, "Could not set socket size!", "", "", "", t_exit, kUnit, 92);
  if (setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcv, sizeof rcv) != 0)
    __ZARIRU_alert(0, "Could not set socket size!", "", "", "", t_exit, kUnit, 93);
  len = sizeof(int);
  if (getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcv, &len) != 0)
    __ZARIRU_alert(0, "Could not set socket size!", "", "", "", t_exit, kUnit, 94);
}

long PCSBSocketUDP::ReadData(void* buffer, long size, unsigned long* from_address,
                             unsigned short* from_port) {
  if (fd < 0) __ZARIRU_alert(0, "Bad mWinSocket!", "", "", "", t_exit, kUnitLin, 102);
  sockaddr_in from{};
  socklen_t len = sizeof from;
  ssize_t got = recvfrom(fd, buffer, size > 0 ? static_cast<size_t>(size) : 0, 0,
                         reinterpret_cast<sockaddr*>(&from), &len);
  if (from_address) *from_address = ntohl(from.sin_addr.s_addr);
  if (from_port) *from_port = ntohs(from.sin_port);
  return got;
}

long PCSBSocketUDP::udp_WriteData(void* buffer, long size, unsigned long address, unsigned short port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(static_cast<uint32_t>(address));
  to.sin_port = htons(port);
  return sendto(fd, buffer, size > 0 ? static_cast<size_t>(size) : 0, MSG_NOSIGNAL,
                reinterpret_cast<sockaddr*>(&to), sizeof to);
}
