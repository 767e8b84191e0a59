// The command registry: the built-in do-nothing command, run-time additions, press counts
// and the level-by-level listing of the name tree.
#include "foundation/cmnd.h"

#include <algorithm>

const cmnd_default_struct default_commands[] = {
    {"cmnd_nothing", "sim/operation/none", "Do nothing at all!", 3, 0, 0},
};
const int default_command_count = sizeof(default_commands) / sizeof(default_commands[0]);

cmnd_class cmnd;

namespace {
int fp = 0;  // plane focus
}

cmnd_class::cmnd_class() {
  const cmnd_default_struct& row = default_commands[0];
  ident.push_back(row.ident);
  name.push_back(row.name);
  description.push_back(row.description);
  kind.push_back(row.kind);
  press_count.push_back(0);
}

// An index outside the registry names no command: nothing to press.
void cmnd_class::press_one(int i) {
  if (valid(i)) ++press_count[i];
}
void cmnd_class::release_one(int i) {
  if (valid(i)) --press_count[i];
}
void cmnd_class::single_press(int i) {
  if (!valid(i)) return;
  ++press_count[i];
  --press_count[i];
}
void cmnd_class::press_always(int) {}

int cmnd_class::get_cmnd_by_name(const std::string& n) const {
  for (int i = 0; i < count(); ++i)
    if (name[i] == n) return i;
  return 0;
}

void cmnd_class::get_cmds_in_path(const std::string& path, std::vector<std::string>& out) const {
  out.clear();
  const size_t len = path.size();
  for (const std::string& n : name) {
    if (n.size() <= len || n.compare(0, len, path) != 0) continue;
    size_t slash = n.find('/', len);
    out.push_back(slash == std::string::npos ? n.substr(len) : n.substr(len, slash - len + 1));
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
}

int cmnd_class::add_cmd(const std::string& n, const std::string& desc) {
  int index = count();
  ident.push_back("DYNAMIC");
  name.push_back(n);
  description.push_back(desc);
  kind.push_back(2);
  press_count.push_back(0);
  return index;
}

int get_plane_focus() { return fp; }
void set_plane_focus(int plane) { fp = plane; }
