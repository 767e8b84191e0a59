// The system's stop box for alerts shown without OpenGL. The text always reaches standard
// error; the box needs a display, and without one nothing waits.
#include "platform/msgbox.h"

#include <SDL2/SDL.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "platform/window.h"

namespace {

// Columns of the box's text, which the video layer never wraps. Its font here is 7 pixels a
// character: 100 columns make a box 730 pixels wide, leaving room for a wider font.
constexpr std::size_t kBoxColumns = 100;

// Each paragraph broken at spaces into lines of kBoxColumns bytes at most; a longer word is cut
// between characters.
std::string wrapped(std::string_view text) {
  std::string out;
  for (;;) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    while (line.size() > kBoxColumns) {
      std::size_t cut = line.rfind(' ', kBoxColumns);
      const bool at_space = cut != std::string_view::npos && cut > 0;
      if (!at_space) {
        cut = kBoxColumns;
        while (cut > 1 && (line[cut] & 0xC0) == 0x80) --cut;  // never inside a UTF-8 character
      }
      out.append(line.substr(0, cut)) += '\n';
      line.remove_prefix(cut + (at_space ? 1 : 0));
    }
    out += line;
    if (end == text.size()) return out;
    out += '\n';
    text.remove_prefix(end + 1);
  }
}

// The process whose box waits on this thread, else 0. Forks made meanwhile on this thread are
// the video layer's: it draws the box in a child process.
thread_local pid_t t_box_owner = 0;

// An orphaned box would stay on screen, holding what the program held open (the log's claim).
// The forking thread waits for the box, so it ends only with the process.
void box_process_ends_with_owner() {
  if (t_box_owner == 0) return;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  // The owner may have ended before the line above took hold.
  if (getppid() != t_box_owner) _exit(1);
}

// While a box waits, TERM and INT end the program at once: the video layer's own handlers only
// queue a quit request, which nothing reads until the box is gone. The box's process is killed
// when the program ends, however it ends.
class box_waits {
 public:
  box_waits() {
    static const int hooked = pthread_atfork(nullptr, nullptr, box_process_ends_with_owner);
    (void)hooked;
    t_box_owner = getpid();
    for (int i = 0; i < 2; ++i) {
      struct sigaction plain {};
      plain.sa_handler = SIG_DFL;
      sigemptyset(&plain.sa_mask);
      sigaction(kSignals[i], &plain, &saved_[i]);
    }
  }
  ~box_waits() {
    for (int i = 0; i < 2; ++i) sigaction(kSignals[i], &saved_[i], nullptr);
    t_box_owner = 0;
  }
  box_waits(const box_waits&) = delete;
  box_waits& operator=(const box_waits&) = delete;

 private:
  static constexpr int kSignals[2] = {SIGTERM, SIGINT};
  struct sigaction saved_[2] {};
};

int real_box(const std::string& title, const std::string& text) {
  std::fprintf(stderr, "%s\n%s\n", title.c_str(), text.c_str());
  std::fflush(stderr);
  if (!PLAT_display_named()) return 0;
  const box_waits waiting;
  return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), wrapped(text).c_str(), nullptr) == 0 ? 1 : 0;
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
  const std::string lines = wrapped(text);
  data.message = lines.c_str();
  data.numbuttons = 2;
  data.buttons = buttons;
  int hit = 0;
  const box_waits waiting;
  if (SDL_ShowMessageBox(&data, &hit) != 0) return 0;
  return hit == 1 ? 1 : 0;
}
