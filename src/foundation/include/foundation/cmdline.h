// Command-line options: every argument is an option, split at its first "=" into name and
// value. Start-up fills the global `cmdline`; everyone else only asks for options.
#pragma once
#include <map>
#include <string>

class UTL_cmdline {
 public:
  // Fills the map from argv[1..argc-1], then handles the informational options.
  void init_unix(int argc, const char** argv);
  void init_unix(int argc, char** argv) { init_unix(argc, const_cast<const char**>(argv)); }
  // Same from one command-line text (blank-separated, nothing quoted).
  void init_win(const char* line);
  // "--cmnds" lists the command registry, "-h"/"--help" print the usage text; both exit(0).
  void init_common();

  // 1 when the option was given (with or without a value), else 0.
  int has_option(const char* name) const;
  // The option's value; empty when absent or given without "=".
  std::string get_option(const char* name) const;

  // Option as typed (dashes included) -> value.
  std::map<std::string, std::string> options;

 private:
  void add(const std::string& name, const std::string& value);
};

extern UTL_cmdline cmdline;

// The text that "-h" and "--help" print.
const char* UTL_usage_text();
