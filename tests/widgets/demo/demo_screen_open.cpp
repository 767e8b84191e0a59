// The "open" screen: the open dialog (see demo_dialog.h).
#include "demo_dialog.h"
#include "demo_screen.h"

namespace {
void draw() { demo_dialog::draw(998); }
const demo_screen_entry entry({"open", draw, demo_dialog::report});
}  // namespace
