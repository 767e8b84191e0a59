// The "save" screen: the save dialog (see demo_dialog.h).
#include "demo_dialog.h"
#include "demo_screen.h"

namespace {
void draw() { demo_dialog::draw(999); }
const demo_screen_entry entry({"save", draw, demo_dialog::report});
}  // namespace
