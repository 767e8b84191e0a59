// The editing engine against a plain string model: random sequences of keys, clicks, drags,
// selections and replacements, on random wrap widths and line heights (0 and negative ones
// included), checked after every step.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "ogle_ops.h"

namespace {

TEST(OgleModel, RandomSequencesKeepTextSelectionAndLayout) {
  std::mt19937 rng(20261207);
  for (int run = 0; run < 3000; ++run) {
    std::vector<uint8_t> bytes(static_cast<size_t>(8 + rng() % 400));
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
    const std::string failure = run_ogle_ops(bytes.data(), bytes.size());
    ASSERT_EQ(failure, "") << "run " << run;
  }
}

// Mostly typing, so that texts grow long enough to wrap over many lines.
TEST(OgleModel, LongTypedTextsWrapLikeAFreshLayout) {
  std::mt19937 rng(7);
  for (int run = 0; run < 200; ++run) {
    std::vector<uint8_t> bytes = {static_cast<uint8_t>(20 + rng() % 40), 12, 50, 30};
    for (int i = 0; i < 300; ++i) {
      const int kind = static_cast<int>(rng() % 10);
      bytes.push_back(static_cast<uint8_t>(kind < 7 ? 0 : (kind == 7 ? 2 : (kind == 8 ? 3 : 4))));
      bytes.push_back(static_cast<uint8_t>(rng()));
      bytes.push_back(static_cast<uint8_t>(rng()));
    }
    const std::string failure = run_ogle_ops(bytes.data(), bytes.size());
    ASSERT_EQ(failure, "") << "run " << run;
  }
}

// The layout check would catch a table left stale by a change behind the engine's back.
TEST(OgleModel, LayoutCheckReportsAStaleTable) {
  const uint8_t bytes[] = {40, 12, 50, 30, 0, 1, 0, 2, 0, 3};
  EXPECT_EQ(run_ogle_ops(bytes, sizeof bytes), "");
  ogle_client c;
  c.text = "ab cd";
  OGLE_Repaginate(c.rec);
  c.text = "ab cd ef gh ij kl mn op qr st uv wx yz ab cd ef gh ij kl mn op qr st uv wx yz ab cd ef gh";
  c.wrap = 40;
  EXPECT_NE(ogle_fresh_layout_mismatch(c), "");  // stale table against the changed text
}

}  // namespace
