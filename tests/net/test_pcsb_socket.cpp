// Non-blocking TCP and UDP sockets against peers on loopback.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <string>
#include <thread>

#include "net/pcsb_socket.h"
#include "net/pcsb_socket_udp.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Polls until `done` holds, at most 2000 times and 5 seconds.
template <class F>
bool poll_until(F done) {
  auto deadline = steady_clock::now() + std::chrono::seconds(5);
  for (int i = 0; i < 2000 && steady_clock::now() < deadline; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(milliseconds(1));
  }
  return done();
}

uint32_t loopback_net_order() { return htonl(INADDR_LOOPBACK); }

uint16_t listener_port(PCSBSocket& s) {
  PCSBSocket::ConnectionData cd{};
  s.GetAddresses(&cd);
  return cd.local_port;
}

// A connected pair: client and the server side taken from a listener.
struct connected_pair {
  std::unique_ptr<PCSBSocket> listener, client, server;
};

connected_pair make_pair() {
  connected_pair p;
  p.listener = std::make_unique<PCSBSocket>(0, true);
  EXPECT_EQ(p.listener->GetStatus(), PCSBSocket::status_idle);
  uint16_t port = listener_port(*p.listener);
  EXPECT_NE(port, 0);
  p.client = std::make_unique<PCSBSocket>(0, false);
  p.client->Connect(loopback_net_order(), port);
  EXPECT_TRUE(poll_until([&] { return p.listener->GetStatus() == PCSBSocket::status_connecting; }));
  p.server.reset(p.listener->Accept());
  EXPECT_NE(p.server, nullptr);
  EXPECT_EQ(p.listener->GetStatus(), PCSBSocket::status_idle);
  EXPECT_TRUE(poll_until([&] { return p.client->GetStatus() == PCSBSocket::status_connected; }));
  return p;
}

// Reads until `want` bytes arrived or the bounds run out.
std::string read_some(PCSBSocket& s, size_t want) {
  std::string got;
  char buf[4096];
  poll_until([&] {
    long n = s.ReadData(buf, sizeof buf);
    if (n > 0) got.append(buf, static_cast<size_t>(n));
    return got.size() >= want || n < 0;
  });
  return got;
}

}  // namespace

TEST(PCSBSocketLookup, DottedNamesAndUnknownNames) {
  EXPECT_EQ(PCSBSocket::LookupAddress("127.0.0.1"), loopback_net_order());
  in_addr a{};
  inet_pton(AF_INET, "127.0.3.9", &a);
  EXPECT_EQ(PCSBSocket::LookupAddress("127.0.3.9"), a.s_addr);
  EXPECT_EQ(PCSBSocket::LookupAddress("localhost"), loopback_net_order());  // from the hosts file
  // Names the resolver refuses locally (no query leaves the machine).
  EXPECT_EQ(PCSBSocket::LookupAddress("no such host!"), 0u);
  EXPECT_EQ(PCSBSocket::LookupAddress(""), 0u);
  EXPECT_EQ(PCSBSocket::LookupAddress(nullptr), 0u);
  EXPECT_TRUE(PCSBSocket::StartupNetworking(true));
}

TEST(PCSBSocketTcp, NewClientStaysIdleAndListenerReportsWaitingConnection) {
  PCSBSocket client(0, false);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(client.GetStatus(), PCSBSocket::status_idle);
  EXPECT_FALSE(client.IsListener());
  EXPECT_FALSE(client.ReceivedRelease());
  EXPECT_EQ(client.GetOSError(), 0);

  PCSBSocket listener(0, true);
  EXPECT_TRUE(listener.IsListener());
  EXPECT_EQ(listener.GetStatus(), PCSBSocket::status_idle);
  EXPECT_EQ(listener.Accept(), nullptr);  // nothing waits
  EXPECT_EQ(listener.GetStatus(), PCSBSocket::status_idle);
}

TEST(PCSBSocketTcp, ConnectAcceptExchangeAndAddresses) {
  connected_pair p = make_pair();
  ASSERT_TRUE(p.server);
  EXPECT_EQ(p.server->GetStatus(), PCSBSocket::status_connected);

  // Nothing pending: 0, nothing changes.
  char buf[16];
  EXPECT_EQ(p.client->ReadData(buf, sizeof buf), 0);
  EXPECT_EQ(p.client->GetStatus(), PCSBSocket::status_connected);
  EXPECT_FALSE(p.client->ReceivedRelease());

  const std::string hello = "hello, server";
  EXPECT_EQ(p.client->http_WriteData(hello.data(), static_cast<long>(hello.size())),
            static_cast<long>(hello.size()));
  EXPECT_EQ(read_some(*p.server, hello.size()), hello);

  PCSBSocket::ConnectionData cd{};
  p.client->GetAddresses(&cd);
  EXPECT_EQ(cd.remote_address, loopback_net_order());
  EXPECT_EQ(cd.remote_port, listener_port(*p.listener));
  EXPECT_EQ(cd.local_address, static_cast<uint32_t>(INADDR_LOOPBACK));  // host byte order
  PCSBSocket::ConnectionData sd{};
  p.server->GetAddresses(&sd);
  EXPECT_EQ(sd.remote_port, cd.local_port);
  EXPECT_EQ(sd.local_port, cd.remote_port);
}

TEST(PCSBSocketTcp, PeerCloseGivesReleaseThenClosedAfterOwnRelease) {
  connected_pair p = make_pair();
  ASSERT_TRUE(p.server);
  const std::string answer = "answer";
  ASSERT_EQ(p.server->http_WriteData(answer.data(), 6), 6);
  p.server.reset();  // sends and closes

  EXPECT_EQ(read_some(*p.client, 6), answer);
  char buf[16];
  ASSERT_TRUE(poll_until([&] { return p.client->ReadData(buf, sizeof buf) == 0 && p.client->ReceivedRelease(); }));
  EXPECT_EQ(p.client->GetStatus(), PCSBSocket::status_connected);

  p.client->Release();
  EXPECT_TRUE(p.client->Released());
  EXPECT_EQ(p.client->ReadData(buf, sizeof buf), -1);
  EXPECT_EQ(p.client->GetStatus(), PCSBSocket::status_closed);
}

TEST(PCSBSocketTcp, DisconnectIsFinal) {
  connected_pair p = make_pair();
  p.client->Disconnect();
  EXPECT_EQ(p.client->GetStatus(), PCSBSocket::status_closed);
  EXPECT_EQ(p.client->GetStatus(), PCSBSocket::status_closed);
}

TEST(PCSBSocketTcp, RefusedConnectionNeverCountsAsConnected) {
  // A port that was free a moment ago: nothing listens there.
  uint16_t port;
  {
    PCSBSocket probe(0, true);
    port = listener_port(probe);
  }
  PCSBSocket client(0, false);
  client.Connect(loopback_net_order(), port);
  int st = PCSBSocket::status_connecting;
  ASSERT_TRUE(poll_until([&] {
    st = client.GetStatus();
    return st != PCSBSocket::status_connecting;
  }));
  EXPECT_TRUE(st == PCSBSocket::status_closed || st == PCSBSocket::status_error) << st;
  // Refused by the connect call itself (status 5) or seen later by the poll (status 4).
  if (st == PCSBSocket::status_error) {
    EXPECT_EQ(client.GetOSError(), ECONNREFUSED);
  }
}

TEST(PCSBSocketTcp, SendToVanishedPeerFailsWithoutSignal) {
  std::signal(SIGPIPE, SIG_DFL);  // a raised SIGPIPE would end this test process
  connected_pair p = make_pair();
  ASSERT_TRUE(p.server);
  p.server.reset();
  std::string block(4096, 'x');
  long last = 0;
  poll_until([&] {
    last = p.client->http_WriteData(block.data(), static_cast<long>(block.size()));
    return last < 0;
  });
  EXPECT_EQ(last, -1);
  int st = p.client->GetStatus();
  EXPECT_TRUE(st == PCSBSocket::status_closed || st == PCSBSocket::status_error) << st;
}

TEST(PCSBSocketTcp, WritesNeverBlock) {
  connected_pair p = make_pair();
  std::string block(1 << 16, 'y');
  long total = 0, r = 1;
  auto start = steady_clock::now();
  // The peer reads nothing: the system buffers fill and a write reports 0.
  for (int i = 0; i < 10000 && r > 0; ++i) {
    r = p.client->http_WriteData(block.data(), static_cast<long>(block.size()));
    if (r > 0) total += r;
  }
  EXPECT_EQ(r, 0);
  EXPECT_GT(total, 0);
  EXPECT_LT(steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(p.client->GetStatus(), PCSBSocket::status_connected);
}

TEST(PCSBSocketTcp, AdoptedDescriptorIsConnectedAndNonBlocking) {
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  PCSBSocket adopted(fds[0]);
  EXPECT_EQ(adopted.GetStatus(), PCSBSocket::status_connected);
  EXPECT_FALSE(adopted.IsListener());
  EXPECT_FALSE(adopted.Released());
  EXPECT_TRUE(fcntl(fds[0], F_GETFL) & O_NONBLOCK);
  char buf[4];
  EXPECT_EQ(adopted.ReadData(buf, sizeof buf), 0);
  ASSERT_EQ(write(fds[1], "ab", 2), 2);
  EXPECT_EQ(adopted.ReadData(buf, sizeof buf), 2);
  close(fds[1]);
}

TEST(PCSBSocketUdp, DatagramRoundTripAndCleanup) {
  PCSBSocketUDP u;
  ASSERT_EQ(u.udp_init(0, 2), 1);
  ASSERT_GE(u.descriptor(), 0);
  sockaddr_in me{};
  socklen_t len = sizeof me;
  ASSERT_EQ(getsockname(u.descriptor(), reinterpret_cast<sockaddr*>(&me), &len), 0);
  unsigned short port = ntohs(me.sin_port);

  int snd = 0;
  len = sizeof snd;
  getsockopt(u.descriptor(), SOL_SOCKET, SO_SNDBUF, &snd, &len);
  EXPECT_GE(snd, PCSBSocketUDP::udp_buffer_size_snd);  // the system may double it

  char msg[] = "datagram";
  EXPECT_EQ(u.udp_WriteData(msg, 8, INADDR_LOOPBACK, port), 8);
  char buf[64];
  unsigned long from = 0;
  unsigned short from_port = 0;
  long got = -1;
  poll_until([&] {
    got = u.ReadData(buf, sizeof buf, &from, &from_port);
    return got >= 0;
  });
  ASSERT_EQ(got, 8);
  EXPECT_EQ(std::string(buf, 8), "datagram");
  EXPECT_EQ(from, static_cast<unsigned long>(INADDR_LOOPBACK));
  EXPECT_EQ(from_port, port);

  EXPECT_EQ(u.Cleanup(), 0);
  EXPECT_EQ(u.Cleanup(), -1);
}

TEST(PCSBSocketUdpDeathTest, ReadWithoutSocketIsFatal) {
  EXPECT_EXIT(
      {
        PCSBSocketUDP u;
        char buf[4];
        u.ReadData(buf, 4, nullptr, nullptr);
      },
      testing::ExitedWithCode(1), "Bad mWinSocket!");
}
