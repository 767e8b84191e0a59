// Shared by every benchmark: contenders run in turn, round after round, so that a change in the
// machine's load falls on all of them alike; figures are printed one way, ours over the peer's
// time, with the minimum and the median of the rounds.
#pragma once
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double seconds_since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// The seconds of each round of one contender.
struct Times {
  std::vector<double> s;
  double min() const { return s.empty() ? 0.0 : *std::min_element(s.begin(), s.end()); }
  double median() const {
    if (s.empty()) return 0.0;
    std::vector<double> v = s;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : 0.5 * (v[v.size() / 2 - 1] + v[v.size() / 2]);
  }
};

inline double time_of(const std::function<void()>& work) {
  const Clock::time_point t0 = Clock::now();
  work();
  return seconds_since(t0);
}

// Runs every contender once per round, in order, for `rounds` rounds.
inline std::vector<Times> interleaved(int rounds, const std::vector<std::function<void()>>& contenders) {
  std::vector<Times> out(contenders.size());
  for (int r = 0; r < rounds; ++r)
    for (size_t c = 0; c < contenders.size(); ++c) out[c].s.push_back(time_of(contenders[c]));
  return out;
}

// One line: what was measured, both contenders' minimum and median, and ours/peer of each.
inline void print_ratio(const std::string& what, const Times& ours, const std::string& peer_name,
                        const Times& peer, const char* unit = "s", double scale = 1.0) {
  std::printf("%s: ours min %.3f %s, median %.3f %s | %s min %.3f %s, median %.3f %s | "
              "ours/peer %.2f (min), %.2f (median), <1 = ours faster\n",
              what.c_str(), ours.min() * scale, unit, ours.median() * scale, unit, peer_name.c_str(),
              peer.min() * scale, unit, peer.median() * scale, unit,
              peer.min() > 0 ? ours.min() / peer.min() : 0.0,
              peer.median() > 0 ? ours.median() / peer.median() : 0.0);
  std::fflush(stdout);
}

}  // namespace bench
