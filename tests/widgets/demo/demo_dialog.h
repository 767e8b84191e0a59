// The open and save screens of the widget test program: each opens its dialog at once (starting
// from "--demo_start=PATH", file type "--demo_type=N"), again on a click of "Open again", and
// reports how many runs ended, the last result and the path.
#pragma once
#include <string>
#include <vector>

namespace demo_dialog {
void draw(int open_save);
std::vector<std::string> report();
}  // namespace demo_dialog
