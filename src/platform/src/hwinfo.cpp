// The machine facts of the log header from uname, /proc/cpuinfo and /proc/meminfo.
#include "platform/hwinfo.h"

#include <sys/utsname.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string read_all(const char* path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The value after "key" and its colon on the first line that starts with key.
std::string field(const std::string& text, const std::string& key) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    size_t colon = line.find(':', key.size());
    if (colon == std::string::npos) continue;
    size_t b = line.find_first_not_of(" \t", colon + 1);
    if (b == std::string::npos) return "";
    size_t e = line.find_last_not_of(" \t\r");
    return line.substr(b, e - b + 1);
  }
  return "";
}

}  // namespace

PLAT_hw_report PLAT_hardware_report_from(const std::string& sysname, const std::string& release,
                                         const std::string& cpuinfo, const std::string& meminfo) {
  PLAT_hw_report r;
  r.system = sysname;
  if (!release.empty()) r.system += (r.system.empty() ? "" : " ") + release;
  r.cpu_model = field(cpuinfo, "model name");
  if (r.cpu_model.empty()) r.cpu_model = field(cpuinfo, "Hardware");
  std::string mhz = field(cpuinfo, "cpu MHz");
  if (!mhz.empty()) r.cpu_mhz = static_cast<int>(std::strtod(mhz.c_str(), nullptr) + 0.5);
  std::string mem = field(meminfo, "MemTotal");
  if (!mem.empty()) r.ram_mb = static_cast<int>(std::strtoll(mem.c_str(), nullptr, 10) / 1024);
  return r;
}

PLAT_hw_report PLAT_hardware_report() {
  utsname u{};
  std::string sys, rel;
  if (uname(&u) == 0) {
    sys = u.sysname;
    rel = u.release;
  }
  return PLAT_hardware_report_from(sys, rel, read_all("/proc/cpuinfo"), read_all("/proc/meminfo"));
}
