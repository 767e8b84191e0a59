// The application window and its OpenGL context: one SDL2 window with a compatibility-profile
// context (never core or ES), the buffer swap and the look-up of OpenGL entry points.
#pragma once
#include <string>

struct SDL_Window;

struct PLAT_gl_window {
  SDL_Window* win = nullptr;
  void* ctx = nullptr;  // the SDL_GLContext
  int width = 0;        // drawable size in pixels
  int height = 0;
  int samples = 0;      // multisamples obtained (0 none)
};

// Opens a window of width x height with RGBA 8, depth of at least 16 bits, double buffering and
// swap interval 0, asking for `samples` multisamples and falling back to none. The context is
// made current. Returns 0 and fills *out, or -1 with the reason in PLAT_window_error().
int PLAT_window_open(const char* title, int width, int height, int samples, PLAT_gl_window* out);
// Destroys the context and the window; an empty record is ignored.
void PLAT_window_close(PLAT_gl_window* w);
// Text of the last failure of PLAT_window_open.
std::string PLAT_window_error();

// Swaps the buffers of the window whose context is current; nothing when none is.
void PLAT_gl_swap_current();
// 1 when an OpenGL library is loaded and a context is current, else 0.
int PLAT_gl_ready();
// An OpenGL entry point by name; null for names that do not begin with "gl" or that the
// library does not know. The library may return a stub for any gl name, so callers decide
// from the extension string what they use.
void* PLAT_gl_proc(const char* name);
