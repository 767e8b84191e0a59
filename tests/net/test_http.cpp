// Download slots against scripted HTTP servers on loopback addresses, port 80.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "file_bytes.h"
#include "foundation/globals.h"
#include "foundation/xtim.h"
#include "loopback_server.h"
#include "net/http.h"

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

namespace {

std::string pattern(size_t n, unsigned seed) {
  std::string s(n, '\0');
  unsigned x = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = static_cast<char>(x >> 16);
  }
  return s;
}

using test_support::read_bytes;

std::string ok_header(size_t length) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
}

class HttpSlots : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/net_http_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    log_path_ = dir_ + "/Log.txt";
    xer.open(log_path_, std::ios::out | std::ios::trunc);
    xtim.act_time = 100.0f;
    saved_app_path_ = app_path;
    app_path.clear();
    http.proxy_host.clear();
    http.proxy_port.clear();
    http.proxy_port_int = 0;
    gProxyExclude.clear();
  }
  void TearDown() override {
    for (int s = 0; s < http_class::slot_count; ++s) http.abort_slot(s);
    servers_.clear();
    xer.close();
    app_path = saved_app_path_;
    http.proxy_host.clear();
    http.proxy_port_int = 0;
    gProxyExclude.clear();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // A server on port 80 of its own loopback address.
  LoopbackServer& serve(LoopbackServer::handler_fn handler, uint16_t port = 80) {
    servers_.push_back(std::make_unique<LoopbackServer>());
    std::string why;
    bool ok = servers_.back()->start(port, std::move(handler), &why);
    EXPECT_TRUE(ok) << why;
    return *servers_.back();
  }
  LoopbackServer& serve_reply(scripted_reply reply) {
    return serve([reply](const std::string&) { return reply; });
  }

  // Polls one slot until it reports done or failed: at most 20000 polls and 10 seconds; -1 when
  // the bound ran out.
  int run(int slot, const std::string& server, const std::string& path, const std::string& dest,
          int* polls = nullptr, int64_t max_bytes = -1) {
    auto deadline = steady_clock::now() + std::chrono::seconds(10);
    for (int i = 0; i < 20000 && steady_clock::now() < deadline; ++i) {
      int r = http.net_check(slot, server, path, dest, max_bytes);
      if (polls) *polls = i + 1;
      if (r != http_class::net_running) return r;
      std::this_thread::sleep_for(milliseconds(1));
    }
    return -1;
  }

  // Polls while `cond` is false (same bounds); the last net_check result.
  template <class F>
  int run_while_not(F cond, int slot, const std::string& server, const std::string& path,
                    const std::string& dest) {
    int r = http_class::net_running;
    auto deadline = steady_clock::now() + std::chrono::seconds(10);
    for (int i = 0; i < 20000 && steady_clock::now() < deadline; ++i) {
      r = http.net_check(slot, server, path, dest);
      if (r != http_class::net_running || cond()) return r;
      std::this_thread::sleep_for(milliseconds(1));
    }
    return r;
  }

  std::string log_text() {
    xer.flush();
    return read_bytes(log_path_);
  }
  std::string dest(const std::string& leaf) { return dir_ + "/" + leaf; }

  std::string dir_, log_path_, saved_app_path_;
  std::vector<std::unique_ptr<LoopbackServer>> servers_;
};

}  // namespace

// ----- requests ---------------------------------------------------------------------------------

TEST_F(HttpSlots, RequestLineEscapesBlanksAndSendsThreeHeadersInOrder) {
  std::string body = "12345";
  auto& srv = serve_reply(simple_reply("HTTP/1.1 200 OK", "Content-Length: 5\r\n", body));
  EXPECT_EQ(run(2, srv.address(), "/dir one/a b.zip", dest("a.zip")), http_class::net_done);
  auto reqs = srv.requests();
  ASSERT_EQ(reqs.size(), 1u);
  EXPECT_EQ(reqs[0], "GET /dir%20one/a%20b.zip HTTP/1.1\r\n"
                     "Connection: close\r\n"
                     "Host: " + srv.address() + "\r\n"
                     "User-agent: Installer-APL/a-25\r\n\r\n");
}

TEST_F(HttpSlots, ProxyGetsAbsoluteRequestLineAndOriginNeedsNoLookup) {
  std::string body = pattern(3000, 7);
  auto& proxy = serve_reply(simple_reply("HTTP/1.1 200 OK", "Content-Length: 3000\r\n", body));
  http.proxy_host = proxy.address();
  http.proxy_port = "80";
  http.proxy_port_int = 80;
  // The origin name is never looked up: only the proxy's address is.
  EXPECT_EQ(run(3, "origin.test", "/v9/file.zip", dest("p.zip")), http_class::net_done);
  EXPECT_EQ(read_bytes(dest("p.zip")), body);
  auto reqs = proxy.requests();
  ASSERT_EQ(reqs.size(), 1u);
  EXPECT_EQ(reqs[0].substr(0, reqs[0].find("\r\n")), "GET http://origin.test/v9/file.zip HTTP/1.1");
  EXPECT_NE(reqs[0].find("\r\nHost: origin.test\r\n"), std::string::npos);
}

TEST_F(HttpSlots, ProxyRules) {
  EXPECT_FALSE(http.UseProxy("a.test", 80));
  http.proxy_host = "127.0.0.9";
  EXPECT_FALSE(http.UseProxy("a.test", 80));  // port 0: no proxy
  EXPECT_EQ(http.ProxyPort("a.test", 80), 80);
  EXPECT_EQ(http.ProxyHost("a.test", 80), "a.test");
  http.proxy_port_int = 3128;
  EXPECT_TRUE(http.UseProxy("a.test", 80));
  EXPECT_EQ(http.ProxyPort("a.test", 80), 3128);
  EXPECT_EQ(http.ProxyHost("a.test", 80), "127.0.0.9");
  gProxyExclude = {"inside.test", "a-very-long-suffix-that-is-longer.test"};
  EXPECT_FALSE(http.UseProxy("files.inside.test", 80));
  EXPECT_TRUE(http.UseProxy("files.outside.test", 80));
  EXPECT_TRUE(http.UseProxy("short.test", 80));
  http.proxy_host.clear();
  EXPECT_FALSE(http.UseProxy("files.outside.test", 80));
}

TEST_F(HttpSlots, ProxyPortOutsideTheTcpRangeMeansNoProxy) {
  http.proxy_host = "127.0.0.9";
  const struct {
    int port;
    bool used;
  } cases[] = {{-1, false}, {0, false}, {65536, false}, {70000, false}, {-65535, false}, {1, true}, {65535, true}, {3128, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.port);
    http.proxy_port_int = c.port;
    EXPECT_EQ(http.UseProxy("a.test", 80), c.used);
    EXPECT_EQ(http.ProxyPort("a.test", 80), c.used ? c.port : 80);
    EXPECT_EQ(http.ProxyHost("a.test", 80), c.used ? "127.0.0.9" : "a.test");
  }
}

TEST_F(HttpSlots, ProxyHostWithoutPortConnectsDirectly) {
  std::string body = "direct";
  auto& srv = serve_reply(simple_reply("HTTP/1.1 200 OK", "Content-Length: 6\r\n", body));
  http.proxy_host = "127.0.0.9";
  http.proxy_port_int = 0;
  EXPECT_EQ(run(2, srv.address(), "/d.zip", dest("d.zip")), http_class::net_done);
  ASSERT_EQ(srv.requests().size(), 1u);
  EXPECT_EQ(srv.requests()[0].rfind("GET /d.zip HTTP/1.1\r\n", 0), 0u);
}

TEST_F(HttpSlots, PostSendsBodyAndBodyWithoutDestinationStaysInMemory) {
  scripted_reply r = simple_reply("HTTP/1.1 200 OK", "Content-Length: 6\r\n", "answerEXTRA");
  r.hold_open = true;
  auto& srv = serve_reply(r);
  std::map<std::string, std::string> headers{{"Host", srv.address()}, {"A-Header", "a"}};
  down_class d(srv.address().c_str(), 80, "/form", true, headers, "q=v&", 4, nullptr);
  ASSERT_NE(d.sock, nullptr);
  EXPECT_EQ(d.status, -1);
  EXPECT_TRUE(d.dest_path.empty());
  auto deadline = steady_clock::now() + std::chrono::seconds(10);
  for (int i = 0; i < 20000 && steady_clock::now() < deadline && d.received < 6; ++i) {
    d.DoProcessing();
    std::this_thread::sleep_for(milliseconds(1));
  }
  EXPECT_EQ(d.received, 6);
  EXPECT_EQ(std::string(d.in.begin(), d.in.end()), "answer");
  EXPECT_EQ(d.sock->GetStatus(), PCSBSocket::status_closed);  // this side hung up at the length
  ASSERT_EQ(srv.requests().size(), 1u);
  EXPECT_EQ(srv.requests()[0], "POST /form HTTP/1.1\r\nA-Header: a\r\nHost: " + srv.address() +
                                   "\r\nContent-Length: 4\r\n\r\nq=v&");
}

// ----- bodies -----------------------------------------------------------------------------------

TEST_F(HttpSlots, SplitBodyArrivesWholeWithVisibleProgress) {
  std::string body = pattern(300000, 1);
  scripted_reply r;
  r.chunks.push_back({0, "HTTP/1.1 200 OK\r\nContent-Le"});
  r.chunks.push_back({30, "ngth: 300000\r\nServer: test\r"});
  r.chunks.push_back({30, "\n\r\n" + body.substr(0, 1000)});
  r.chunks.push_back({40, body.substr(1000, 150000)});
  r.chunks.push_back({40, body.substr(151000)});
  auto& srv = serve_reply(r);

  bool saw_partial = false;
  int result = run_while_not(
      [&] {
        down_info i = http.slot_info(4);
        if (i.busy && i.content_length == 300000 && i.received > 0 && i.received < 300000) {
          EXPECT_EQ(i.status, 200);
          saw_partial = true;
        }
        return false;
      },
      4, srv.address(), "/big.zip", dest("big.zip"));
  EXPECT_EQ(result, http_class::net_done);
  EXPECT_TRUE(saw_partial);
  EXPECT_EQ(read_bytes(dest("big.zip")), body);
  EXPECT_FALSE(http.slot_info(4).busy);
  EXPECT_EQ(http.last_result(4).received, 300000);
  EXPECT_EQ(http.last_result(4).err, 0);
}

TEST_F(HttpSlots, DoneOnThePollOfTheLastByteWithoutWaitingForClose) {
  scripted_reply r = simple_reply("HTTP/1.1 200 OK", "Content-Length: 5\r\n", "hello");
  r.hold_open = true;  // the server never closes; the announced length ends the download
  auto& srv = serve_reply(r);
  EXPECT_EQ(run(2, srv.address(), "/h.zip", dest("h.zip")), http_class::net_done);
  EXPECT_EQ(read_bytes(dest("h.zip")), "hello");
}

TEST_F(HttpSlots, EmptyBodyCreatesEmptyFile) {
  scripted_reply r = simple_reply("HTTP/1.1 200 OK", "Content-Length: 0\r\n", "");
  r.hold_open = true;
  auto& srv = serve_reply(r);
  std::ofstream(dest("e.zip")) << "old contents";
  EXPECT_EQ(run(2, srv.address(), "/e.zip", dest("e.zip")), http_class::net_done);
  ASSERT_TRUE(fs::exists(dest("e.zip")));
  EXPECT_EQ(fs::file_size(dest("e.zip")), 0u);
  ASSERT_EQ(mkfifo(dest("f.zip").c_str(), 0600), 0);  // that nobody reads: the download fails at once, and it stays
  EXPECT_EQ(run(2, serve_reply(r).address(), "/f.zip", dest("f.zip")), http_class::net_failed);
  EXPECT_TRUE(fs::is_fifo(dest("f.zip")));
}

TEST_F(HttpSlots, ContinueBlockThenFinalHeaderInLaterData) {
  scripted_reply r;
  r.chunks.push_back({0, "HTTP/1.1 100 Continue\r\nX-Interim: yes\r\n\r\n"});
  r.chunks.push_back({60, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody"});
  auto& srv = serve_reply(r);
  bool saw_interim = false;
  int result = run_while_not(
      [&] {
        down_class* d = http.slot[2];
        if (d && d->headers.count("X-Interim")) saw_interim = true;
        return false;
      },
      2, srv.address(), "/c.zip", dest("c.zip"));
  EXPECT_EQ(result, http_class::net_done);
  EXPECT_TRUE(saw_interim);  // the interim block's headers stay
  EXPECT_EQ(http.last_result(2).status, 200);
  EXPECT_EQ(http.last_result(2).reason, "OK");
  EXPECT_EQ(read_bytes(dest("c.zip")), "body");
}

TEST_F(HttpSlots, ContinueBlockAndFinalHeaderInOneSegmentThenClose) {
  // Everything arrives at once and the server closes: nothing more will come, so the final
  // header must be parsed from the same bytes.
  auto& srv = serve_reply(simple_reply("HTTP/1.1 100 Continue", "",
                                       "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc"));
  EXPECT_EQ(run(5, srv.address(), "/c1.zip", dest("c1.zip")), http_class::net_done);
  EXPECT_EQ(read_bytes(dest("c1.zip")), "abc");
}

TEST_F(HttpSlots, NotFoundFailsLogsAndLeavesNoFile) {
  auto& srv = serve_reply(simple_reply("HTTP/1.1 404 Not Found", "Content-Length: 9\r\n", "not here!"));
  EXPECT_EQ(run(2, srv.address(), "/missing.zip", dest("m.zip")), http_class::net_failed);
  EXPECT_FALSE(fs::exists(dest("m.zip")));
  EXPECT_EQ(http.last_result(2).status, 404);
  EXPECT_NE(http.last_result(2).err, 0);
  std::string log = log_text();
  std::string expect = "HTTP Error for " + dest("m.zip") + "\n"
                       "   server     =" + srv.address() + "\n"
                       "   file       =/missing.zip\n"
                       "   IsDone     =1\n"
                       "   IsComplete =1\n"
                       "   IsErr      =0\n"
                       "   GetStat    =3\n"
                       "   GetOSErr   =20009\n"
                       "   response   =Not Found (#404)\n\n";
  EXPECT_NE(log.find(expect), std::string::npos) << log;
}

TEST_F(HttpSlots, BodyShorterThanAnnouncedFailsAfterThirtyQuietSeconds) {
  auto& srv = serve_reply(simple_reply("HTTP/1.1 200 OK", "Content-Length: 10\r\n", "12345"));
  int r = run_while_not([&] { return http.slot_info(2).received == 5; }, 2, srv.address(), "/s.zip",
                        dest("s.zip"));
  ASSERT_EQ(r, http_class::net_running);
  // The server has closed; the download waits for the rest.
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(http.net_check(2, srv.address(), "/s.zip", dest("s.zip")), http_class::net_running);
    std::this_thread::sleep_for(milliseconds(2));
  }
  EXPECT_TRUE(fs::exists(dest("s.zip")));
  xtim.act_time += 29.5f;
  EXPECT_EQ(http.net_check(2, srv.address(), "/s.zip", dest("s.zip")), http_class::net_running);
  xtim.act_time += 1.0f;
  EXPECT_EQ(http.net_check(2, srv.address(), "/s.zip", dest("s.zip")), http_class::net_failed);
  EXPECT_FALSE(fs::exists(dest("s.zip")));  // no partial file left behind
  EXPECT_EQ(http.last_result(2).received, 5);
  EXPECT_EQ(http.last_result(2).content_length, 10);
}

TEST_F(HttpSlots, StallingServerFailsWithoutLogLineAndSlotIsReusable) {
  scripted_reply r;
  r.chunks.push_back({0, ok_header(1000) + std::string(100, 'x')});
  r.hold_open = true;
  auto& stall = serve_reply(r);
  int res = run_while_not([&] { return http.slot_info(3).received == 100; }, 3, stall.address(),
                          "/st.zip", dest("st.zip"));
  ASSERT_EQ(res, http_class::net_running);
  xtim.act_time += 30.5f;
  EXPECT_EQ(http.net_check(3, stall.address(), "/st.zip", dest("st.zip")), http_class::net_failed);
  EXPECT_FALSE(fs::exists(dest("st.zip")));
  EXPECT_EQ(log_text().find("HTTP Error"), std::string::npos);

  auto& good = serve_reply(simple_reply("HTTP/1.1 200 OK", "Content-Length: 2\r\n", "ok"));
  EXPECT_EQ(run(3, good.address(), "/st.zip", dest("st.zip")), http_class::net_done);
  EXPECT_EQ(read_bytes(dest("st.zip")), "ok");
}

TEST_F(HttpSlots, ServerThatNeverAnswersFailsThirtySecondsAfterStart) {
  scripted_reply r;
  r.hold_open = true;
  auto& srv = serve_reply(r);
  int res = run_while_not([&] { return srv.requests().size() == 1; }, 2, srv.address(), "/q.zip",
                          dest("q.zip"));
  ASSERT_EQ(res, http_class::net_running);
  xtim.act_time += 29.0f;
  EXPECT_EQ(http.net_check(2, srv.address(), "/q.zip", dest("q.zip")), http_class::net_running);
  xtim.act_time += 2.0f;
  EXPECT_EQ(http.net_check(2, srv.address(), "/q.zip", dest("q.zip")), http_class::net_failed);
}

// ----- lengths and headers ----------------------------------------------------------------------

TEST_F(HttpSlots, BytesBeyondTheAnnouncedLengthAreNotWritten) {
  auto& srv = serve_reply(simple_reply("HTTP/1.1 200 OK", "Content-Length: 4\r\n", "abcdEXTRA"));
  EXPECT_EQ(run(2, srv.address(), "/w.zip", dest("w.zip")), http_class::net_done);
  EXPECT_EQ(read_bytes(dest("w.zip")), "abcd");
}

TEST_F(HttpSlots, BoundedDownloadsStopAndLeaveNoFile) {
  const struct { const char* what; std::string reply; int64_t bound; int result; ErrCode err; } rows[] = {
      {"within the bound", ok_header(100) + pattern(100, 1), 100, http_class::net_done, 0},
      {"announced past the bound", ok_header(101) + pattern(101, 2), 100, http_class::net_failed, EFBIG},
      {"endless, no length", "HTTP/1.1 200 OK\r\n\r\n" + pattern(300000, 3), 65536, http_class::net_failed, EFBIG},
      {"announced past any free space", ok_header(1ull << 60) + "abc", INT64_MAX, http_class::net_failed, ENOSPC}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    fs::remove(dest("b.zip"));
    auto& srv = serve_reply({{{0, r.reply}}, true});  // held open: the server never ends the body itself
    EXPECT_EQ(run(3, srv.address(), "/b.zip", dest("b.zip"), nullptr, r.bound), r.result);
    EXPECT_EQ(http.last_result(3).err, r.err);
    EXPECT_LE(http.last_result(3).received, r.bound);
    EXPECT_EQ(fs::exists(dest("b.zip")), r.result == http_class::net_done);
  }
}

TEST_F(HttpSlots, MalformedOrOverflowingLengthFailsAtOnce) {
  const char* bad[] = {"12abc", "-5", "", "0x10", "99999999999999999999", "9223372036854775808"};
  int slot = 0;
  for (const char* value : bad) {
    SCOPED_TRACE(value);
    auto& srv = serve_reply(
        simple_reply("HTTP/1.1 200 OK", std::string("Content-Length: ") + value + "\r\n", "12345"));
    EXPECT_EQ(run(slot, srv.address(), "/l.zip", dest("l.zip")), http_class::net_failed);
    EXPECT_EQ(http.last_result(slot).err, ERR_NET_BAD_STATE);
    EXPECT_FALSE(fs::exists(dest("l.zip")));
    slot = (slot + 1) % http_class::slot_count;
  }
  EXPECT_NE(log_text().find("   GetOSErr   =20008\n"), std::string::npos);
}

TEST_F(HttpSlots, LengthBeyondThirtyTwoBitsIsKept) {
  scripted_reply r;
  r.chunks.push_back({0, ok_header(5000000000ull) + "abc"});
  r.hold_open = true;
  auto& srv = serve_reply(r);
  int res = run_while_not([&] { return http.slot_info(2).received == 3; }, 2, srv.address(), "/huge",
                          dest("huge"));
  ASSERT_EQ(res, http_class::net_running);
  EXPECT_EQ(http.slot_info(2).content_length, 5000000000ll);
  http.abort_slot(2);
  EXPECT_FALSE(http.slot_info(2).busy);
  EXPECT_FALSE(fs::exists(dest("huge")));
}

TEST_F(HttpSlots, HeaderNamesIgnoreCaseAndFirstOfTwoLengthsCounts) {
  auto& lower = serve_reply(simple_reply("HTTP/1.1 200 OK", "content-length: 3\r\n", "low"));
  EXPECT_EQ(run(2, lower.address(), "/lc", dest("lc")), http_class::net_done);
  EXPECT_EQ(read_bytes(dest("lc")), "low");

  auto& twice = serve_reply(
      simple_reply("HTTP/1.1 200 OK", "CONTENT-LENGTH:2\r\nContent-Length: 7\r\n", "two"));
  EXPECT_EQ(run(2, twice.address(), "/tw", dest("tw")), http_class::net_done);
  EXPECT_EQ(read_bytes(dest("tw")), "tw");
}

TEST_F(HttpSlots, OversizedHeaderBlockFails) {
  std::string filler;
  for (int i = 0; filler.size() <= down_class::kMaxHeaderBytes; ++i)
    filler += "X-Filler-" + std::to_string(i) + ": " + std::string(200, 'f') + "\r\n";
  scripted_reply r = simple_reply("HTTP/1.1 200 OK", filler + "Content-Length: 2\r\n", "ok");
  auto& srv = serve_reply(r);
  EXPECT_EQ(run(2, srv.address(), "/big-header", dest("bh")), http_class::net_failed);
  EXPECT_EQ(http.last_result(2).err, ERR_NET_BAD_STATE);
  EXPECT_FALSE(fs::exists(dest("bh")));
}

TEST_F(HttpSlots, StatusLineNeedsThirteenBytes) {
  auto& empty_reason = serve_reply(simple_reply("HTTP/1.1 200 ", "Content-Length: 2\r\n", "er"));
  EXPECT_EQ(run(2, empty_reason.address(), "/er", dest("er")), http_class::net_done);
  EXPECT_EQ(http.last_result(2).reason, "");

  scripted_reply r = simple_reply("HTTP/1.1 200", "Content-Length: 2\r\n", "nr");
  r.hold_open = true;
  auto& short_line = serve_reply(r);
  int res = run_while_not([&] { return short_line.requests().size() == 1; }, 2, short_line.address(),
                          "/nr", dest("nr"));
  for (int i = 0; i < 30 && res == http_class::net_running; ++i) {
    res = http.net_check(2, short_line.address(), "/nr", dest("nr"));
    std::this_thread::sleep_for(milliseconds(2));
  }
  EXPECT_EQ(res, http_class::net_running);
  xtim.act_time += 31.0f;
  EXPECT_EQ(http.net_check(2, short_line.address(), "/nr", dest("nr")), http_class::net_failed);
}

// ----- failures before the body -----------------------------------------------------------------

TEST_F(HttpSlots, UnknownHostFailsOnFirstPoll) {
  EXPECT_EQ(http.net_check(1, "no such host!", "/x.zip", dest("x.zip")), http_class::net_failed);
  EXPECT_EQ(http.last_result(1).err, ERR_NET_NO_SERVER);
  std::string log = log_text();
  EXPECT_NE(log.find("Translated server no such host! to IP addy: 0.0.0.0 and port = 80\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find("   IsDone     =0\n   IsComplete =0\n   IsErr      =1\n   GetStat    =0\n"
                     "   GetOSErr   =20011\n   response   = (#0)\n\n"),
            std::string::npos)
      << log;
}

TEST_F(HttpSlots, RefusedConnectionFails) {
  std::string addr = unused_loopback_address(80);
  EXPECT_EQ(run(2, addr, "/r.zip", dest("r.zip")), http_class::net_failed);
  EXPECT_NE(log_text().find("HTTP Error for " + dest("r.zip")), std::string::npos);
}

TEST_F(HttpSlots, UnwritableDestinationFailsWithErrno) {
  auto& srv = serve_reply(simple_reply("HTTP/1.1 200 OK", "Content-Length: 2\r\n", "no"));
  std::string where = dir_ + "/no/such/folder/f.zip";
  EXPECT_EQ(run(2, srv.address(), "/f.zip", where), http_class::net_failed);
  EXPECT_EQ(http.last_result(2).err, ENOENT);
}

TEST_F(HttpSlots, DataLostAtCloseFailsTheDownload) {
  // Small bodies sit in the stdio buffer until the close, where the file size limit says no.
  const auto child = [&] {
    const rlimit two{2, 2};
    auto& srv = serve_reply(simple_reply("HTTP/1.1 200 OK", "Content-Length: 4\r\n", "full"));
    const bool limited = signal(SIGXFSZ, SIG_IGN) != SIG_ERR && setrlimit(RLIMIT_FSIZE, &two) == 0;
    std::_Exit(limited && run(2, srv.address(), "/full.zip", dest("l.zip")) == http_class::net_failed && http.last_result(2).err == EFBIG && !fs::exists(dest("l.zip")) ? 0 : 1);
  };
  EXPECT_EXIT(child(), testing::ExitedWithCode(0), "");
}

TEST_F(HttpSlots, DownloadRunningAtExitLeavesNoFile) {
  // The child is forked, so it writes into this test's folder; no server thread runs yet.
  std::string target = dest("exit.zip");
  EXPECT_EXIT(
      {
        scripted_reply r;
        r.chunks.push_back({0, ok_header(100) + "half"});
        r.hold_open = true;
        auto& srv = serve_reply(r);
        run_while_not([&] { return http.slot_info(5).received == 4; }, 5, srv.address(), "/exit.zip", target);
        if (http.slot_info(5).received != 4 || !fs::exists(target)) std::_Exit(3);
        std::exit(0);
      },
      testing::ExitedWithCode(0), "");
  EXPECT_FALSE(fs::exists(target));
}

TEST_F(HttpSlots, DestinationIsJoinedToAppPath) {
  auto& srv = serve_reply(simple_reply("HTTP/1.1 200 OK", "Content-Length: 4\r\n", "root"));
  app_path = dir_ + "/";
  EXPECT_EQ(run(2, srv.address(), "/j.zip", "joined.zip"), http_class::net_done);
  EXPECT_EQ(read_bytes(dir_ + "/joined.zip"), "root");
}

// ----- six at once ------------------------------------------------------------------------------

TEST_F(HttpSlots, SixSlotsRunSideBySide) {
  constexpr int kSlots = http_class::slot_count;
  std::string bodies[kSlots];
  LoopbackServer* srv[kSlots];
  for (int s = 0; s < kSlots; ++s) {
    bodies[s] = pattern(200000 + 1000 * s, 10 + s);
    scripted_reply r;
    r.chunks.push_back({0, ok_header(bodies[s].size())});
    for (size_t at = 0; at < bodies[s].size(); at += 50000)
      r.chunks.push_back({15, bodies[s].substr(at, 50000)});
    srv[s] = &serve_reply(r);
  }
  int result[kSlots];
  std::fill(result, result + kSlots, http_class::net_running);
  int most_busy = 0, most_partial = 0;
  auto deadline = steady_clock::now() + std::chrono::seconds(15);
  for (int round = 0; round < 20000 && steady_clock::now() < deadline; ++round) {
    int running = 0;
    for (int s = 0; s < kSlots; ++s) {
      if (result[s] != http_class::net_running) continue;
      result[s] = http.net_check(s, srv[s]->address(), "/f" + std::to_string(s), dest("f" + std::to_string(s)));
      if (result[s] == http_class::net_running) ++running;
    }
    int busy = 0, partial = 0;
    for (int s = 0; s < kSlots; ++s) {
      down_info i = http.slot_info(s);
      busy += i.busy;
      partial += i.busy && i.received > 0 && i.received < i.content_length;
    }
    most_busy = std::max(most_busy, busy);
    most_partial = std::max(most_partial, partial);
    if (running == 0) break;
    std::this_thread::sleep_for(milliseconds(1));
  }
  EXPECT_EQ(most_busy, kSlots);
  EXPECT_GE(most_partial, 2);  // bodies were flowing into several files at once
  for (int s = 0; s < kSlots; ++s) {
    SCOPED_TRACE(s);
    EXPECT_EQ(result[s], http_class::net_done);
    EXPECT_EQ(read_bytes(dest("f" + std::to_string(s))), bodies[s]);
  }
}

// ----- argument errors --------------------------------------------------------------------------

TEST(HttpSlotsDeathTest, SlotOutsideRangeIsFatal) {
  EXPECT_EXIT(http.net_check(6, "127.0.0.1", "/a", "/tmp/x"), testing::ExitedWithCode(1),
              "Too many download objects requested!.*DUdurid/OOPS_cpp/http line 232");
  EXPECT_EXIT(http.net_check(-1, "127.0.0.1", "/a", "/tmp/x"), testing::ExitedWithCode(1),
              "Too many download objects requested!");
  EXPECT_EXIT(http.slot_info(6), testing::ExitedWithCode(1), "Too many download objects requested!");
}

TEST(HttpSlotsDeathTest, ServerWithSlashOrPathWithoutSlashIsFatal) {
  EXPECT_EXIT(http.net_check(0, "127.0.0.1/", "/a", "/tmp/x"), testing::ExitedWithCode(1),
              "You have a dirchar at the end of the server name!\nYou should not!\n"
              "Our convention is that a server name is simply a server name... with no slash!\n"
              "127.0.0.1/\n.*DUdurid/OOPS_cpp/http line 247");
  EXPECT_EXIT(http.net_check(0, "127.0.0.1", "a", "/tmp/x"), testing::ExitedWithCode(1),
              "do not have a dirchar at the beginning of the directory name!\nYou should!\n"
              "Our convention is that a directory name does start with a slash.*\na\n"
              ".*DUdurid/OOPS_cpp/http line 248");
}
