// What the log header reports about the machine: system release, processor model and speed,
// memory. Fields that cannot be read stay empty or 0.
// Stands for: Gestalt (system version, processor type and speed, bus speed, physical RAM).
// Implemented on Linux: uname, /proc/cpuinfo and /proc/meminfo.
// Missing: the bus speed and the Mac processor type codes (the log prints "?" for them).
#pragma once
#include <string>

struct PLAT_hw_report {
  std::string system;   // e.g. "Linux 6.1.0-18-amd64"
  std::string cpu_model;
  int cpu_mhz = 0;      // 0 when unknown
  int ram_mb = 0;       // 0 when unknown
};

PLAT_hw_report PLAT_hardware_report();
// The same from given texts of /proc/cpuinfo and /proc/meminfo (tests).
PLAT_hw_report PLAT_hardware_report_from(const std::string& sysname, const std::string& release,
                                         const std::string& cpuinfo, const std::string& meminfo);
