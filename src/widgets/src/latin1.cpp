// UTF-8 names to the Latin-1 bytes the widgets draw and type, and back.
#include "widgets/latin1.h"

namespace {

bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed sequence at s[i] and its code point; 0 when malformed.
size_t decode(const std::string& s, size_t i, unsigned* cp) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  const size_t left = s.size() - i;
  auto at = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
  if (c < 0x80) {
    *cp = c;
    return 1;
  }
  if (c >= 0xC2 && c <= 0xDF) {
    if (left < 2 || !continuation(at(1))) return 0;
    *cp = ((c & 0x1Fu) << 6) | (at(1) & 0x3Fu);
    return 2;
  }
  if (c >= 0xE0 && c <= 0xEF) {
    if (left < 3 || !continuation(at(1)) || !continuation(at(2))) return 0;
    if (c == 0xE0 && at(1) < 0xA0) return 0;  // overlong
    if (c == 0xED && at(1) >= 0xA0) return 0; // surrogate
    *cp = ((c & 0x0Fu) << 12) | ((at(1) & 0x3Fu) << 6) | (at(2) & 0x3Fu);
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (left < 4 || !continuation(at(1)) || !continuation(at(2)) || !continuation(at(3))) return 0;
    if (c == 0xF0 && at(1) < 0x90) return 0;  // overlong
    if (c == 0xF4 && at(1) >= 0x90) return 0; // beyond U+10FFFF
    *cp = ((c & 0x07u) << 18) | ((at(1) & 0x3Fu) << 12) | ((at(2) & 0x3Fu) << 6) | (at(3) & 0x3Fu);
    return 4;
  }
  return 0;
}

}  // namespace

std::string BTN_utf8_to_latin1(const std::string& utf8) {
  // Most names are plain ASCII: find the first byte that is not and copy what comes before whole.
  size_t i = 0;
  while (i < utf8.size() && static_cast<unsigned char>(utf8[i]) < 0x80) ++i;
  if (i == utf8.size()) return utf8;
  std::string out(utf8, 0, i);
  while (i < utf8.size()) {
    // Plain ASCII runs are the common case: copy them without decoding.
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {
      out += utf8[i++];
      continue;
    }
    unsigned cp = 0;
    const size_t n = decode(utf8, i, &cp);
    if (n == 0) {
      out += '?';
      ++i;
      continue;
    }
    out += cp <= 0xFF ? static_cast<char>(cp) : '?';
    i += n;
  }
  return out;
}

std::string BTN_latin1_to_utf8(const std::string& latin1) {
  std::string out;
  out.reserve(latin1.size() * 2);
  for (char ch : latin1) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}
