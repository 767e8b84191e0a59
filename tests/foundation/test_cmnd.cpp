// The command registry: lookups, press counts, run-time additions and the name tree.
#include <gtest/gtest.h>

#include "foundation/cmnd.h"

namespace {

using list = std::vector<std::string>;

list children(const cmnd_class& c, const std::string& path) {
  list out = {"stale"};
  c.get_cmds_in_path(path, out);
  return out;
}

TEST(Cmnd, BuiltInCommandIsTheOnlyOne) {
  cmnd_class c;
  ASSERT_EQ(c.count(), 1);
  EXPECT_EQ(c.ident[0], "cmnd_nothing");
  EXPECT_EQ(c.name[0], "sim/operation/none");
  EXPECT_EQ(c.description[0], "Do nothing at all!");
  EXPECT_EQ(c.kind[0], 3);
  EXPECT_EQ(c.press_count[0], 0);
  EXPECT_EQ(cmnd.count(), 1);  // the program's registry starts the same way
}

TEST(Cmnd, TreeOfTheBuiltInCommand) {
  cmnd_class c;
  EXPECT_EQ(children(c, ""), list({"sim/"}));
  EXPECT_EQ(children(c, "sim/"), list({"operation/"}));
  EXPECT_EQ(children(c, "sim/operation/"), list({"none"}));
  EXPECT_EQ(children(c, "sim/operation/none"), list());
  EXPECT_EQ(children(c, "si"), list({"m/"}));  // a plain prefix
  EXPECT_EQ(children(c, "other/"), list());
}

TEST(Cmnd, TreeIsSortedWithoutDuplicates) {
  cmnd_class c;
  c.add_cmd("sim/view/forward", "");
  c.add_cmd("sim/view/back", "");
  c.add_cmd("sim/autopilot/on", "");
  c.add_cmd("sim/view/forward", "again");
  c.add_cmd("aaa", "");
  EXPECT_EQ(children(c, ""), list({"aaa", "sim/"}));
  EXPECT_EQ(children(c, "sim/"), list({"autopilot/", "operation/", "view/"}));
  EXPECT_EQ(children(c, "sim/view/"), list({"back", "forward"}));
}

TEST(Cmnd, LookupFallsBackToNothing) {
  cmnd_class c;
  EXPECT_EQ(c.get_cmnd_by_name("sim/operation/none"), 0);
  EXPECT_EQ(c.get_cmnd_by_name("sim/not/there"), 0);
  EXPECT_EQ(c.get_cmnd_by_name("SIM/operation/none"), 0);
  int a = c.add_cmd("sim/x", "x");
  int b = c.add_cmd("sim/x", "second");
  EXPECT_EQ(c.get_cmnd_by_name("sim/x"), a);  // the first of equal names
  EXPECT_NE(a, b);
  EXPECT_EQ(c.get_cmnd_by_name("sim/"), 0);  // whole names only
}

TEST(Cmnd, AddAndPress) {
  cmnd_class c;
  EXPECT_EQ(c.add_cmd("sim/new", "A new one"), 1);
  EXPECT_EQ(c.ident[1], "DYNAMIC");
  EXPECT_EQ(c.kind[1], 2);
  EXPECT_EQ(c.press_count[1], 0);
  c.press_one(1);
  EXPECT_EQ(c.press_count[1], 1);
  c.single_press(1);
  EXPECT_EQ(c.press_count[1], 1);
  c.press_always(1);
  EXPECT_EQ(c.press_count[1], 1);
  c.release_one(1);
  EXPECT_EQ(c.press_count[1], 0);
  EXPECT_EQ(c.press_count[0], 0);
  // Indices outside the registry press nothing.
  c.press_one(7);
  c.release_one(-1);
  EXPECT_EQ(c.count(), 2);
  EXPECT_EQ(c.press_count[0] + c.press_count[1], 0);
}

TEST(Cmnd, PlaneFocus) {
  EXPECT_EQ(get_plane_focus(), 0);
  set_plane_focus(2);
  EXPECT_EQ(get_plane_focus(), 2);
  set_plane_focus(0);
}

}  // namespace
