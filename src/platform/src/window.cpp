// SDL2 window and OpenGL context for the whole program: open, close, swap, entry points.
#include "platform/window.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <cstring>

namespace {

std::string g_error;

// A display that is named but does not answer yet (an X server under load, or one still
// starting) is asked again for this long before the video layer's fall-back, which shows
// nothing, may be taken.
constexpr int kDisplayTries = 40;
constexpr Uint32 kDisplayRetryMs = 250;

// Starts the video system once. 0, or -1 with the reason in g_error.
int start_video() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return 0;
  for (int attempt = 1;; ++attempt) {
    const bool up = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (up && !(PLAT_display_named() && PLAT_video_invisible())) return 0;
    if (!up) g_error = SDL_GetError();
    if (!PLAT_display_named() || attempt == kDisplayTries) return up ? 0 : -1;
    if (up) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_Delay(kDisplayRetryMs);
  }
}

SDL_Window* sdl_window(const PLAT_gl_window* w) { return w ? static_cast<SDL_Window*>(w->win) : nullptr; }

void set_attributes(int samples) {
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, samples > 0 ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples > 0 ? samples : 0);
}

bool try_open(const char* title, int width, int height, int samples, PLAT_gl_window* out) {
  set_attributes(samples);
  SDL_Window* win = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                                     height, SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
  if (!win) {
    g_error = SDL_GetError();
    return false;
  }
  SDL_GLContext ctx = SDL_GL_CreateContext(win);
  if (!ctx) {
    g_error = SDL_GetError();
    SDL_DestroyWindow(win);
    return false;
  }
  SDL_GL_MakeCurrent(win, ctx);
  SDL_GL_SetSwapInterval(0);
  out->win = win;
  out->ctx = ctx;
  SDL_GL_GetDrawableSize(win, &out->width, &out->height);
  int got = 0;
  if (SDL_GL_GetAttribute(SDL_GL_MULTISAMPLESAMPLES, &got) != 0) got = 0;
  out->samples = samples > 0 ? got : 0;
  return true;
}

}  // namespace

int PLAT_window_open(const char* title, int width, int height, int samples, PLAT_gl_window* out) {
  if (!out || start_video() != 0) return -1;
  if (try_open(title, width, height, samples, out)) return 0;
  // Multisampling that the display cannot give is dropped rather than failing the start.
  if (samples > 0 && try_open(title, width, height, 0, out)) return 0;
  return -1;
}

void PLAT_window_close(PLAT_gl_window* w) {
  if (!w || !w->win) return;
  if (SDL_GL_GetCurrentContext() == w->ctx) SDL_GL_MakeCurrent(sdl_window(w), nullptr);
  if (w->ctx) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(w->ctx));
  SDL_DestroyWindow(sdl_window(w));
  *w = PLAT_gl_window{};
  // The video subsystem stays up: unloading the OpenGL driver mid-run gains nothing, and a
  // window opened again later finds it ready.
}

std::string PLAT_window_error() { return g_error; }

void PLAT_gl_swap_current() {
  SDL_Window* win = SDL_GL_GetCurrentWindow();
  if (win) SDL_GL_SwapWindow(win);
}

int PLAT_gl_ready() { return SDL_GL_GetCurrentContext() != nullptr ? 1 : 0; }

void* PLAT_gl_proc(const char* name) {
  if (!name || std::strncmp(name, "gl", 2) != 0) return nullptr;
  if (!SDL_GL_GetCurrentContext()) return nullptr;
  return SDL_GL_GetProcAddress(name);
}

int PLAT_desktop_mode(int* w, int* h, int* depth, int may_start) {
  *w = *h = *depth = 0;
  if (!SDL_WasInit(SDL_INIT_VIDEO) && (!may_start || start_video() != 0)) return -1;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return -1;
  *w = mode.w;
  *h = mode.h;
  *depth = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
  return 0;
}

std::string PLAT_video_driver() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return std::string();
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver ? driver : "";
}

int PLAT_video_invisible() {
  const std::string d = PLAT_video_driver();
  return d == "offscreen" || d == "dummy" ? 1 : 0;
}

int PLAT_display_named() {
  const char* x = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (w && *w) ? 1 : 0;
}

void PLAT_window_place(const PLAT_gl_window* w, int x, int y, int bordered) {
  SDL_Window* win = sdl_window(w);
  if (!win) return;
  SDL_SetWindowBordered(win, bordered ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowPosition(win, x, y);
}

void PLAT_show_cursor(int show) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

PLAT_pixel_format PLAT_gl_pixel_format() {
  auto attr = [](SDL_GLattr a) {
    int v = 0;
    if (SDL_GL_GetAttribute(a, &v) != 0) v = 0;
    return v;
  };
  PLAT_pixel_format f;
  f.double_buffer = attr(SDL_GL_DOUBLEBUFFER);
  f.red = attr(SDL_GL_RED_SIZE);
  f.green = attr(SDL_GL_GREEN_SIZE);
  f.blue = attr(SDL_GL_BLUE_SIZE);
  f.alpha = attr(SDL_GL_ALPHA_SIZE);
  f.depth = attr(SDL_GL_DEPTH_SIZE);
  return f;
}

void* PLAT_gl_shared_context(const PLAT_gl_window* w) {
  SDL_Window* win = sdl_window(w);
  if (!win || !w->ctx) return nullptr;
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
  SDL_GLContext ctx = SDL_GL_CreateContext(win);
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
  // Creating it made it current here: the calling thread keeps the window's own.
  SDL_GL_MakeCurrent(win, static_cast<SDL_GLContext>(w->ctx));
  return ctx;
}

int PLAT_gl_make_current(const PLAT_gl_window* w, void* ctx) {
  SDL_Window* win = sdl_window(w);
  if (!win || !ctx) return 0;
  return SDL_GL_MakeCurrent(win, static_cast<SDL_GLContext>(ctx)) == 0 ? 1 : 0;
}

// Leak reports of the sanitizer build: the D-Bus library that SDL's video start-up loads keeps
// a buffer for the life of the process.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n";
}

// Sanitizer build: the runtime guesses the size of a dynamically loaded library's thread-local
// block from a C-library heap header that its own allocator never wrote, so the OpenGL driver's
// block can come out as a wild range and the leak check at exit crashes scanning it. Those
// blocks are heap chunks reached through the thread's own records, so they stay scanned.
extern "C" __attribute__((used)) const char* __asan_default_options() {
  return "intercept_tls_get_addr=0";
}
