// Program-wide holders that belong to the simulator's navigation data and side streams; the
// installer never fills or reads them, but they keep their place among the globals.
#pragma once
#include <fstream>
#include <unordered_map>
#include <vector>

extern std::ofstream cyc;  // never opened
extern std::ofstream dat;  // never opened
extern int plg[26];
extern float magv;
extern std::vector<int> vec_loa, vec_hia, vec_fix, vec_nav;
extern std::vector<int> loa_lcl_to_wrl, hia_lcl_to_wrl, fix_lcl_to_wrl, vor_lcl_to_wrl, ndb_lcl_to_wrl;
extern std::unordered_map<long, long> nav_freq_hash;
