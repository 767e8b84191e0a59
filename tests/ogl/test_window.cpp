// The platform window and context, and capability detection run live on this machine's OpenGL.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <cstring>
#include <string>

#include "alert_sink.h"
#include "foundation/globals.h"
#include "gl_fixture.h"
#include "log_capture.h"
#include "ogl/extensions.h"

TEST(PlatformWindow, OpenSwapClose) {
  PLAT_gl_window w;
  ASSERT_EQ(PLAT_window_open("window test", 200, 100, 4, &w), 0) << PLAT_window_error();
  EXPECT_NE(w.win, nullptr);
  EXPECT_NE(w.ctx, nullptr);
  EXPECT_EQ(w.width, 200);
  EXPECT_EQ(w.height, 100);
  EXPECT_GE(w.samples, 0);
  EXPECT_EQ(PLAT_gl_ready(), 1);
  EXPECT_NE(PLAT_gl_proc("glGetString"), nullptr);
  EXPECT_EQ(PLAT_gl_proc("CGLEnable"), nullptr);
  EXPECT_EQ(PLAT_gl_proc("xglGetString"), nullptr);
  EXPECT_EQ(PLAT_gl_proc(""), nullptr);

  // A compatibility context: immediate mode works and is not an error.
  int profile = 0;
  SDL_GL_GetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, &profile);
  EXPECT_NE(profile, SDL_GL_CONTEXT_PROFILE_CORE);
  EXPECT_NE(profile, SDL_GL_CONTEXT_PROFILE_ES);
  while (glGetError() != GL_NO_ERROR) {
  }
  glBegin(GL_QUADS);
  glVertex2f(0, 0);
  glVertex2f(0, 1);
  glVertex2f(1, 1);
  glVertex2f(1, 0);
  glEnd();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  GLint depth = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depth);
  EXPECT_GE(depth, 16);
  GLboolean dbl = GL_FALSE;
  glGetBooleanv(GL_DOUBLEBUFFER, &dbl);
  EXPECT_EQ(dbl, GL_TRUE);
  EXPECT_EQ(SDL_GL_GetSwapInterval(), 0);

  PLAT_gl_swap_current();
  PLAT_window_close(&w);
  EXPECT_EQ(w.win, nullptr);
  EXPECT_EQ(PLAT_gl_ready(), 0);
  EXPECT_EQ(PLAT_gl_proc("glGetString"), nullptr) << "no look-ups without a context";
  PLAT_gl_swap_current();  // nothing current: nothing happens
  PLAT_window_close(&w);   // an empty record is ignored
}

TEST(PlatformWindow, EntryPointsNeedAContext) {
  OGL_extensions e;
  if (PLAT_gl_ready()) SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr);
  EXPECT_NE(e.init_entry_points(), 0);
  EXPECT_EQ(aglGetProcAddress("glGetString"), nullptr);
}

using LiveDetection = GLTest;

TEST_F(LiveDetection, ReportsThisRenderer) {
  EXPECT_EQ(glExt.init_entry_points(), 0);
  EXPECT_NE(aglGetProcAddress("glGetString"), nullptr);
  EXPECT_EQ(aglGetProcAddress("CGLGetCurrentContext"), nullptr);

  LogCapture capture;
  AlertSink sink;
  glExt.init_extensions();
  const std::string log = capture.text();

  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  ASSERT_NE(renderer, nullptr);
  EXPECT_EQ(ren.renderer, renderer);
  EXPECT_NE(log.find(std::string("OpenGL Render    : ") + renderer + "\n"), std::string::npos) << log;
  EXPECT_NE(log.find("OpenGL Vendor    : "), std::string::npos);
  EXPECT_NE(log.find("threaded_avail   : 0\n"), std::string::npos);
  EXPECT_NE(log.find("max texture size : " + std::to_string(glExt.max_tex_size) + "\n"), std::string::npos);
  EXPECT_NE(log.find("max point size   : "), std::string::npos);
  EXPECT_EQ(log.find("WARNING: extension missing proc"), std::string::npos) << log;
  EXPECT_EQ(sink.count(), 0u) << "a usable, named renderer raises no alert";

  // This machine's OpenGL offers at least multitexturing and buffer objects.
  EXPECT_EQ(glExt.multitex_avail, 1);
  EXPECT_EQ(glExt.threaded_avail, 0);
  EXPECT_GE(ren.max_tex_units, 1);
  EXPECT_GT(glExt.max_tex_size, 0);
  if (glExt.vbo_avail) {
    ASSERT_NE(glExt.glGenBuffersARB, nullptr);
    GLuint buf = 0;
    glExt.glGenBuffersARB(1, &buf);
    EXPECT_NE(buf, 0u);
    glExt.glDeleteBuffersARB(1, &buf);
  }
  if (glExt.framebuf_avail) {
    EXPECT_NE(glExt.glBindFramebufferEXT, nullptr);
  }
  if (glExt.glsl_avail) {
    EXPECT_NE(glExt.glUseProgramObjectARB, nullptr);
  }
}
