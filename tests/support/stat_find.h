// Finds a named statistic wherever it is registered (waiting or published), for tests that read
// a unit's counters by the name the unit gives them.
#pragma once
#include <cstring>

#include "foundation/stats.h"

namespace test_support {

inline UTL_stat* find_stat(const char* name) {
  for (UTL_stat* s = UTL_stat::waiting_list(); s; s = s->next)
    if (s->name && std::strcmp(s->name, name) == 0) return s;
  for (const auto& kind : UTL_stat::registered())
    for (UTL_stat* s : kind.second)
      if (s->name && std::strcmp(s->name, name) == 0) return s;
  return nullptr;
}

}  // namespace test_support
