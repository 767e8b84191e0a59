// Unit conversion constants, default paths and build names shared by every unit.
#pragma once
#include <string>

constexpr float littogal = 0.264172f;
constexpr float kgstolbs = 2.204622f;
constexpr float mtrstoft = 3.28084f;
constexpr float watttohp = 0.001341022f;
constexpr float radtodeg = 57.29578f;
constexpr float degtorad = 0.01745329f;
constexpr float fpstokts = 0.5924838f;
constexpr float ktstomsc = 0.5144445f;
constexpr float msctokts = 1.943844f;
constexpr float rpmtorsc = 0.1047198f;
constexpr float rsctorpm = 9.549295f;
constexpr float fpmtomsc = 0.00508f;
constexpr float msctofpm = 196.8504f;
constexpr float nmtomtrs = 1852.0f;
constexpr float mtrstonm = 0.0005399568f;
constexpr float smtomtrs = 1609.344f;
constexpr float mtrstosm = 0.0006213712f;
constexpr float sftosmtr = 0.09290304f;
constexpr float smtrtosf = 10.76391f;
constexpr float lbstontn = 4.444427f;
constexpr float ntntolbs = 0.2250009f;
constexpr float ftlbtonm = 1.354661f;
constexpr float nmtoftlb = 0.738192f;
constexpr float endtomed = 514.9391f;
constexpr float medtoend = 0.001941977f;
constexpr float enptomep = 47.83941f;
constexpr float meptoenp = 0.02090327f;
constexpr float enItomtI = 0.04214012f;
constexpr float mtltoenl = 23.73035f;
constexpr float pasto_hg = 0.0002952874f;
constexpr float hg_topas = 3386.531f;
constexpr float milto_hg = 0.02952874f;
constexpr float hg_tomil = 33.86531f;
constexpr float sm_to_nm = 0.8689762f;
constexpr float lbhtokgs = 0.0001259979f;
constexpr float kgstolbh = 7936.639f;
constexpr float pastopsi = 0.0001450326f;
constexpr float msctomph = 2.236936f;
constexpr float mphtomsc = 0.44704f;
constexpr float kgstopph = 7936.639f;
constexpr float scn_vis_ele = 30480.0f;
constexpr float loc_deg_per_dot = 1.2f;
constexpr float gls_deg_per_dot = 0.28f;

inline const std::string afl_path = "Airfoils/";
inline const std::string wpn_path = "Weapons/";
inline const std::string apt_path_def = "LOWI";
inline const std::string acf_path = "Aircraft/";
inline const std::string acf_path_def = "Aircraft/General Aviation/Kestrel Jet/k4.acf";
constexpr float prd_min = 1.0f / 1010.0f;
// no_install_name ("Not Yet Scanned") lives in foundation/globals.h.
inline const std::string data_path = "Resources/default data/";

// 0 the build's own name (log header); 1..5 the Earth scenery regions; 6..8 Mars and Moon.
inline const std::string build_name[9] = {"Volarium 9.00 Beta-25", "South", "North", "Africa", "Europe",
                                          "Asia", "West Mars", "East Mars", "Moon"};
// The build's own number, as the log header writes it and the update check compares it.
inline constexpr int build_number = 90025;
