// The globals unit: program-wide objects, constructed in this order before main.
#include "foundation/globals.h"

#include <mutex>

thread_local std::string stl_global;
std::string app_path;
std::string dvd_path;
std::string dvd_read_path;
std::ofstream ouf;
std::ofstream xer;

const std::string no_install_name = "Not Yet Scanned";

std::string install_name;
std::string dest_dir_path;
std::string temp_path;
int app_done = 0;

stg_struct stg;

void xer_line(const std::string& text) {
  static std::mutex lock;
  std::lock_guard<std::mutex> hold(lock);
  xer << text;
  if (text.empty() || text.back() != '\n') xer << '\n';
  xer.flush();
}
