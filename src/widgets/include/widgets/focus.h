// The keyboard focus ring: focusable widgets register while they are drawn, in Tab order; the
// shell's key handler offers every key to the ring first. Keys a widget accepts are queued in
// that widget function's own queues and applied when the widget is next drawn.
#pragma once
#include <vector>

// One ring entry: a widget and pointers to the queues its function owns.
struct focus_info_t {
  int id;          // BTN_widget_id of the widget's position
  int* char_slot;  // queued characters
  int* vkey_slot;  // queued virtual keys
  int* flag_slot;  // queued key flags
  int* id_slot;    // id of the widget each key was queued for
  int* ctr_slot;   // queue positions in use
  int max_slots;   // capacity of each queue (64)
  int accept_mask; // BTN_acc_* bits
};

// Keys a widget takes.
enum : int {
  BTN_acc_tab = 1,        // Tab is delivered instead of moving the focus
  BTN_acc_return = 2,     // Return and Enter
  BTN_acc_delete = 4,     // Backspace and Delete
  BTN_acc_escape = 8,
  BTN_acc_nav = 16,       // virtual keys 33..40
  BTN_acc_letters = 32,
  BTN_acc_digits = 64,
  BTN_acc_plusminus = 128,
  BTN_acc_printable = 256,
  BTN_acc_other = 512
};

// Capacity of every widget key queue.
inline constexpr int BTN_key_slots = 64;

extern std::vector<focus_info_t> focus_ring;  // entries registered this frame, in order
extern int focus_id;                          // focused widget; 0 none
extern int wind_focus;                        // a window-level text field holds the focus this frame

// A character the widgets take as printable: ASCII 32..126 and Latin-1 160..255 (the byte may
// arrive sign-extended).
bool BTN_printable(int chr);

// The id of a widget drawn at (x, y): trunc(y) + 8192 * trunc(x).
int BTN_widget_id(float x, float y);

void BTN_begin_focus_ring();
// Appends one entry; take_focus makes it the focused widget. 1 when `id` is focused afterwards.
int BTN_register_focus(int id, int* char_slot, int* vkey_slot, int* flag_slot, int* id_slot,
                       int* ctr_slot, int max_slots, int accept_mask, int take_focus);
// Offers one key (character, virtual key, flags 1 shift / 8 press / 16 release) to the ring.
// 1 when the ring used it (moved the focus or queued it), 0 when it is the caller's.
int BTN_dispatch_to_focus(int chr, int vkey, int flags);
// Drops the focus (opening a sub-window).
void BTN_unfocus_any();
// Drops the focus for a click: until the next sub-window opens no field takes it back on its
// own, only by a click in its box or by Tab.
void BTN_unfocus_by_click();
void BTN_focus_any();
void BTN_window_has_focus();
// 1 when no field holds the focus and none gave it up to a click: a field may then take it.
int BTN_no_focus_yet();

// The queues of one widget function (keep one static instance per function).
struct BTN_key_queue {
  int chr[BTN_key_slots] = {};
  int vkey[BTN_key_slots] = {};
  int flags[BTN_key_slots] = {};
  int id[BTN_key_slots] = {};
  int count = 0;
};

// BTN_register_focus over a BTN_key_queue.
int BTN_register_queue(int id, BTN_key_queue* q, int accept_mask, int take_focus);

// Walks a queue after registering: while the widget `id` is focused, each key queued for it is
// passed to apply (releases are dropped) and cleared. Keys for a widget that no longer holds the
// focus are dropped; keys for the focused widget of the same function stay for it. The count
// returns to 0 once nothing is left.
using BTN_key_fn = void (*)(void* ctx, int chr, int vkey, int flags);
void BTN_take_keys(int id, int focused, BTN_key_queue* q, BTN_key_fn apply, void* ctx);
