// Fuzz target: arbitrary bytes as the server list's keyword lines. Whatever the list says, a
// download is only offered from a bare host name and a path that starts with "/", and no text
// read from it holds a line end.
#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/about_logic.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* begin = reinterpret_cast<const char*>(data);
  about_list list;
  about_parse_lines(begin, begin + size, &list);
  const std::string line_ends("\r\n\0", 3);
  for (const std::string* s : {&list.final_name, &list.beta_name, &list.final_lin.server, &list.final_lin.path,
                               &list.beta_lin.server, &list.beta_lin.path})
    if (s->find_first_of(line_ends) != std::string::npos) __builtin_trap();
  for (int build : {-1, 0, 90025, 2147483647}) {
    about_decision d = about_decide(list, build);
    if (d.ins_state == about_ins_fetch && !d.installer.usable()) __builtin_trap();
    if (d.ins_state != about_ins_fetch && d.ins_state != about_ins_idle) __builtin_trap();
  }
  return 0;
}
