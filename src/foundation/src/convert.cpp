// Number and text conversions: integers and floats to fixed-format text, text to integers,
// path splitting and the two-byte recoding of number lists in menu files.
#include "foundation/convert.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// Digits of a magnitude with at least min_digits digits (at most ten); returns the end.
char* write_magnitude(char* p, uint32_t m, int min_digits) {
  uint32_t place = 1000000000u;
  for (int k = 9; k >= 1; --k, place /= 10) {
    if (m >= place || min_digits > k) *p++ = static_cast<char>('0' + (m / place) % 10);
  }
  *p++ = static_cast<char>('0' + m % 10);
  return p;
}

uint32_t magnitude(int value) {
  // Unsigned arithmetic: the most negative int has no positive counterpart.
  return value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
}

std::string flt_int_text;   // work texts kept between calls
std::string flt_frac_text;
std::string path_leaf;

}  // namespace

void int_to_str(int value, char* out, int min_digits, int plus) {
  char* p = out;
  if (value < 0)
    *p++ = '-';
  else if (plus)
    *p++ = '+';
  p = write_magnitude(p, magnitude(value), min_digits);
  *p = 0;
}

int str_to_int(const std::string& text) {
  if (text.empty()) return -1;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || c == '+' || c == '-')) return -1;
  size_t start = 0;
  int sign = 1;
  if (text[0] == '-') {
    sign = -1;
    start = 1;
  } else if (text[0] == '+') {
    start = 1;
  }
  size_t n = text.size() - start;
  if (n < 1 || n > 9) return -1;
  int value = 0;
  for (size_t i = start; i < text.size(); ++i) {
    char c = text[i];
    int digit = c == '+' ? 1 : c == '-' ? -1 : c - '0';
    value = value * 10 + digit;
  }
  return sign * value;
}

void flt_to_str(float value, std::string* out, int width, int decimals, int sign_column) {
  if (decimals < 0) return;
  // Out-of-range values would make the integer conversion undefined: NaN reads as 0, the
  // rest is held at the largest int.
  if (std::isnan(value)) value = 0.0f;
  constexpr float kLimit = 2147483648.0f;  // 2^31
  int i;
  float frac;
  if (value >= kLimit) {
    i = std::numeric_limits<int>::max();
    frac = 0.0f;
  } else if (value <= -kLimit) {
    i = std::numeric_limits<int>::min();
    frac = 0.0f;
  } else {
    i = static_cast<int>(value);
    frac = value - static_cast<float>(i);
  }
  const int frac_decimals = decimals > 9 ? 9 : decimals;
  const double scale = std::pow(10.0, frac_decimals);
  float scaled = static_cast<float>(static_cast<double>(frac) * scale);
  int64_t f = static_cast<int64_t>(std::round(scaled));  // halves away from zero
  // A fraction that rounds up to a whole unit carries into the integer part (9.96 -> 10.0).
  uint32_t im = magnitude(i);
  if (decimals > 0) {
    const int64_t unit = static_cast<int64_t>(scale);
    if (f >= unit || f <= -unit) {
      f = 0;
      if (im < std::numeric_limits<uint32_t>::max()) ++im;
    }
  }
  uint32_t fm = static_cast<uint32_t>(f < 0 ? -f : f);

  char buf[16];
  *write_magnitude(buf, im, width - decimals) = 0;
  flt_int_text = buf;
  for (size_t k = 0; k + 1 < flt_int_text.size() && flt_int_text[k] == '0'; ++k) flt_int_text[k] = ' ';
  *write_magnitude(buf, fm, decimals) = 0;
  flt_frac_text = buf;

  std::string result;
  if (value < 0.0f)
    result = "-";
  else if (sign_column)
    result = " ";
  result += flt_int_text;
  if (decimals > 0) {
    result += '.';
    result += flt_frac_text;
  }
  *out = result;
}

void get_path_with_path(std::string& folder, const std::string& path) {
  size_t search_end = path.size();
  if (path.size() >= 3 && path.back() == '/') --search_end;  // the final "/" stays with the leaf
  size_t slash = search_end == 0 ? std::string::npos : path.rfind('/', search_end - 1);
  if (slash == std::string::npos) {
    path_leaf = path;
    folder.clear();
  } else {
    path_leaf = path.substr(slash + 1);
    folder = path.substr(0, slash + 1);
  }
}

std::string& get_path_leaf() { return path_leaf; }

void char_string_to_int_string(std::string* text) {
  if (text->empty() || (*text)[0] == '-' || (*text)[0] == '=') return;
  std::string coded;
  size_t p = 0;
  const size_t n = text->size();
  while (p < n) {
    if ((*text)[p] == ' ') {
      ++p;
      continue;
    }
    int number = 0;
    for (int k = 0; k < 3 && p < n && (*text)[p] != ' '; ++k, ++p) {
      char c = (*text)[p];
      int digit = (c >= '0' && c <= '9') ? c - '0' : c == '+' ? 1 : c == '-' ? -1 : 0;
      number = number * 10 + digit;
    }
    if (number >= 0) {
      coded += static_cast<char>(number / 127 + 1);
      coded += static_cast<char>(number % 127 + 1);
    }
  }
  *text = coded;
}
