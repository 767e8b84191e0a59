// The alert hook: a sink sees every line; a fatal alert ends the process with status 1.
#include <gtest/gtest.h>

#include "alert_sink.h"

TEST(Alert, SinkRecordsLinesAndPlace) {
  AlertSink sink;
  ZARIRU_alert(0, "one", "two", "three", "four", t_alert);
  auto got = sink.alerts();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].l1, "one");
  EXPECT_EQ(got[0].l4, "four");
  EXPECT_EQ(got[0].type, t_alert);
  EXPECT_NE(got[0].file.find("test_alert.cpp"), std::string::npos);
}

TEST(AlertDeathTest, FatalEndsWithStatusOne) {
  EXPECT_EXIT(ZARIRU_alert(0, "fatal line", "", "", "", t_exit), testing::ExitedWithCode(1),
              "fatal line");
}
