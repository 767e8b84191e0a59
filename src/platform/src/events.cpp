// Window events from SDL2 in the frame loop's form: keys with their key code and the character
// of the text input that follows them, characters typed as text alone, clicks, the wheel and
// quit requests. Everything else SDL reports (motion, exposure, focus) is dropped: the mouse is
// read each frame and every frame is redrawn anyway.
#include "platform/events.h"

#include <SDL2/SDL.h>

#include <deque>

#include "platform/keymap.h"
#include "progress_events.h"

namespace {

int sdl_mods(Uint16 m) {
  int r = 0;
  if (m & KMOD_GUI) r |= PLAT_mod_cmd;
  if (m & KMOD_SHIFT) r |= PLAT_mod_shift;
  if (m & KMOD_CAPS) r |= PLAT_mod_caps;
  if (m & KMOD_ALT) r |= PLAT_mod_option;
  if (m & KMOD_CTRL) r |= PLAT_mod_control;
  return r;
}

bool video_up() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

// Key code of a key with no known place (a character typed as text alone).
constexpr int kNoPlace = 0xFF;

// Characters typed without a key of their own (an input method, or a key the X server maps on
// the fly for a character its layout lacks, as Xvfb does): each one becomes a press and a release
// of a key with no place, handed out before the next SDL event.
std::deque<PLAT_event> g_pending;

void queue_text(const char* utf8) {
  int used = 0;
  for (int ch = PLAT_text_to_byte(utf8, &used); used > 0; ch = PLAT_text_to_byte(utf8, &used)) {
    utf8 += used;
    if (!ch) continue;
    PLAT_event ev;
    ev.what = PLAT_ev_key_down;
    ev.message = (static_cast<long>(kNoPlace) << 8) | ch;
    g_pending.push_back(ev);
    ev.what = PLAT_ev_key_up;
    ev.message = static_cast<long>(kNoPlace) << 8;
    g_pending.push_back(ev);
  }
}

// The character of a key-down: the first of the text input SDL queues right behind it (the rest
// is queued as text alone), else the control character of keys that type one.
int key_char(const SDL_KeyboardEvent& k, int key_code) {
  int ch = PLAT_keycode_control_char(key_code);
  if (ch) return ch;
  SDL_Event next;
  if (SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_TEXTINPUT, SDL_TEXTINPUT) != 1 || next.text.windowID != k.windowID)
    return 0;
  SDL_PeepEvents(&next, 1, SDL_GETEVENT, SDL_TEXTINPUT, SDL_TEXTINPUT);
  int used = 0;
  ch = PLAT_text_to_byte(next.text.text, &used);
  queue_text(next.text.text + used);
  return ch;
}

// The window an event of input or of the window system belongs to (0 for others).
Uint32 event_window(const SDL_Event& e) {
  switch (e.type) {
    case SDL_WINDOWEVENT: return e.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP: return e.key.windowID;
    case SDL_TEXTINPUT: return e.text.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return e.button.windowID;
    case SDL_MOUSEWHEEL: return e.wheel.windowID;
    default: return 0;
  }
}

// Turns one SDL event into a record; false for events the loop does not take.
bool convert(const SDL_Event& e, PLAT_event* ev) {
  *ev = PLAT_event{};
  if (PLAT_progress_owns(event_window(e))) {
    // The progress window's own: a close request there is not the program's quit.
    if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_EXPOSED) PLAT_progress_refresh();
    return false;
  }
  switch (e.type) {
    case SDL_QUIT:
      ev->what = PLAT_ev_quit;
      return true;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
        ev->what = PLAT_ev_quit;
        return true;
      }
      return false;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      int code = PLAT_scancode_to_keycode(e.key.keysym.scancode);
      if (code < 0) code = 0xFF;  // a key of no known place still counts as a key
      ev->modifiers = sdl_mods(e.key.keysym.mod);
      if (e.type == SDL_KEYUP) {
        ev->what = PLAT_ev_key_up;
        ev->message = static_cast<long>(code) << 8;
      } else {
        ev->what = e.key.repeat ? PLAT_ev_auto_key : PLAT_ev_key_down;
        const int ch = key_char(e.key, code);
        ev->message = (static_cast<long>(code) << 8) | (ch & 0xFF);
        // AltGr (right Alt) typing a character is a shift level of the layout, not the option key
        // that keeps a key's character from the widgets.
        const Uint16 m = e.key.keysym.mod;
        if (ch >= 0xA0 && (m & KMOD_RALT) && !(m & (KMOD_LALT | KMOD_CTRL | KMOD_GUI)))
          ev->modifiers &= ~PLAT_mod_option;
      }
      return true;
    }
    case SDL_TEXTINPUT:
      queue_text(e.text.text);
      return false;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (e.button.button != SDL_BUTTON_LEFT) return false;
      ev->what = e.type == SDL_MOUSEBUTTONDOWN ? PLAT_ev_mouse_down : PLAT_ev_mouse_up;
      ev->h = e.button.x;
      ev->v = e.button.y;
      ev->modifiers = sdl_mods(SDL_GetModState());
      return true;
    case SDL_MOUSEWHEEL:
      ev->what = PLAT_ev_wheel;
      ev->message = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
      return ev->message != 0;
    default:
      return false;
  }
}

void sdl_pump() {
  if (video_up()) SDL_PumpEvents();
}

// The next character typed as text alone, when one waits.
bool take_pending(PLAT_event* ev) {
  if (g_pending.empty()) return false;
  *ev = g_pending.front();
  g_pending.pop_front();
  return true;
}

int sdl_poll(PLAT_event* ev) {
  if (!video_up()) return 0;
  if (take_pending(ev)) return 1;
  SDL_Event e;
  // Only what the last pump gathered: a stream of input can never hold a frame here.
  while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1)
    if (convert(e, ev)) return 1;
  return 0;
}

int sdl_wait(PLAT_event* ev, int ms) {
  if (!video_up()) {
    if (ms > 0) SDL_Delay(static_cast<Uint32>(ms));
    return 0;
  }
  if (ms <= 0) return sdl_poll(ev);
  SDL_Event e;
  Uint32 end = SDL_GetTicks() + static_cast<Uint32>(ms);
  for (;;) {
    if (take_pending(ev)) return 1;
    int left = static_cast<int>(end - SDL_GetTicks());
    if (left <= 0) return 0;
    if (!SDL_WaitEventTimeout(&e, left)) return 0;
    if (convert(e, ev)) return 1;
  }
}

void sdl_mouse(int* h, int* v) {
  // Over the progress window SDL gives that window's coordinates: the main window keeps the
  // last place it saw.
  static int x = 0, y = 0;
  SDL_Window* over = video_up() ? SDL_GetMouseFocus() : nullptr;
  if (video_up() && !(over && PLAT_progress_owns(SDL_GetWindowID(over)))) SDL_GetMouseState(&x, &y);
  *h = x;
  *v = y;
}

int sdl_modifiers() { return video_up() ? sdl_mods(SDL_GetModState()) : 0; }

int sdl_layout_char(int key_code) {
  if (!video_up()) return -1;
  int sc = PLAT_keycode_to_scancode(key_code);
  if (!sc) return 0;
  SDL_Keycode k = SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(sc));
  return (k > 0 && k < 128) ? static_cast<int>(k) : 0;
}

void sdl_flush() {
  g_pending.clear();
  if (!video_up()) return;
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

const PLAT_event_source kSdl = {sdl_pump, sdl_poll, sdl_wait, sdl_mouse, sdl_modifiers, sdl_layout_char, sdl_flush};
const PLAT_event_source* g_src = &kSdl;

}  // namespace

const PLAT_event_source* PLAT_sdl_event_source() { return &kSdl; }

const PLAT_event_source* PLAT_set_event_source(const PLAT_event_source* src) {
  const PLAT_event_source* old = g_src;
  g_src = src ? src : &kSdl;
  return old;
}

void PLAT_pump_events() {
  if (g_src->pump) g_src->pump();
}
int PLAT_poll_event(PLAT_event* ev) { return g_src->poll ? g_src->poll(ev) : 0; }
int PLAT_wait_event(PLAT_event* ev, int ms) { return g_src->wait ? g_src->wait(ev, ms) : 0; }
void PLAT_get_mouse(int* h, int* v) {
  *h = 0;
  *v = 0;
  if (g_src->mouse) g_src->mouse(h, v);
}
int PLAT_modifiers() { return g_src->modifiers ? g_src->modifiers() : 0; }
int PLAT_layout_char(int key_code) { return g_src->layout_char ? g_src->layout_char(key_code) : -1; }
void PLAT_flush_events() {
  if (g_src->flush) g_src->flush();
}
