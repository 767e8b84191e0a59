// Shared constants and program-wide holders: paired conversions must undo each other, and
// the default texts and start values are what the rest of the program expects.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "foundation/globals.h"
#include "foundation/hl_types.h"
#include "foundation/nav_globals.h"
#include "log_capture.h"

namespace {

TEST(UnitConstants, PairsAreReciprocal) {
  const std::pair<float, float> pairs[] = {
      {radtodeg, degtorad}, {ktstomsc, msctokts}, {rpmtorsc, rsctorpm}, {fpmtomsc, msctofpm},
      {nmtomtrs, mtrstonm}, {smtomtrs, mtrstosm}, {sftosmtr, smtrtosf}, {lbstontn, ntntolbs},
      {ftlbtonm, nmtoftlb}, {endtomed, medtoend}, {enptomep, meptoenp}, {enItomtI, mtltoenl},
      {pasto_hg, hg_topas}, {milto_hg, hg_tomil}, {lbhtokgs, kgstolbh}, {msctomph, mphtomsc},
  };
  for (const auto& [a, b] : pairs) EXPECT_NEAR(a * b, 1.0f, 2e-5f) << a << " * " << b;
  EXPECT_NEAR(mtrstoft * 0.3048f, 1.0f, 1e-5f);
  EXPECT_NEAR(sm_to_nm * nmtomtrs, smtomtrs, 0.01f);
  EXPECT_NEAR(fpstokts * ktstomsc, 0.3048f, 1e-5f);
  EXPECT_EQ(kgstopph, kgstolbh);
  EXPECT_NEAR(prd_min, 0.000990099f, 1e-9f);
}

TEST(DefaultTexts, PathsAndBuildNames) {
  EXPECT_EQ(acf_path_def, acf_path + "General Aviation/Kestrel Jet/k4.acf");
  EXPECT_EQ(afl_path, "Airfoils/");
  EXPECT_EQ(data_path, "Resources/default data/");
  EXPECT_EQ(no_install_name, "Not Yet Scanned");
  EXPECT_EQ(build_name[0], "Volarium 9.00 Beta-25");
  EXPECT_EQ(build_name[5], "Asia");
  EXPECT_EQ(build_name[8], "Moon");
}

TEST(ProgramGlobals, StartEmpty) {
  for (int i = 0; i < stg_struct::kWords; ++i) ASSERT_EQ(stg[i], 0) << "stg word " << i;
  for (int v : plg) EXPECT_EQ(v, 0);
  EXPECT_EQ(magv, 0.0f);
  EXPECT_TRUE(vec_loa.empty() && vec_nav.empty() && ndb_lcl_to_wrl.empty());
  EXPECT_TRUE(nav_freq_hash.empty());
  EXPECT_GE(nav_freq_hash.bucket_count(), 100u);
  EXPECT_FALSE(cyc.is_open() || dat.is_open());
}

TEST(ProgramGlobals, ScratchTextIsPerThread) {
  stl_global = "main thread line";
  std::string seen_there;
  std::thread other([&] {
    seen_there = stl_global;
    stl_global = "worker line";
  });
  other.join();
  EXPECT_EQ(seen_there, "");
  EXPECT_EQ(stl_global, "main thread line");
  stl_global.clear();
}

TEST(ProgramGlobals, LogLinesFromSeveralThreadsStayWhole) {
  LogCapture log;
  constexpr int kThreads = 4, kLines = 300;
  std::vector<std::thread> writers;
  for (int w = 0; w < kThreads; ++w)
    writers.emplace_back([w] {
      for (int i = 0; i < kLines; ++i)
        xer_line("writer " + std::to_string(w) + " line " + std::to_string(i) + std::string(40, 'x') + "\n");
    });
  for (auto& t : writers) t.join();
  std::istringstream in(log.text());
  std::string line;
  std::set<std::string> seen;
  while (std::getline(in, line)) {
    EXPECT_EQ(line.rfind("writer ", 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - 40), std::string(40, 'x')) << line;
    seen.insert(line);
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLines));
}

}  // namespace
