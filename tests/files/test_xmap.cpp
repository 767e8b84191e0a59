// The data-file header writer and the mapped-file reader with its header check and scanning.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <thread>

#include "alert_sink.h"
#include "files/xmap.h"
#include "files_test_util.h"

namespace {

class Xmap : public ScratchDir {
 protected:
  // Maps bytes written to a fresh file.
  void map(xmap_class& m, const std::string& bytes, const char* name = "f.txt") {
    write(path(name), bytes);
    ASSERT_NE(m.retry(path(name)), nullptr);
  }
};

const int k900[] = {900, 0};
const int k900_840[] = {900, 840, 0};

TEST_F(Xmap, TextHeaderWithKeywordAndEveryLineEnd) {
  const std::string ends[] = {"\n", "\r", "\r\n", std::string("\0", 1)};
  for (const std::string& e : ends) {
    SCOPED_TRACE(::testing::PrintToString(e));
    xmap_class m;
    map(m, "I" + e + "900 version" + e + e + "INSTALLER" + e + "body 1" + e);
    std::string rest;
    EXPECT_EQ(m.check_file(TFH_TEXT, k900, "INSTALLER", &rest), 900);
    EXPECT_EQ(rest, "version");
    EXPECT_EQ(std::string(m.cursor, 4), "body");
  }
}

TEST_F(Xmap, KeywordMismatchLeavesCursorOnTheToken) {
  xmap_class m;
  map(m, "I\r\n900 version\r\n\r\nINSTALLER\r\nx");
  EXPECT_EQ(m.check_file(TFH_TEXT, k900, "SERVERS", nullptr), 0);
  EXPECT_EQ(*m.cursor, 'I');
  EXPECT_EQ(std::string(m.cursor, 9), "INSTALLER");
  EXPECT_EQ(m.check_file(TFH_TEXT, k900, "INSTALL", nullptr), 0);
  EXPECT_EQ(std::string(m.cursor, 9), "INSTALLER");
  EXPECT_EQ(m.check_file(TFH_TEXT, k900, "INSTALLER", nullptr), 900);
  EXPECT_EQ(*m.cursor, 'x');
}

TEST_F(Xmap, KindLetterAndVersionList) {
  xmap_class m;
  map(m, "A\n900 version\nrest");
  EXPECT_EQ(m.check_file(TFH_TEXT, k900, nullptr, nullptr), 900);
  EXPECT_EQ(*m.cursor, 'r');
  map(m, "B\n900 version\n");
  EXPECT_EQ(m.check_file(TFH_TEXT, k900, nullptr, nullptr), 0);
  map(m, "I\n840 version\n");
  EXPECT_EQ(m.check_file(TFH_TEXT, k900, nullptr, nullptr), 0);
  EXPECT_EQ(m.check_file(TFH_TEXT, k900_840, nullptr, nullptr), 840);
}

TEST_F(Xmap, VersionFieldIsReadWithoutDigitCheck) {
  xmap_class m;
  map(m, "I\n-+7 version\n");
  const int k7[] = {7, 0};
  EXPECT_EQ(m.check_file(TFH_TEXT, k7, nullptr, nullptr), 7);
  map(m, "I\n12a version\n");
  const int k169[] = {169, 0};
  EXPECT_EQ(m.check_file(TFH_TEXT, k169, nullptr, nullptr), 169);
  map(m, "I\n-12 version\n");
  const int kneg[] = {-12, 0};
  EXPECT_EQ(m.check_file(TFH_TEXT, kneg, nullptr, nullptr), -12);
}

TEST_F(Xmap, HeaderAtTheVeryEndDoesNotReadPastIt) {
  xmap_class m;
  map(m, "I\n900");  // no line end, no body
  std::string rest = "x";
  EXPECT_EQ(m.check_file(TFH_TEXT, k900, nullptr, &rest), 900);
  EXPECT_EQ(rest, "");
  EXPECT_EQ(m.cursor, m.end);
  EXPECT_EQ(m.check_file(TFH_TEXT, k900, "", nullptr), 900);
  EXPECT_EQ(m.check_file(TFH_TEXT, k900, "KEY", nullptr), 0);
  map(m, "I\n900 version\nKEY");
  EXPECT_EQ(m.check_file(TFH_TEXT, k900, "KEY", nullptr), 900);
  EXPECT_EQ(m.cursor, m.end);
  map(m, "I");
  EXPECT_EQ(m.check_file(TFH_TEXT, k900, nullptr, nullptr), 0);
}

TEST_F(Xmap, BinaryHeaderAndByteSwappedReads) {
  xmap_class m;
  map(m, std::string("a\x00\x00\x03\x84\x01\x02\x03\x04\x05\x06", 11), "f.bin");
  const int k[] = {900, 0};
  EXPECT_EQ(m.check_file(TFH_BINARY, k, nullptr, nullptr), 900);
  EXPECT_EQ(m.swap, 1);
  EXPECT_EQ(m.cursor - m.begin, 5);
  unsigned char out[6];
  m.read_n_rev(out, 6);
  const unsigned char want[6] = {4, 3, 2, 1, 5, 6};
  EXPECT_EQ(std::memcmp(out, want, 6), 0);
  EXPECT_EQ(m.cursor, m.end);

  map(m, std::string("i\x84\x03\x00\x00\x01\x02\x03\x04", 9), "g.bin");
  EXPECT_EQ(m.check_file(TFH_BINARY, k, nullptr, nullptr), 900);
  EXPECT_EQ(m.swap, 0);
  m.read_n_rev(out, 4);
  const unsigned char plain[4] = {1, 2, 3, 4};
  EXPECT_EQ(std::memcmp(out, plain, 4), 0);

  map(m, std::string("x\x84\x03\x00\x00", 5), "h.bin");
  EXPECT_EQ(m.check_file(TFH_BINARY, k, nullptr, nullptr), 0);
}

TEST_F(Xmap, ShortBinaryHeaderStaysInsideTheFile) {
  xmap_class m;
  map(m, std::string("i\x84\x03", 3), "s.bin");
  const int k[] = {900, 0};
  EXPECT_EQ(m.check_file(TFH_BINARY, k, nullptr, nullptr), 900);
  EXPECT_EQ(m.cursor, m.end);
  map(m, "i", "t.bin");
  const int k0[] = {5, 0};
  EXPECT_EQ(m.check_file(TFH_BINARY, k0, nullptr, nullptr), 0);
  EXPECT_EQ(m.cursor, m.end);
}

TEST_F(Xmap, EmptyMissingFifoAndFolder) {
  xmap_class m;
  write(path("empty"), "");
  const char* b = m.retry(path("empty"));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(m.begin, m.end);
  EXPECT_GE(m.fd, 0);
  EXPECT_EQ(m.check_file(TFH_TEXT, k900, nullptr, nullptr), 0);
  m.TXT_skip_eoln();
  EXPECT_EQ(m.TXT_int_scan(), 0);

  EXPECT_EQ(m.retry(path("missing")), nullptr);
  EXPECT_EQ(m.begin, nullptr);
  EXPECT_EQ(m.fd, -1);
  EXPECT_EQ(m.check_file(TFH_TEXT, k900, nullptr, nullptr), 0);

  ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
  EXPECT_EQ(m.retry(path("fifo")), nullptr);  // returns at once, no writer needed
  EXPECT_EQ(m.fd, -1);
  EXPECT_EQ(m.retry(root_), nullptr);

  xmap_class none("");
  EXPECT_EQ(none.begin, nullptr);
}

TEST_F(Xmap, RetryReplacesTheMappingAndCaseIsRepaired) {
  mkdirs(path("Sub"));
  write(path("Sub/One.txt"), "one");
  write(path("two.txt"), "second");
  xmap_class m(path("sub/one.TXT"));
  ASSERT_NE(m.begin, nullptr);
  EXPECT_EQ(std::string(m.begin, m.end), "one");
  m.retry(path("two.txt"));
  EXPECT_EQ(std::string(m.begin, m.end), "second");
  EXPECT_EQ(m.cursor, m.begin);
}

TEST_F(Xmap, ColonIsAnOrdinaryCharacter) {
  write(path("a:b.txt"), "ok");
  xmap_class m(path("a:b.txt"));
  ASSERT_NE(m.begin, nullptr);
  EXPECT_EQ(std::string(m.begin, m.end), "ok");
}

TEST_F(Xmap, ScanningSteps) {
  xmap_class m;
  map(m, " \tword1\tword2  rest of  line \r\n\n  \r\nnext -42 +17 -+5 99");
  std::string s;
  m.TXT_str_scan_space(&s);
  EXPECT_EQ(s, "word1");
  EXPECT_EQ(*m.cursor, '\t');
  m.TXT_str_scan_space(nullptr);
  m.TXT_str_scan_eoln(&s);
  EXPECT_EQ(s, "rest of  line ");
  EXPECT_EQ(*m.cursor, 'n');
  m.TXT_str_scan_space(&s);
  EXPECT_EQ(s, "next");
  EXPECT_EQ(m.TXT_int_scan(), -42);
  EXPECT_EQ(m.TXT_int_scan(), 17);
  EXPECT_EQ(m.TXT_int_scan(), 5);
  EXPECT_EQ(m.TXT_int_scan(), 99);
  EXPECT_EQ(m.cursor, m.end);
  m.TXT_str_scan_space(&s);
  EXPECT_EQ(s, "");
  m.TXT_str_scan_eoln(&s);
  EXPECT_EQ(s, "");
  m.TXT_skip_eoln();
  EXPECT_EQ(m.cursor, m.end);
}

TEST_F(Xmap, IntScanWrapsInsteadOfOverflowing) {
  xmap_class m;
  map(m, "99999999999999999999 2147483647");
  (void)m.TXT_int_scan();  // any value, but defined behaviour under UBSan
  EXPECT_EQ(m.TXT_int_scan(), 2147483647);
}

TEST_F(Xmap, XerLineNamesLineAndText) {
  xer.close();
  const std::string log = path("log.txt");
  xer.open(log);
  xmap_class m;
  map(m, "first\r\nsecond line\r\nthird");
  m.TXT_skip_eoln();
  m.TXT_skip_space();
  m.cursor += 3;
  m.TXT_xer_line();
  xer.close();
  EXPECT_EQ(read(log), "2 \"second line\"\n");
}

TEST_F(Xmap, OufOpenWritesTextHeaderAndLowersTheExtension) {
  mkdirs(path("Resources"));
  ASSERT_EQ(ouf_open(path("Resources/X.TXT"), TFH_TEXT, 9002, "no-copyright-string"), 1);
  ouf << "tag " << 1.5f << "\n";
  ouf.close();
  EXPECT_EQ(read(path("Resources/X.txt")), "I\n9002 version\ntag 1.500000\n");
  ASSERT_EQ(ouf_open(path("n.txt"), TFH_TEXT, 7, " (c) notice"), 1);
  ouf.close();
  EXPECT_EQ(read(path("n.txt")), "I\n7 version (c) notice\n");
}

TEST_F(Xmap, OufOpenBinaryHeaderReadsBack) {
  ASSERT_EQ(ouf_open(path("d.dat"), TFH_BINARY, 900, "no-copyright-string"), 1);
  int32_t word = 0x01020304;
  ouf.write(reinterpret_cast<const char*>(&word), 4);
  ouf.close();
  EXPECT_EQ(read(path("d.dat")), std::string("i\x84\x03\x00\x00\x04\x03\x02\x01", 9));
  xmap_class m(path("d.dat"));
  EXPECT_EQ(m.check_file(TFH_BINARY, k900, nullptr, nullptr), 900);
  int32_t back = 0;
  m.read_n_rev(&back, 4);
  EXPECT_EQ(back, 0x01020304);
}

TEST_F(Xmap, OufOpenCreatesAMissingFolder) {
  AlertSink sink;
  ASSERT_EQ(ouf_open(path("newdir/f.txt"), TFH_TEXT, 1, "no-copyright-string"), 1);
  ouf.close();
  EXPECT_EQ(read(path("newdir/f.txt")), "I\n1 version\n");
  EXPECT_EQ(sink.count(), 0u);
}

TEST_F(Xmap, OufOpenFailureRaisesTheSaveAlert) {
  AlertSink sink;
  EXPECT_EQ(ouf_open(path("no/such/deep/f.txt"), TFH_TEXT, 1, "no-copyright-string"), 0);
  ASSERT_EQ(sink.count(), 1u);
  auto a = sink.alerts()[0];
  EXPECT_EQ(a.type, t_alert);
  EXPECT_EQ(a.l2, path("no/such/deep/f.txt"));
  EXPECT_NE(a.l1.find("I could not save the file!"), std::string::npos);
}

TEST_F(Xmap, IoFileOpenPair) {
  xmap_class w;
  int versions[] = {42, 0};
  ASSERT_EQ(w.io_file_open(1, path("io.txt"), versions, TFH_TEXT), 1);
  EXPECT_EQ(w.io_mode, 1);
  ouf << "body\n";
  w.io_file_close();
  xmap_class r;
  EXPECT_EQ(r.io_file_open(0, path("io.txt"), versions, TFH_TEXT), 1);
  EXPECT_EQ(r.io_mode, 0);
  EXPECT_EQ(r.io_file_open(0, path("none.txt"), versions, TFH_TEXT), 0);
  EXPECT_EQ(r.io_file_open(3, path("io.txt"), versions, TFH_TEXT), 0);
}

using XmapDeathTest = Xmap;

TEST_F(XmapDeathTest, FatalChecks) {
  write(path("f.bin"), "i\x01\x00\x00\x00xy");
  EXPECT_EXIT(
      {
        xmap_class m(path("f.bin"));
        m.cursor = m.begin + 5;
        char out[8];
        m.read_n_rev(out, 3);
      },
      ::testing::ExitedWithCode(1), "Invalid read_n_rev read!");
  EXPECT_EXIT(xmap_class(path("a\\b")), ::testing::ExitedWithCode(1),
              "I got a bad dirchar! I only want '/'!");
  EXPECT_EXIT(
      {
        xmap_class m;
        m.check_file(3, k900, nullptr, nullptr);
      },
      ::testing::ExitedWithCode(1), "Bad check_file type!");
  EXPECT_EXIT(ouf_open(path("x"), 5, 1, ""), ::testing::ExitedWithCode(1), "Bad ouf_open type!");
  EXPECT_EXIT(xmap_class(path(std::string(5000, 'z'))), ::testing::ExitedWithCode(1),
              "String too long!");
  EXPECT_EXIT(
      {
        app_path = root_;
        xmap_class m(root_ + "x");
      },
      ::testing::ExitedWithCode(1), "not Volsuite relative");
}

}  // namespace
