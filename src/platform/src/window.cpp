// SDL2 window and OpenGL context for the whole program: open, close, swap, entry points.
#include "platform/window.h"

#include <SDL2/SDL.h>

#include <cstring>

namespace {

std::string g_error;

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
  if (!out) return -1;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    g_error = SDL_GetError();
    return -1;
  }
  if (try_open(title, width, height, samples, out)) return 0;
  // Multisampling that the display cannot give is dropped rather than failing the start.
  if (samples > 0 && try_open(title, width, height, 0, out)) return 0;
  return -1;
}

void PLAT_window_close(PLAT_gl_window* w) {
  if (!w || !w->win) return;
  if (SDL_GL_GetCurrentContext() == w->ctx) SDL_GL_MakeCurrent(w->win, nullptr);
  if (w->ctx) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(w->ctx));
  SDL_DestroyWindow(w->win);
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

// Leak reports of the sanitizer build: the D-Bus library that SDL's video start-up loads keeps
// a buffer for the life of the process.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n";
}
