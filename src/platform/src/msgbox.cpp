// The system's stop box for alerts shown without OpenGL. The text always reaches standard
// error; the box needs a display, and without one nothing waits.
#include "platform/msgbox.h"

#include <SDL2/SDL.h>
#include <signal.h>

#include <cstdio>

#include "platform/window.h"

namespace {

// While a box waits, TERM and INT end the program at once: the video layer's own handlers only
// queue a quit request, which nothing reads until the box is gone.
class signals_end_program {
 public:
  signals_end_program() {
    for (int i = 0; i < 2; ++i) {
      struct sigaction plain {};
      plain.sa_handler = SIG_DFL;
      sigemptyset(&plain.sa_mask);
      sigaction(kSignals[i], &plain, &saved_[i]);
    }
  }
  ~signals_end_program() {
    for (int i = 0; i < 2; ++i) sigaction(kSignals[i], &saved_[i], nullptr);
  }
  signals_end_program(const signals_end_program&) = delete;
  signals_end_program& operator=(const signals_end_program&) = delete;

 private:
  static constexpr int kSignals[2] = {SIGTERM, SIGINT};
  struct sigaction saved_[2] {};
};

int real_box(const std::string& title, const std::string& text) {
  std::fprintf(stderr, "%s\n%s\n", title.c_str(), text.c_str());
  std::fflush(stderr);
  if (!PLAT_display_named()) return 0;
  const signals_end_program ending;
  return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), text.c_str(), nullptr) == 0 ? 1 : 0;
}

PLAT_message_box_fn g_box = real_box;

}  // namespace

PLAT_message_box_fn PLAT_set_message_box(PLAT_message_box_fn fn) {
  PLAT_message_box_fn old = g_box;
  g_box = fn ? fn : real_box;
  return old;
}

int PLAT_message_box(const std::string& title, const std::string& text) { return g_box(title, text); }

int PLAT_question_box(const std::string& title, const std::string& text, const std::string& yes,
                      const std::string& no) {
  std::fprintf(stderr, "%s\n%s\n", title.c_str(), text.c_str());
  std::fflush(stderr);
  if (!PLAT_display_named()) return 0;
  SDL_MessageBoxButtonData buttons[2] = {
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, no.c_str()},
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, yes.c_str()}};
  SDL_MessageBoxData data{};
  data.flags = SDL_MESSAGEBOX_WARNING;
  data.title = title.c_str();
  data.message = text.c_str();
  data.numbuttons = 2;
  data.buttons = buttons;
  int hit = 0;
  const signals_end_program ending;
  if (SDL_ShowMessageBox(&data, &hit) != 0) return 0;
  return hit == 1 ? 1 : 0;
}
