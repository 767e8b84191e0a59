// Number and text conversions shared by every screen: plain digit loops whose exact output
// (leading zeros, blanks, signs) is what callers display and store.
#pragma once
#include <string>

// Decimal text of value into out (at least 12 bytes), at least min_digits digits (at most ten)
// after the sign; "+" in front of a value >= 0 when plus is non-zero.
void int_to_str(int value, char* out, int min_digits, int plus);

// Signed decimal value of 1 to 9 digits after an optional sign; -1 for an empty text, a text
// with anything but digits, "+" and "-", or with too many digits.
int str_to_int(const std::string& text);

// Fixed-point text: integer part right-aligned in width - decimals characters, then "." and
// decimals digits. "-" in front of a negative value; a blank instead when sign_column is set.
// Main thread only (keeps its work texts).
void flt_to_str(float value, std::string* out, int width, int decimals, int sign_column = 0);

// folder = path without its leaf (a/b/c -> a/b/, abc -> "", /abc -> /); the leaf is kept
// (get_path_leaf). A path of three or more characters ending in "/" keeps that "/" in its leaf.
void get_path_with_path(std::string& folder, const std::string& path);
// The leaf of the last get_path_with_path call (shared with the path-to-reference split).
std::string& get_path_leaf();

// Recodes blank-separated decimal numbers into two bytes per number (n/127+1, n%127+1), in place.
void char_string_to_int_string(std::string* text);
