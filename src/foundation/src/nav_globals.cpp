// Navigation-data holders and unused side streams, constructed before main like every global.
#include "foundation/nav_globals.h"

std::ofstream cyc;
std::ofstream dat;
int plg[26] = {};
float magv = 0.0f;
std::vector<int> vec_loa, vec_hia, vec_fix, vec_nav;
std::vector<int> loa_lcl_to_wrl, hia_lcl_to_wrl, fix_lcl_to_wrl, vor_lcl_to_wrl, ndb_lcl_to_wrl;
std::unordered_map<long, long> nav_freq_hash(100);
