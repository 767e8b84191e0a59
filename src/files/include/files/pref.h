// Preference files: tag-value lines behind a text header of version 9002. scan_class reads one
// into a map or writes one through ouf; pref_class::IO_set moves a file's tags to and from the
// program's state. "--pref:<tag>=<value>" on the command line overrides a tag for the run.
#pragma once
#include <cstdint>
#include <map>
#include <string>

enum : int {
  PREF_display = 10,    // "Resources/preferences/Res Volsuite.prf"
  PREF_installer = 11,  // "Volarium Installer.prf" in the preferences folder
  PREF_cal = 12         // "Resources/preferences/Cal Volarium.prf"
};

class scan_class {
 public:
  // mode 1 writes (the file is replaced only once it is complete), mode 0 reads.
  scan_class(const std::string& path, int mode);
  ~scan_class();
  scan_class(const scan_class&) = delete;
  scan_class& operator=(const scan_class&) = delete;

  // mode 1: writes the tag line, returns 0. mode 0: 1 and *value set when the option or the file
  // gives the tag, else 0 with *value untouched.
  int int_io(int* value, const std::string& tag);
  // Same for a string; written only when not empty, and never when it holds a line end.
  int str_io(std::string* value, const std::string& tag);

  int32_t mode;
  std::map<std::string, std::string> values;

 private:
  std::string path_;   // as given
  bool writing_ = false;
};

class pref_class {
 public:
  // Moves the tags of file id: mode 0 reads, mode 1 writes.
  void IO_set(int id, int mode);
  int IO_sta(int, int, std::string) { return 0; }
};

extern pref_class pref;

// Path of preference file id; empty for an unknown id.
std::string pref_path(int id);

// The proxy settings live in the network layer; it points the installer file's three proxy tags
// at its fields. Until then they are kept here.
void pref_bind_proxy(std::string* host, std::string* port, int* port_int);
