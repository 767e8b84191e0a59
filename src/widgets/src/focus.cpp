// The keyboard focus ring: rebuilt by the widgets every frame, consulted by the key handler
// (which sees the ring of the previous frame), and the queue walk every focusable widget does.
#include "widgets/focus.h"

#include <cstddef>

#include "foundation/records.h"

std::vector<focus_info_t> focus_ring;
int focus_id = 0;
int wind_focus = 0;

namespace {

int focus_left_by_click = 0;  // a click outside every field dropped the focus

constexpr int kVkBack = 8, kVkTab = 9, kVkReturn = 13, kVkEscape = 27, kVkDelete = 46,
              kVkEnter = 187;
constexpr int kShift = 1, kRelease = 16;
constexpr int kAlertWindow = 995;

// Tab with nothing (or nothing drawn) focused: the first entry of the ring.
int focus_first_on_tab(int vkey, int flags) {
  if (vkey == kVkTab && !(flags & kRelease) && !focus_ring.empty()) {
    focus_id = focus_ring.front().id;
    return 1;
  }
  return 0;
}

// The accept-mask bit a key needs.
int needed_bit(int chr, int vkey) {
  switch (vkey) {
    case kVkEscape: return BTN_acc_escape;
    case kVkDelete:
    case kVkBack: return BTN_acc_delete;
    case kVkEnter:
    case kVkReturn: return BTN_acc_return;
    case kVkTab: return BTN_acc_tab;
    default: break;
  }
  if (vkey >= 33 && vkey <= 40) return BTN_acc_nav;
  if (chr == '+' || chr == '-') return BTN_acc_plusminus;
  if (chr >= '0' && chr <= '9') return BTN_acc_digits;
  if ((chr >= 'A' && chr <= 'Z') || (chr >= 'a' && chr <= 'z')) return BTN_acc_letters;
  if (BTN_printable(chr)) return BTN_acc_printable;
  return BTN_acc_other;
}

}  // namespace

bool BTN_printable(int chr) {
  const int c = chr & 0xFF;
  return (c >= 32 && c < 127) || c >= 160;
}

int BTN_widget_id(float x, float y) { return static_cast<int>(y) + 8192 * static_cast<int>(x); }

void BTN_begin_focus_ring() {
  focus_ring.clear();  // keeps its storage
  wind_focus = 0;
}

int BTN_register_focus(int id, int* char_slot, int* vkey_slot, int* flag_slot, int* id_slot,
                       int* ctr_slot, int max_slots, int accept_mask, int take_focus) {
  focus_ring.push_back(
      focus_info_t{id, char_slot, vkey_slot, flag_slot, id_slot, ctr_slot, max_slots, accept_mask});
  if (take_focus) focus_id = id;
  return id == focus_id ? 1 : 0;
}

int BTN_dispatch_to_focus(int chr, int vkey, int flags) {
  if (mnw.wind_id == kAlertWindow) return 0;
  if (focus_id == 0) return focus_first_on_tab(vkey, flags);

  std::size_t at = 0;
  while (at < focus_ring.size() && focus_ring[at].id != focus_id) ++at;
  if (at == focus_ring.size()) {
    // The focused widget was not drawn last frame.
    focus_id = 0;
    return focus_first_on_tab(vkey, flags);
  }
  const focus_info_t& e = focus_ring[at];

  if (vkey == kVkTab && !(e.accept_mask & BTN_acc_tab)) {
    if (flags & kRelease) return 0;
    const std::size_t n = focus_ring.size();
    const std::size_t next = (flags & kShift) ? (at + n - 1) % n : (at + 1) % n;
    focus_id = focus_ring[next].id;
    return 1;
  }

  if (!(e.accept_mask & needed_bit(chr, vkey))) return 0;

  // A full queue swallows the key rather than letting a typed letter reach the key bindings.
  if (!e.ctr_slot || *e.ctr_slot < 0 || *e.ctr_slot >= e.max_slots) return 1;
  const int i = *e.ctr_slot;
  e.char_slot[i] = chr;
  e.vkey_slot[i] = vkey;
  e.flag_slot[i] = flags;
  e.id_slot[i] = focus_id;
  *e.ctr_slot = i + 1;
  return 1;
}

void BTN_unfocus_any() {
  focus_id = 0;
  focus_left_by_click = 0;
}

void BTN_unfocus_by_click() {
  focus_id = 0;
  focus_left_by_click = 1;
}

void BTN_focus_any() { focus_id = focus_ring.empty() ? 0 : focus_ring.front().id; }

void BTN_window_has_focus() { wind_focus = 1; }

int BTN_no_focus_yet() { return (wind_focus == 0 && focus_id == 0 && !focus_left_by_click) ? 1 : 0; }

int BTN_register_queue(int id, BTN_key_queue* q, int accept_mask, int take_focus) {
  return BTN_register_focus(id, q->chr, q->vkey, q->flags, q->id, &q->count, BTN_key_slots,
                            accept_mask, take_focus);
}

void BTN_take_keys(int id, int focused, BTN_key_queue* q, BTN_key_fn apply, void* ctx) {
  int left = 0;
  const int n = q->count < BTN_key_slots ? q->count : BTN_key_slots;
  for (int i = 0; i < n; ++i) {
    const int target = q->id[i];
    if (target == 0) continue;
    const bool mine = focused && target == id;
    // Only the focused widget may still take a key; any other target lost the focus, so its
    // keys would otherwise sit in the queue for good.
    if (!mine && target == focus_id) {
      ++left;
      continue;
    }
    if (mine && !(q->flags[i] & kRelease) && (q->chr[i] != 0 || q->vkey[i] != 0) && apply)
      apply(ctx, q->chr[i], q->vkey[i], q->flags[i]);
    q->chr[i] = q->vkey[i] = q->flags[i] = q->id[i] = 0;
  }
  if (left == 0) q->count = 0;
}
