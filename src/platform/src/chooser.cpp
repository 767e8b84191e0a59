// The desktop's chooser: "zenity", else "kdialog", each started from an argument vector so a
// folder or prompt text reaches it exactly as given.
#include "platform/chooser.h"

#include <cerrno>
#include <vector>

#include "platform/spawn.h"

namespace {

std::string strip_newline(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

std::string with_slash(std::string s) {
  if (!s.empty() && s.back() != '/') s += '/';
  return s;
}

// Runs one chooser: 1 chosen, 0 cancelled, -1 not startable.
int run(const std::vector<std::string>& argv, std::string& out) {
  int code = 0;
  std::string text;
  int err = PLAT_run(argv, &code, &text);
  if (err != 0) return -1;
  // 127: the program could not be found or started after the spawn.
  if (code == 127) return -1;
  if (code != 0) return 0;
  text = strip_newline(text);
  if (text.empty()) return 0;
  out = text;
  return 1;
}

}  // namespace

int PLAT_choose_path(int mode, const std::string& prompt, const std::string& start,
                     const std::string& name, std::string& out) {
  if (mode < 0 || mode > 2) return 0;
  std::string chosen;
  std::vector<std::string> z = {"zenity", "--file-selection"};
  if (mode == PLAT_choose_folder) z.push_back("--directory");
  if (mode == PLAT_choose_save) z.push_back("--save");
  if (!prompt.empty()) z.push_back("--title=" + prompt);
  std::string init = start.empty() ? std::string() : with_slash(start);
  if (mode == PLAT_choose_save) init += name;
  if (!init.empty()) z.push_back("--filename=" + init);
  int r = run(z, chosen);
  if (r < 0) {
    std::vector<std::string> k = {"kdialog"};
    k.push_back(mode == PLAT_choose_folder ? "--getexistingdirectory"
                : mode == PLAT_choose_save ? "--getsavefilename"
                                           : "--getopenfilename");
    k.push_back(init.empty() ? std::string(".") : init);
    if (!prompt.empty()) {
      k.push_back("--title");
      k.push_back(prompt);
    }
    r = run(k, chosen);
  }
  if (r != 1) return r;
  if (mode == PLAT_choose_folder)
    while (chosen.size() > 1 && chosen.back() == '/') chosen.pop_back();
  out = chosen;
  return 1;
}
