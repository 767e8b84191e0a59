// Fuzz target: arbitrary response bytes, cut into arbitrary pieces, through the header parser
// and the body writer of one download.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "net/http.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the piece size; the unresolvable name keeps the socket out of it.
  size_t piece = 1 + data[0] % 64;
  ++data;
  --size;
  static const std::map<std::string, std::string> headers{{"Host", "fuzz"}};
  down_class d("no such host!", 80, "/f", false, headers, nullptr, 0, nullptr);
  for (size_t at = 0; at < size; at += piece) {
    size_t n = size - at < piece ? size - at : piece;
    d.take_bytes(reinterpret_cast<const char*>(data) + at, n);
  }
  if (d.content_length >= 0 && d.received > d.content_length) __builtin_trap();
  if (d.header_bytes > down_class::kMaxHeaderBytes && !d.err) __builtin_trap();
  return 0;
}
