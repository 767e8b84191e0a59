// Crash and memory diagnostics: units, hex dump, mapped-range test, stack traces and the
// memory report.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "foundation/diag.h"
#include "foundation/globals.h"

namespace {

// Everything written to a temporary file, which it closes.
std::string read_back(FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  std::fclose(f);
  return out;
}

std::string capture(void (*fn)(FILE*, void*), void* arg) {
  FILE* f = std::tmpfile();
  fn(f, arg);
  return read_back(f);
}

std::string read_file(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

size_t count_of(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Not exported: only the image's own symbol table names it.
__attribute__((noinline)) int hidden_helper(int x) { return x * 3 + 1; }

__attribute__((noinline)) std::string trace_from_named_caller() {
  FILE* f = std::tmpfile();
  UTL_dump_stack(f, nullptr, nullptr);
  return read_back(f);
}

}  // namespace

TEST(DiagUnits, EdgesOfEachUnit) {
  struct {
    unsigned long long bytes;
    unsigned number;
    char unit;
  } cases[] = {
      {0, 0, 'B'},
      {1433, 1433, 'B'},
      {1434, 1, 'K'},
      {1468006, 1433, 'K'},
      {1468007, 1, 'M'},
      {2147483648ull, 2048, 'M'},
      {15032385536ull, 14336, 'M'},
      {15032385537ull, 14, 'G'},
      {5497558138880ull, 5120, 'G'},  // 5 TiB: no 32-bit wrap
  };
  for (auto c : cases) {
    EXPECT_EQ(mem_to_number(c.bytes), c.number) << c.bytes;
    EXPECT_EQ(mem_to_suffix(c.bytes), c.unit) << c.bytes;
  }
}

TEST(DiagUnits, SharingModeNames) {
  EXPECT_STREQ(sm_string(1), "Copy-on-write");
  EXPECT_STREQ(sm_string(2), "Private");
  EXPECT_STREQ(sm_string(3), "Empty");
  EXPECT_STREQ(sm_string(4), "Shared");
  EXPECT_STREQ(sm_string(5), "True-Shared");
  EXPECT_STREQ(sm_string(6), "Private-Aliased");
  EXPECT_STREQ(sm_string(7), "Shared-Aliased");
  EXPECT_STREQ(sm_string(0), "Unknown");
  EXPECT_STREQ(sm_string(8), "Unknown");
}

TEST(DiagHex, FiveBytesMakeOnePaddedLine) {
  char data[] = "Hello";
  std::string out = capture([](FILE* f, void* d) { dump_hex(f, d, 5); }, data);
  EXPECT_EQ(out, std::string(" 48656C6C 6F      ") + "         " + "         " + "    " + " " + "Hell" + " o   " +
                     "     " + "     " + "\n");
}

TEST(DiagHex, LongerDumpsWrapEverySixteenBytes) {
  unsigned char data[18];
  for (int i = 0; i < 18; ++i) data[i] = static_cast<unsigned char>(i < 16 ? 'a' + i : i);
  std::string out = capture([](FILE* f, void* d) { dump_hex(f, d, 18); }, data);
  ASSERT_EQ(count_of(out, "\n"), 2u);
  std::string first = out.substr(0, out.find('\n'));
  EXPECT_EQ(first, " 61626364 65666768 696A6B6C 6D6E6F70     abcd efgh ijkl mnop");
  std::string second = out.substr(out.find('\n') + 1);
  EXPECT_EQ(second.substr(0, 9), " 1011    ");
  EXPECT_NE(second.find(".."), std::string::npos) << "control bytes print as dots";
  EXPECT_EQ(capture([](FILE* f, void* d) { dump_hex(f, d, 0); }, data), "");
}

TEST(DiagMemory, MappedRangesAndHoles) {
  int on_stack = 5;
  EXPECT_EQ(UTL_valid_memory(nullptr, 0, 1, 1), 1) << "an empty range is valid";
  EXPECT_EQ(UTL_valid_memory(&on_stack, sizeof on_stack, 1, 1), 1);
  EXPECT_EQ(UTL_valid_memory(nullptr, 8, 1, 0), 0);
  void* code = reinterpret_cast<void*>(&UTL_debug_init);
  EXPECT_EQ(UTL_valid_memory(code, 16, 1, 0), 1);
  EXPECT_EQ(UTL_valid_memory(code, 16, 1, 1), 0) << "code is not writable";

  long page = sysconf(_SC_PAGESIZE);
  auto* base = static_cast<char*>(mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(base, MAP_FAILED);
  EXPECT_EQ(UTL_valid_memory(base, 3 * page, 1, 1), 1);
  ASSERT_EQ(mprotect(base + 2 * page, page, PROT_READ), 0);
  EXPECT_EQ(UTL_valid_memory(base, 3 * page, 1, 0), 1);
  EXPECT_EQ(UTL_valid_memory(base, 3 * page, 1, 1), 0);
  ASSERT_EQ(munmap(base + page, page), 0);
  EXPECT_EQ(UTL_valid_memory(base, 1, 1, 1), 1);
  EXPECT_EQ(UTL_valid_memory(base + 2 * page, 1, 1, 0), 1);
  EXPECT_EQ(UTL_valid_memory(base, 3 * page, 1, 0), 0) << "both ends are mapped, the middle is not";
  munmap(base, page);
  munmap(base + 2 * page, page);
}

TEST(DiagTrace, FirstLineNamesTheCaller) {
  std::string out = trace_from_named_caller();
  ASSERT_FALSE(out.empty());
  std::string first = out.substr(0, out.find('\n'));
  EXPECT_EQ(first.substr(0, 5), "  0) ");
  EXPECT_NE(first.find("trace_from_named_caller"), std::string::npos) << out;
  EXPECT_NE(out.find("  1) "), std::string::npos);
  EXPECT_LE(count_of(out, "\n"), 100u);
}

TEST(DiagTrace, PcComesFirstAndFramesFollowTheChain) {
  stack_frame chain[3];
  chain[0] = {&chain[1], reinterpret_cast<char*>(&UTL_debug_init) + 1};
  chain[1] = {&chain[2], reinterpret_cast<char*>(&dump_hex) + 2};
  chain[2] = {nullptr, reinterpret_cast<char*>(&sm_string)};
  struct args {
    stack_frame* start;
    void* pc;
  } a{chain, reinterpret_cast<char*>(&mem_to_number) + 3};
  std::string out = capture([](FILE* f, void* p) {
    auto* x = static_cast<args*>(p);
    UTL_dump_stack(f, x->start, x->pc);
  }, &a);
  std::istringstream lines(out);
  std::string l0, l1, l2, l3;
  std::getline(lines, l0);
  std::getline(lines, l1);
  std::getline(lines, l2);
  EXPECT_FALSE(std::getline(lines, l3)) << "the outermost frame is not written:\n" << out;
  EXPECT_EQ(l0.substr(0, 5), "  0) ");
  EXPECT_NE(l0.find("mem_to_number"), std::string::npos) << l0;
  EXPECT_NE(l0.find(" + 3 ("), std::string::npos) << l0;
  EXPECT_EQ(l1.substr(0, 5), "  1) ");
  EXPECT_NE(l1.find("UTL_debug_init"), std::string::npos) << l1;
  EXPECT_NE(l1.find(" + 1 ("), std::string::npos) << l1;
  EXPECT_EQ(l2.substr(0, 5), "  2) ");
  EXPECT_NE(l2.find("dump_hex"), std::string::npos) << l2;
}

TEST(DiagTrace, ChainThatDoesNotClimbStops) {
  stack_frame chain[2];
  chain[1] = {&chain[0], reinterpret_cast<void*>(&UTL_debug_init)};  // points downwards
  chain[0] = {&chain[1], reinterpret_cast<void*>(&UTL_debug_init)};
  std::string out = capture([](FILE* f, void* p) { UTL_dump_stack(f, static_cast<stack_frame*>(p), nullptr); }, &chain[1]);
  EXPECT_EQ(out, "");
}

TEST(DiagSymbols, UnknownAddressAndHiddenFunctions) {
  std::string out = capture([](FILE* f, void*) { print_symbol(f, reinterpret_cast<void*>(0x10)); }, nullptr);
  EXPECT_EQ(out, "0x00000010 (?\?\?)\n");

  symbol_info si;
  void* inside = reinterpret_cast<char*>(&hidden_helper) + 4;
  UTL_get_debug_symbol(inside, &si);
  EXPECT_NE(std::string(si.symbol_name).find("hidden_helper"), std::string::npos) << si.symbol_name;
  EXPECT_EQ(si.symbol_addr, reinterpret_cast<uintptr_t>(&hidden_helper));
  EXPECT_NE(si.image_base, 0u);
  EXPECT_NE(std::string(si.image_path), "");
  EXPECT_EQ(si.line, -1);
  EXPECT_EQ(hidden_helper(2), 7);

  UTL_get_debug_symbol(reinterpret_cast<void*>(0x10), &si);
  EXPECT_STREQ(si.symbol_name, "");
  EXPECT_EQ(si.image_base, 0u);
}

TEST(DiagReportDeathTest, FirstReportTruncatesAndLaterOnesAppend) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The death test runs this body again in a fresh process: both must use the same folder.
  const char* given = std::getenv("VOL_TEST_MEMLOG_DIR");
  std::filesystem::path dir =
      given ? std::filesystem::path(given)
            : std::filesystem::temp_directory_path() / ("memlog_" + std::to_string(::getpid()));
  setenv("VOL_TEST_MEMLOG_DIR", dir.c_str(), 1);
  std::filesystem::create_directories(dir);
  {
    std::ofstream stale(dir / "MemoryLog.txt");
    stale << "left over from an earlier run\n";
  }
  std::string root = dir.string() + "/";
  EXPECT_EXIT(
      {
        UTL_set_report_place(root, "");
        dump_mem_stats("first reason");
        UTL_remote_cmd::invoke(nullptr, dump_mem_now.id);
        std::_Exit(0);
      },
      testing::ExitedWithCode(0), "");
  std::string text = read_file(dir / "MemoryLog.txt");
  EXPECT_EQ(text.find("left over"), std::string::npos);
  EXPECT_EQ(text.find("dump_mem_stats: first reason\nOS X Info:\n"), 0u) << text.substr(0, 200);
  EXPECT_NE(text.find("dump_mem_stats: Remote Commanded Dump\n"), std::string::npos);
  EXPECT_EQ(count_of(text, "NED-MALLOC INFO:\n"), 2u);
  EXPECT_EQ(count_of(text, "    I will now print the entire map of virtual memory.\n"), 2u);
  EXPECT_NE(text.find("    Page size:            4K "), std::string::npos) << text.substr(0, 400);
  EXPECT_NE(text.find("Private"), std::string::npos);
  EXPECT_NE(text.find("    Total Used Space:  "), std::string::npos);
  EXPECT_NE(text.find("               --------\n"), std::string::npos) << "holes between regions are listed";
  std::filesystem::remove_all(dir);
  unsetenv("VOL_TEST_MEMLOG_DIR");
}

TEST(DiagReport, UnwritableFolderSendsTheReportToStandardOutput) {
  UTL_set_report_place("/nonexistent-folder-for-memory-log/", "-7");
  EXPECT_EQ(UTL_report_path("MemoryLog.txt"), "/nonexistent-folder-for-memory-log/MemoryLog-7.txt");
  testing::internal::CaptureStdout();
  dump_mem_stats("no file");
  std::string out = testing::internal::GetCapturedStdout();
  UTL_set_report_place("", "");
  EXPECT_NE(out.find("dump_mem_stats: no file\n"), std::string::npos);
  EXPECT_NE(out.find("NED-MALLOC INFO:"), std::string::npos);
}

TEST(DiagInitDeathTest, BrokenPipeFailsInsteadOfEndingTheProcess) {
  EXPECT_EXIT(
      {
        UTL_debug_init();
        int fds[2];
        if (pipe(fds) != 0) std::_Exit(3);
        close(fds[0]);
        ssize_t n = write(fds[1], "x", 1);
        std::_Exit(n == -1 && errno == EPIPE ? 0 : 2);
      },
      testing::ExitedWithCode(0), "");
}
