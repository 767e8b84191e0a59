// Command-line options: splitting at the first "=", repeats, echo to the log, and the two
// informational options that print and end the process.
#include <gtest/gtest.h>

#include <vector>

#include "child_run.h"
#include "foundation/cmdline.h"
#include "log_capture.h"

namespace {

void parse(UTL_cmdline& c, std::vector<const char*> args) {
  args.insert(args.begin(), "volarium-installer");
  c.init_unix(static_cast<int>(args.size()), args.data());
}

TEST(Cmdline, SplitsAtFirstEquals) {
  LogCapture log;
  UTL_cmdline c;
  parse(c, {"--disc=/media/a=b", "-path", "/home/u/V9", "--fps_test", "--pref:_log_actions=1"});
  EXPECT_EQ(c.get_option("--disc"), "/media/a=b");
  EXPECT_EQ(c.has_option("-path"), 1);
  EXPECT_EQ(c.get_option("-path"), "");
  EXPECT_EQ(c.has_option("/home/u/V9"), 1);  // every argument is an option
  EXPECT_EQ(c.has_option("--fps_test"), 1);
  EXPECT_EQ(c.get_option("--pref:_log_actions"), "1");
  EXPECT_EQ(c.has_option("fps_test"), 0);  // dashes are part of the name
  EXPECT_EQ(c.options.size(), 5u);
  std::string text = log.text();
  EXPECT_NE(text.find("     '--disc'='/media/a=b'\n"), std::string::npos);
  EXPECT_NE(text.find("     '--fps_test'\n"), std::string::npos);
}

TEST(Cmdline, RepeatedOptionKeepsLastAndWarnsOnce) {
  LogCapture log;
  UTL_cmdline c;
  parse(c, {"--x=1", "--x=2"});
  EXPECT_EQ(c.get_option("--x"), "2");
  std::string text = log.text();
  EXPECT_EQ(LogCapture::count(text, "WARNING: command line option"), 1u);
  EXPECT_NE(text.find("WARNING: command line option --x=2included twice.\n"), std::string::npos);
  EXPECT_EQ(text.find("--x=1included"), std::string::npos);
}

TEST(Cmdline, EmptyValueEchoesWithoutValuePart) {
  LogCapture log;
  UTL_cmdline c;
  parse(c, {"--empty="});
  EXPECT_EQ(c.has_option("--empty"), 1);
  EXPECT_EQ(c.get_option("--empty"), "");
  EXPECT_EQ(log.text(), "     '--empty'\n");
}

TEST(Cmdline, NoArgumentsLeavesMapEmpty) {
  LogCapture log;
  UTL_cmdline c;
  parse(c, {});
  EXPECT_TRUE(c.options.empty());
  EXPECT_EQ(log.text(), "");
}

TEST(Cmdline, GetOptionOfAbsentNameAddsNothing) {
  UTL_cmdline c;
  EXPECT_EQ(c.get_option("--nothing"), "");
  EXPECT_EQ(c.has_option("--nothing"), 0);
  EXPECT_TRUE(c.options.empty());
}

TEST(Cmdline, OneLineFormSplitsAtBlanks) {
  LogCapture log;
  UTL_cmdline c;
  c.init_win("  --a=1\t -b  --c=x=y =lost --d=");
  EXPECT_EQ(c.get_option("--a"), "1");
  EXPECT_EQ(c.has_option("-b"), 1);
  EXPECT_EQ(c.get_option("--c"), "x=y");
  EXPECT_EQ(c.has_option("--d"), 1);
  EXPECT_EQ(c.options.size(), 4u);  // the empty name is skipped
}

TEST(Cmdline, HelpPrintsUsageAndExitsZero) {
  for (const char* flag : {"-h", "--help"}) {
    child_result r = run_in_child([&] {
      UTL_cmdline c;
      parse(c, {"--fps_test", flag});
    });
    EXPECT_EQ(r.exit_code, 0) << flag;
    // puts adds one line feed after the text's own.
    EXPECT_EQ(r.out, std::string(UTL_usage_text()) + "\n") << flag;
  }
}

TEST(Cmdline, UsageTextKeepsItsOwnWording) {
  std::string u = UTL_usage_text();
  EXPECT_EQ(u.rfind("Usage: Volarium [options...]\n\nVolarium can take", 0), 0u);
  EXPECT_NE(u.find("Here is a listof current flags:\n\n--help\n-h\n"), std::string::npos);
  EXPECT_NE(u.find("as defined by \nGL_ARB_vertex_buffer_object."), std::string::npos);
  EXPECT_NE(u.find("Disable the use of framebuffer obects, even"), std::string::npos);
  EXPECT_NE(u.find("on hardware theat supports it.\n--no_threaded_ogl\n"), std::string::npos);
  EXPECT_NE(u.find("\n\nFRAMERATE TEST\n--fps_test=n\n"), std::string::npos);
  EXPECT_EQ(u.substr(u.size() - 50), "tect whether Volarium performance is as expected.\n");
}

TEST(Cmdline, CmndsAllListsEveryCommandAndBeatsHelp) {
  child_result r = run_in_child([] {
    UTL_cmdline c;
    parse(c, {"-h", "--cmnds=all"});
  });
  EXPECT_EQ(r.exit_code, 0);
  char want[128];
  std::snprintf(want, sizeof(want), "%-50s %s\n", "sim/operation/none", "Do nothing at all!");
  EXPECT_EQ(r.out, want);
}

TEST(Cmdline, CmndsListsOneLevelOfTheTree) {
  const std::pair<const char*, const char*> cases[] = {
      {"--cmnds", "sim/\n"}, {"--cmnds=sim/", "operation/\n"}, {"--cmnds=sim/operation/", "none\n"},
      {"--cmnds=sim/operation/none", ""}};
  for (const auto& [arg_text, want] : cases) {
    const char* arg = arg_text;  // clang 14 cannot capture a structured binding
    child_result r = run_in_child([&] {
      UTL_cmdline c;
      parse(c, {arg});
    });
    EXPECT_EQ(r.exit_code, 0) << arg;
    EXPECT_EQ(r.out, want) << arg;
  }
}

}  // namespace
