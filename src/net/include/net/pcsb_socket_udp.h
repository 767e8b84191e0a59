// A UDP socket wrapper beside the TCP one; nothing in the installer creates one.
#pragma once
#include <netinet/in.h>

class PCSBSocketUDP {
 public:
  static constexpr int udp_buffer_size_snd = 16384;
  static constexpr int udp_buffer_size_rcv = 65536;

  PCSBSocketUDP() = default;
  virtual ~PCSBSocketUDP();
  PCSBSocketUDP(const PCSBSocketUDP&) = delete;
  PCSBSocketUDP& operator=(const PCSBSocketUDP&) = delete;

  // Mode 2 asks for non-blocking mode. Returns 1 on success, 0 on failure.
  int udp_init(unsigned short port, int mode);
  void size_buffer();
  // Closes the socket; the close result, or -1 when there was nothing to close.
  int Cleanup();

  // One datagram; the sender's address and port in host byte order.
  long ReadData(void* buffer, long size, unsigned long* from_address, unsigned short* from_port);
  // One datagram to an address and port given in host byte order.
  long udp_WriteData(void* buffer, long size, unsigned long address, unsigned short port);

  int descriptor() const { return fd; }

 private:
  int fd = -1;
  sockaddr_in local{};
};
