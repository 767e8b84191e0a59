// Fuzz target: arbitrary bytes as the text after the version file's header. The name found
// never holds a line end, comes only from a "VERSION" line, and a name the installer accepts
// never leaves the disc's folder.
#include <cstddef>
#include <cstdint>
#include <string>

#include "installer/screen_logic.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* begin = reinterpret_cast<const char*>(data);
  const std::string name = version_from_lines(begin, begin + size);
  if (name.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) __builtin_trap();
  if (!name.empty() && std::string(begin, size).find("VERSION") == std::string::npos) __builtin_trap();
  if (version_name_ok(name) && (name.find('/') != std::string::npos || name == "." || name == ".."))
    __builtin_trap();
  return 0;
}
