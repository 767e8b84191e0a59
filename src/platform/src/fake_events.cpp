// The scripted event source of headless tests: what a test queues is made pending by the next
// pump, waits are recorded instead of slept, and the layout is a table the test can change.
#include "platform/fake_events.h"

namespace {

PLAT_fake_events* g_fake = nullptr;

void f_pump() {
  if (!g_fake) return;
  PLAT_fake_events& f = *g_fake;
  ++f.pumps;
  for (const PLAT_event& e : f.script) f.pending.push_back(e);
  f.script.clear();
  if (!f.later.empty()) {
    for (const PLAT_event& e : f.later.front()) f.pending.push_back(e);
    f.later.erase(f.later.begin());
  }
  for (const PLAT_event& e : f.stream) f.pending.push_back(e);
}

int f_poll(PLAT_event* ev) {
  if (!g_fake) return 0;
  ++g_fake->polls;
  auto& q = g_fake->pending;
  if (q.empty()) return 0;
  *ev = q.front();
  q.erase(q.begin());
  return 1;
}

int f_wait(PLAT_event* ev, int ms) {
  if (!g_fake) return 0;
  g_fake->waits.push_back(ms);
  if (!g_fake->on_wait.empty()) {
    *ev = g_fake->on_wait.front();
    g_fake->on_wait.erase(g_fake->on_wait.begin());
    return 1;
  }
  return 0;
}

void f_mouse(int* h, int* v) {
  *h = g_fake ? g_fake->mouse_h : 0;
  *v = g_fake ? g_fake->mouse_v : 0;
}

int f_mods() { return g_fake ? g_fake->mods : 0; }

int f_layout(int key_code) {
  if (!g_fake) return -1;
  if (g_fake->layout_fails) return -1;
  auto it = g_fake->layout.find(key_code);
  if (it != g_fake->layout.end()) return it->second;
  return PLAT_fake_events::us_char(key_code);
}

void f_flush() {
  if (!g_fake) return;
  g_fake->pending.clear();
  g_fake->script.clear();
}

const PLAT_event_source kFake = {f_pump, f_poll, f_wait, f_mouse, f_mods, f_layout, f_flush};

}  // namespace

PLAT_fake_events::PLAT_fake_events() : previous_(PLAT_set_event_source(&kFake)) { g_fake = this; }

PLAT_fake_events::~PLAT_fake_events() {
  g_fake = nullptr;
  PLAT_set_event_source(previous_);
}

void PLAT_fake_events::key(int kind, int key_code, int ch, int modifiers) {
  PLAT_event e;
  e.what = kind;
  e.message = (static_cast<long>(key_code & 0xFF) << 8) | (ch & 0xFF);
  e.modifiers = modifiers;
  script.push_back(e);
}

void PLAT_fake_events::click(int h, int v) {
  mouse_h = h;
  mouse_v = v;
  PLAT_event e;
  e.what = PLAT_ev_mouse_down;
  e.h = h;
  e.v = v;
  script.push_back(e);
  e.what = PLAT_ev_mouse_up;
  script.push_back(e);
}

void PLAT_fake_events::quit() {
  PLAT_event e;
  e.what = PLAT_ev_quit;
  script.push_back(e);
}

int PLAT_fake_events::us_char(int key_code) {
  // The US layout, unshifted, by key position.
  static const char kUs[0x33] = {'a', 's', 'd', 'f', 'h', 'g', 'z', 'x', 'c', 'v', 0,   'b', 'q',
                                 'w', 'e', 'r', 'y', 't', '1', '2', '3', '4', '6', '5', '=', '9',
                                 '7', '-', '8', '0', ']', 'o', 'u', '[', 'i', 'p', 13,  'l', 'j',
                                 '\'', 'k', ';', '\\', ',', '/', 'n', 'm', '.', 9,   ' ', '`'};
  if (key_code >= 0 && key_code < 0x33) return kUs[key_code];
  if (key_code == 0x33) return 8;
  if (key_code == 0x35) return 27;
  return 0;
}
