// The application window and its OpenGL context.
// Stands for: Carbon windows (CreateNewWindow, MoveWindow, ShowCursor), AGL and CGL contexts,
// the Display Manager's desktop mode and CFBundleGetFunctionPointerForName.
// Implemented on Linux (SDL2): one window with a compatibility-profile context (never core or
// ES) on the display named (waited for a while when it does not answer at once), its place and
// border, contexts shared with it for worker threads, the buffer swap, the look-up of OpenGL
// entry points, the desktop's size and depth, the video driver's name, the pixel format
// obtained, and showing or hiding the cursor.
// Missing: a second window on another monitor, switching the display's resolution or depth
// (the desktop's business here), and the CGL engine switches (their look-ups find nothing).
#pragma once
#include <string>

struct PLAT_gl_window {
  void* win = nullptr;  // the window handle; only this layer looks inside
  void* ctx = nullptr;  // its context
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

// The desktop's size and colour depth. The video system is started first when may_start is
// non-zero; otherwise a video system that is not up yet gives -1. 0 when filled, else -1.
int PLAT_desktop_mode(int* w, int* h, int* depth, int may_start);
// Name of the video driver in use ("x11", "wayland", "offscreen", "dummy"...); empty when the
// video system is not up.
std::string PLAT_video_driver();
// 1 when the video system is up on a driver that shows nothing ("offscreen", "dummy"), else 0.
int PLAT_video_invisible();
// 1 when the environment names a display (DISPLAY or WAYLAND_DISPLAY), else 0.
int PLAT_display_named();
// Moves the window's top-left corner to (x, y) on the desktop, with or without its border.
void PLAT_window_place(const PLAT_gl_window* w, int x, int y, int bordered);
// Shows (1) or hides (0) the mouse cursor; nothing while the video system is not up.
void PLAT_show_cursor(int show);

// What the current context was given (0 for what cannot be asked).
struct PLAT_pixel_format {
  int double_buffer = 0;
  int red = 0, green = 0, blue = 0, alpha = 0;
  int depth = 0;
};
PLAT_pixel_format PLAT_gl_pixel_format();

// A new context sharing objects with the window's, for a worker thread. The window's own
// context stays current on the calling thread. Null on failure or for an empty window.
void* PLAT_gl_shared_context(const PLAT_gl_window* w);
// Makes ctx (the window's own or a shared one) current on the calling thread: 1, or 0.
int PLAT_gl_make_current(const PLAT_gl_window* w, void* ctx);
