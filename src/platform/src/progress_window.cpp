// The progress window: a plain SDL window drawn through its own surface, so no OpenGL context
// is made and the main window's stays current.
#include "platform/progress_window.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

#include "platform/window.h"
#include "progress_events.h"

namespace {

SDL_Window* g_win = nullptr;

// SDL's own showing waits for the window manager to map the window, which a busy or broken
// one may never do: on X11 the window is mapped here and nothing waits.
void show_without_waiting(SDL_Window* w) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(w, &info) && info.subsystem == SDL_SYSWM_X11) {
    XMapRaised(info.info.x11.display, info.info.x11.window);
    XFlush(info.info.x11.display);
  } else {
    SDL_ShowWindow(w);
  }
}

int open_window(const std::string& title, int w, int h) {
  if (!PLAT_display_named()) return PLAT_progress_no_display;
  if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return PLAT_progress_no_display;
  if (PLAT_video_invisible()) return PLAT_progress_no_display;
  // Left to itself SDL backs a window surface with a texture of its 2-D renderer, which makes
  // an OpenGL context current in place of the main window's.
  SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_OVERRIDE);
  g_win = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h, SDL_WINDOW_HIDDEN);
  if (!g_win) return PLAT_progress_no_window;
  if (!SDL_GetWindowSurface(g_win)) {
    PLAT_progress_close();
    return PLAT_progress_no_window;
  }
  show_without_waiting(g_win);
  return 0;
}

}  // namespace

int PLAT_progress_show(const std::string& title, const unsigned char* rgba, int w, int h) {
  if (!rgba || w <= 0 || h <= 0) return PLAT_progress_no_window;
  if (!g_win) {
    int r = open_window(title, w, h);
    if (r != 0) return r;
  }
  SDL_Surface* dst = SDL_GetWindowSurface(g_win);
  SDL_Surface* src =
      SDL_CreateRGBSurfaceWithFormatFrom(const_cast<unsigned char*>(rgba), w, h, 32, w * 4, SDL_PIXELFORMAT_RGBA32);
  // The picture's alpha is not blended with what the window held.
  const bool drawn = dst && src && SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_NONE) == 0 &&
                     SDL_BlitSurface(src, nullptr, dst, nullptr) == 0;
  SDL_FreeSurface(src);
  return drawn && SDL_UpdateWindowSurface(g_win) == 0 ? 0 : PLAT_progress_no_window;
}

void PLAT_progress_close() {
  if (g_win) SDL_DestroyWindow(g_win);
  g_win = nullptr;
}

int PLAT_progress_owns(uint32_t sdl_window_id) {
  return g_win && sdl_window_id != 0 && SDL_GetWindowID(g_win) == sdl_window_id ? 1 : 0;
}

void PLAT_progress_refresh() {
  if (g_win) SDL_UpdateWindowSurface(g_win);
}
