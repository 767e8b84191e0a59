// Fuzz target: arbitrary bytes as the preferences screen's two texts. As a port text, the port
// is the previous one or the digits' own value in 1..65535. As a pop-up list's items text (the
// '|' and over-long lists being fatal by design, they are left out), the rows joined again with
// '-' give the text back, one row more than it has dashes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "installer/screen_logic.h"
#include "widgets/choices.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  const int previous = -7;
  const int port = proxy_port_from_text(text, previous);
  if (port != previous) {
    if (port < 1 || port > 65535) __builtin_trap();
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) __builtin_trap();
    if (std::stoi(text) != port) __builtin_trap();
  }

  size_t dashes = 0;
  for (char c : text) dashes += c == '-' ? 1 : 0;
  if (text.find('|') != std::string::npos || dashes >= BTN_textlist_max_rows) return 0;
  const std::vector<std::string> rows = BTN_textlist_rows(text, "fuzz");
  if (rows.size() != dashes + 1) __builtin_trap();
  std::string joined;
  for (size_t i = 0; i < rows.size(); ++i) joined += (i ? "-" : "") + rows[i];
  if (joined != text) __builtin_trap();
  return 0;
}
