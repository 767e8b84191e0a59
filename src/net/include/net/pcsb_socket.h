// One IPv4 TCP socket in non-blocking mode whose owner polls it: nothing here ever waits,
// except the host-name lookup. Status moves from connecting to connected to closed.
#pragma once
#include <cstdint>

class PCSBSocket {
 public:
  enum {
    status_idle = 1,        // client not yet connecting, or a listening server
    status_connecting = 2,  // client connecting, or a connection waits on a server
    status_connected = 3,
    status_closed = 4,      // closed by either side, or the connection failed in an ordinary way
    status_error = 5
  };

  struct ConnectionData {
    uint32_t local_address;   // host byte order
    uint16_t local_port;      // host byte order
    uint32_t remote_address;  // network byte order, as the system reports it
    uint16_t remote_port;     // host byte order
  };

  // A new socket bound to `port` on all local addresses (0: any free port); a server listens.
  PCSBSocket(unsigned short port, bool is_server);
  // Adopts a connected descriptor.
  explicit PCSBSocket(int fd);
  virtual ~PCSBSocket();

  PCSBSocket(const PCSBSocket&) = delete;
  PCSBSocket& operator=(const PCSBSocket&) = delete;

  static bool StartupNetworking(bool);
  static void ShutdownNetworking(bool);
  // Dotted IPv4 text or a host name to an address in network byte order; 0 when neither works.
  static unsigned long LookupAddress(const char* name);

  // Address in network byte order, port in host byte order.
  void Connect(unsigned long address, unsigned short port);
  int GetStatus();
  int GetOSError() const { return os_error; }
  bool ReceivedRelease() const { return received_release; }
  bool Released() const { return released; }
  bool IsListener() const { return is_listener; }

  // Bytes received (at most size), 0 when nothing is there now, -1 when closed or failed.
  long ReadData(void* buffer, long size);
  // Bytes the system accepted, 0 when it would block, -1 when closed or failed.
  long http_WriteData(const void* buffer, long size);

  void Disconnect();
  void Release();
  void GetAddresses(ConnectionData* out);
  // One waiting connection as a new socket owned by the caller, or null.
  PCSBSocket* Accept();

 private:
  void fail(int err);
  long lost_or_failed(int err, const char* what);

  int fd = -1;
  int status = status_idle;
  int os_error = 0;
  bool received_release = false;
  bool released = false;
  bool is_listener = false;
};

// A logger of this unit that writes nothing.
int printf_null(char* format, ...);
