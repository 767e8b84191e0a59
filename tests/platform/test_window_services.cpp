// The window services the shell's start-up uses, run live under the test display: the desktop's
// mode, the driver's name, the window's place and border, the cursor, the pixel format, and
// contexts shared with the window for worker threads.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL2/SDL.h>

#include <thread>

#include "platform/window.h"

namespace {

TEST(WindowServices, DesktopModeStartsVideoOnlyWhenAllowed) {
  int w = -1, h = -1, depth = -1;
  ASSERT_FALSE(SDL_WasInit(SDL_INIT_VIDEO)) << "each test runs in its own process";
  EXPECT_EQ(PLAT_desktop_mode(&w, &h, &depth, 0), -1);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(depth, 0);
  EXPECT_EQ(PLAT_video_driver(), "");
  PLAT_show_cursor(0);  // nothing to hide yet: must not start the video system
  EXPECT_FALSE(SDL_WasInit(SDL_INIT_VIDEO));

  ASSERT_EQ(PLAT_desktop_mode(&w, &h, &depth, 1), 0) << SDL_GetError();
  // The test display is 1280 x 1024 at 24 bits.
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, 1024);
  EXPECT_EQ(depth, 24);
  EXPECT_EQ(PLAT_video_driver(), "x11");
  // Once up, no permission is needed.
  EXPECT_EQ(PLAT_desktop_mode(&w, &h, &depth, 0), 0);
}

TEST(WindowServices, PlaceBorderAndCursor) {
  PLAT_gl_window w;
  ASSERT_EQ(PLAT_window_open("place test", 200, 100, 0, &w), 0) << PLAT_window_error();
  SDL_Window* sdl = static_cast<SDL_Window*>(w.win);

  PLAT_window_place(&w, 0, 0, 0);
  EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_BORDERLESS);
  int x = -1, y = -1;
  SDL_GetWindowPosition(sdl, &x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);

  PLAT_window_place(&w, 30, 40, 1);
  EXPECT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_BORDERLESS);
  SDL_GetWindowPosition(sdl, &x, &y);
  EXPECT_EQ(x, 30);
  EXPECT_EQ(y, 40);

  PLAT_show_cursor(0);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  PLAT_show_cursor(1);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);

  PLAT_window_close(&w);
  PLAT_window_place(&w, 10, 10, 0);  // an empty record is ignored
}

TEST(WindowServices, PixelFormatIsWhatTheWindowAskedFor) {
  PLAT_gl_window w;
  ASSERT_EQ(PLAT_window_open("format test", 64, 64, 0, &w), 0) << PLAT_window_error();
  const PLAT_pixel_format f = PLAT_gl_pixel_format();
  EXPECT_EQ(f.double_buffer, 1);
  EXPECT_GE(f.red, 8);
  EXPECT_GE(f.green, 8);
  EXPECT_GE(f.blue, 8);
  EXPECT_GE(f.depth, 16);
  GLint depth_bits = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depth_bits);
  EXPECT_EQ(f.depth, depth_bits);
  PLAT_window_close(&w);
}

TEST(WindowServices, SharedContextSeesTheWindowsObjects) {
  PLAT_gl_window w;
  ASSERT_EQ(PLAT_window_open("share test", 64, 64, 0, &w), 0) << PLAT_window_error();
  GLuint tex = 0;
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  const unsigned char pixel[4] = {1, 2, 3, 4};
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  glFinish();

  void* shared = PLAT_gl_shared_context(&w);
  ASSERT_NE(shared, nullptr);
  // Making it left the window's own context current here.
  EXPECT_EQ(SDL_GL_GetCurrentContext(), w.ctx);

  // A worker thread binds the shared context and finds the texture.
  int made_current = -1;
  GLboolean seen = GL_FALSE;
  std::thread worker([&] {
    made_current = PLAT_gl_make_current(&w, shared);
    if (made_current) {
      seen = glIsTexture(tex);
      SDL_GL_MakeCurrent(static_cast<SDL_Window*>(w.win), nullptr);
    }
    // SDL keeps per-thread data for a thread it did not start until told to let it go.
    SDL_TLSCleanup();
  });
  worker.join();
  EXPECT_EQ(made_current, 1);
  EXPECT_EQ(seen, GL_TRUE);

  EXPECT_EQ(PLAT_gl_make_current(&w, w.ctx), 1);
  EXPECT_EQ(PLAT_gl_make_current(&w, nullptr), 0);
  SDL_GL_DeleteContext(static_cast<SDL_GLContext>(shared));

  PLAT_gl_window empty;
  EXPECT_EQ(PLAT_gl_shared_context(&empty), nullptr);
  EXPECT_EQ(PLAT_gl_make_current(&empty, w.ctx), 0);
  glDeleteTextures(1, &tex);
  PLAT_window_close(&w);
}

}  // namespace
