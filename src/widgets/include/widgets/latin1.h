// File names are UTF-8 on disk while the widgets draw and type Latin-1 bytes: the conversions
// between the two, used wherever a name is shown, searched or typed.
#pragma once
#include <string>

// Each UTF-8 character as its Latin-1 byte; "?" for one with no Latin-1 form and for each byte
// of a malformed sequence.
std::string BTN_utf8_to_latin1(const std::string& utf8);
// Each Latin-1 byte as UTF-8 (bytes 0x80 and up take two bytes).
std::string BTN_latin1_to_utf8(const std::string& latin1);
