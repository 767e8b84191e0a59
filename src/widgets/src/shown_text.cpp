// Paths and names cut to fit the box that shows them, in Latin-1 for the font.
#include "widgets/shown_text.h"

#include <algorithm>
#include <vector>

#include "ogl/text.h"
#include "widgets/latin1.h"

namespace {

const std::string kCut = "...";

// Bytes of the longest start of s no wider than room.
size_t start_within(const std::string& s, float room) {
  float w = 0;
  size_t n = 0;
  while (n < s.size() && (w += OGL_char_width(static_cast<unsigned char>(s[n]))) <= room) ++n;
  return n;
}

// Bytes of the longest end of s no wider than room.
size_t end_within(const std::string& s, float room) {
  float w = 0;
  size_t n = 0;
  while (n < s.size() && (w += OGL_char_width(static_cast<unsigned char>(s[s.size() - 1 - n]))) <= room) ++n;
  return n;
}

std::string cut_front(const std::string& s, float width) {
  return kCut + s.substr(s.size() - end_within(s, width - OGL_str_width(kCut)));
}

bool fits(const std::string& s, float width) { return OGL_str_width(s) <= width; }

// The Latin-1 bytes of the text, "?" for each character the font has no glyph for (control
// characters stay: the drawing skips them, and a line feed ends a wrapped line).
std::string font_bytes(const std::string& utf8) {
  std::string s = BTN_utf8_to_latin1(utf8);
  for (char& c : s)
    if (static_cast<unsigned char>(c) >= 0x20 && OGL_char_width(static_cast<unsigned char>(c)) == 0) c = '?';
  return s;
}

}  // namespace

std::string BTN_path_shown(const std::string& utf8, float width) {
  const std::string s = font_bytes(utf8);
  if (fits(s, width)) return s;
  // The last name starts after the last "/" that is not the final character.
  const size_t slash = s.size() < 2 ? std::string::npos : s.rfind('/', s.size() - 2);
  const std::string name = slash == std::string::npos ? s : s.substr(slash);
  const float room = width - OGL_str_width(kCut) - OGL_str_width(name);
  if (slash == std::string::npos || room < 0) return cut_front(s, width);
  return s.substr(0, start_within(s.substr(0, slash), room)) + kCut + name;
}

std::string BTN_end_shown(const std::string& utf8, float width) {
  const std::string s = font_bytes(utf8);
  return fits(s, width) ? s : cut_front(s, width);
}

std::string BTN_middle_shown(const std::string& utf8, float width) {
  const std::string s = font_bytes(utf8);
  if (fits(s, width)) return s;
  const float room = width - OGL_str_width(kCut);
  const std::string head = s.substr(0, start_within(s, room / 2));
  return head + kCut + s.substr(s.size() - end_within(s, room - OGL_str_width(head)));
}

std::string BTN_parts_shown(const std::vector<std::string>& utf8_parts, float width) {
  std::string joined;
  float room = width;
  std::vector<size_t> paths;
  for (size_t i = 0; i < utf8_parts.size(); ++i) {
    joined += utf8_parts[i];
    if (i % 2) paths.push_back(i);
    else room -= OGL_str_width(font_bytes(utf8_parts[i]));
  }
  if (fits(font_bytes(joined), width)) return font_bytes(joined);
  // Each path gets an even share, and what the shorter ones leave goes to the longer ones.
  std::sort(paths.begin(), paths.end(), [&](size_t a, size_t b) {
    return OGL_str_width(font_bytes(utf8_parts[a])) < OGL_str_width(font_bytes(utf8_parts[b]));
  });
  std::vector<std::string> shown(utf8_parts.size());
  for (size_t k = 0; k < paths.size(); ++k) {
    const float share = room / static_cast<float>(paths.size() - k);
    if (share < OGL_str_width(kCut)) return BTN_middle_shown(joined, width);
    shown[paths[k]] = BTN_middle_shown(utf8_parts[paths[k]], share);
    room -= OGL_str_width(shown[paths[k]]);
  }
  std::string out;
  for (size_t i = 0; i < utf8_parts.size(); ++i) out += i % 2 ? shown[i] : font_bytes(utf8_parts[i]);
  return out;
}

std::string BTN_lines_shown(const std::string& utf8, float wrap_width, int max_lines, float max_width) {
  const std::string s = font_bytes(utf8);
  auto shown = [&](const std::string& t) {
    const std::vector<std::string> lines = OGL_wrapped_lines(t, wrap_width);
    if (static_cast<int>(lines.size()) > max_lines) return false;
    for (const std::string& line : lines)
      if (!fits(line, max_width)) return false;
    return true;
  };
  // The text without `cut` of its bytes, the same share taken from either side of the middle.
  auto without = [&](size_t cut) {
    const size_t keep = s.size() - cut;
    return s.substr(0, keep / 2) + kCut + s.substr(s.size() - (keep - keep / 2));
  };
  if (shown(s)) return s;
  size_t lo = 1, hi = s.size();  // without(hi) is "..." alone, which is always shown
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (shown(without(mid)))
      hi = mid;
    else
      lo = mid + 1;
  }
  return without(hi);
}
