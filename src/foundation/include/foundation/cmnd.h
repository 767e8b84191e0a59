// The command registry: named actions that key bindings press and release. Names are
// slash-separated paths that form a tree ("sim/operation/none"). Main thread only.
#pragma once
#include <string>
#include <vector>

struct cmnd_default_struct {
  const char* ident;
  const char* name;
  const char* description;
  int kind;       // 3 built in, 2 added at run time
  int def_key;    // virtual key, 0 none
  int def_flags;  // modifier bits
};
extern const cmnd_default_struct default_commands[];
extern const int default_command_count;

class cmnd_class {
 public:
  cmnd_class();  // command 0 from the built-in table

  void press_one(int i);
  void release_one(int i);
  void single_press(int i);  // a press that is already over
  void press_always(int i);  // held bindings call this every frame; nothing to do

  // Index of the first command with exactly this name; 0 (the do-nothing command) when none.
  int get_cmnd_by_name(const std::string& name) const;
  // Children of one level of the name tree below the prefix path, sorted, without duplicates;
  // sub-folders keep their trailing "/".
  void get_cmds_in_path(const std::string& path, std::vector<std::string>& out) const;
  // Appends a run-time command and returns its index.
  int add_cmd(const std::string& name, const std::string& description);

  int count() const { return static_cast<int>(name.size()); }

  std::vector<std::string> ident;
  std::vector<std::string> name;
  std::vector<std::string> description;
  std::vector<int> kind;
  std::vector<int> press_count;

 private:
  bool valid(int i) const { return i >= 0 && i < count(); }
};

extern cmnd_class cmnd;

int get_plane_focus();
void set_plane_focus(int plane);
