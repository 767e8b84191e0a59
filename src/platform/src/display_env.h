// Whether the environment names a display at all: without one no window or box can be shown,
// and starting the video system would only fail (or pick an invisible driver).
#pragma once
#include <cstdlib>

inline bool PLAT_display_named() {
  const char* x = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (w && *w);
}
