// Render-to-texture: the framebuffer-object path attaches the texture (or a depth texture) and
// checks the framebuffer; the copy path draws into the window's lower-left corner and copies it.
#include "tex/framebuffer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>

#include "foundation/alert.h"
#include "foundation/globals.h"
#include "foundation/records.h"
#include "foundation/stats.h"
#include "foundation/threads.h"
#include "ogl/extensions.h"
#include "ogl/state.h"
#include "tex/scratch.h"
#include "tex/tex_bind.h"
#include "tex/tman.h"

namespace {

const char* const kSrc = "DUdurid/OGL/OGL_framebuffer";

UTL_stat g_fbo_flushes("fbo/flush_per_frame", stat_per_frame, 0.0f);

// 1 when the manager's slot holds a loaded texture of exactly w x h made with these flags: a
// same-sized texture of another kind (colour where depth is wanted) would not attach.
bool slot_is(int ref, int flags, int w, int h) {
  UTL_critical_section_lock(&tman.lock);
  bool same = false;
  if (ref >= 0 && ref < int(tman.ref_dat.size())) {
    const tman_class::ref_dat_struct& s = tman.ref_dat[size_t(ref)];
    same = s.format != 0 && s.load_time == tex_loaded && s.flags == flags && int(s.tex_dx) == w &&
           int(s.tex_dy) == h;
  }
  UTL_critical_section_unlock(&tman.lock);
  return same;
}

void load_scratch(int ref, int flags, int w, int h, const char* name) {
  scratch_dx = w;
  scratch_dy = h;
  tman.load_texture(tex_fail_fatal, ref, flags, tex_loaded, name);
}

bool fbo_path(int use_framebuffer) { return glExt.framebuf_avail && use_framebuffer; }

}  // namespace

OGL_framebuffer::OGL_framebuffer(int texture_number_, fbo_id framebuffer_, int tex_flags_, int width, int height,
                                 unsigned long depth_renderbuffer_)
    : framebuffer(framebuffer_),
      depth_renderbuffer(depth_renderbuffer_),
      texture_number(texture_number_),
      tex_flags(tex_flags_),
      render_width(width),
      render_height(height) {}

void OGL_framebuffer::set_render_size(int width, int height) {
  render_width = width;
  render_height = height;
}

void OGL_framebuffer::begin_render(int use) {
  // A second begin would overwrite the saved window record with the texture's.
  if (rendering_)
    __ZARIRU_alert(0, "Bad argument to the render-to-texture framebuffer:",
                   "begin_render was called again before end_render.", "", "", t_exit, kSrc, __LINE__);
  rendering_ = 1;
  use_framebuffer = use;
  width_used = render_width;
  height_used = render_height;

  if (fbo_path(use)) {
    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &previous);
    previous_framebuffer = previous;
    glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    const bool loaded = slot_is(texture_number, tex_flags | 0x1500, render_width, render_height);
    const bool attached = attached_w_ == render_width && attached_h_ == render_height;
    if (!loaded || !attached) {
      if (!loaded) load_scratch(texture_number, tex_flags | 0x1500, render_width, render_height, "scratch_array-fbo");
      if ((tex_flags & 7) == tex_col_depth) {
        glDrawBuffer(GL_NONE);
        glReadBuffer(GL_NONE);
        // A colour texture attached before (this number as colour) would leave it incomplete.
        glExt.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, 0, 0);
        glExt.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D,
                                        GLuint(texture_number), 0);
      } else {
        glExt.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                                        GLuint(texture_number), 0);
        if (depth_renderbuffer) {
          glExt.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, GLuint(depth_renderbuffer));
          glExt.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, render_width, render_height);
          glExt.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
        }
        glExt.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                           GLuint(depth_renderbuffer));
      }
      const GLenum status = glExt.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
      if (status != GL_FRAMEBUFFER_COMPLETE_EXT) {
        char text[64];
        std::snprintf(text, sizeof text, "%f", double(status));
        stl_global = text;
        __ZARIRU_alert(0, "ERROR: incomplete framebuffer.", stl_global, "", "", t_exit, kSrc, 74);
      }
      attached_w_ = render_width;
      attached_h_ = render_height;
    }
  } else {
    while (width_used > mnw.scr_w && width_used > 1) width_used /= 2;
    while (height_used > mnw.scr_h && height_used > 1) height_used /= 2;
    if (!slot_is(texture_number, tex_flags | 0x500, width_used, height_used))
      load_scratch(texture_number, tex_flags | 0x500, width_used, height_used, "scratch_array-mTexID");
  }

  saved_bounds[0] = mnw.ortho_l;
  saved_bounds[1] = mnw.ortho_b;
  saved_bounds[2] = mnw.ortho_r;
  saved_bounds[3] = mnw.ortho_t;
  saved_off_x = mnw.off_x;
  saved_width = float(mnw.scr_w);
  saved_height = float(mnw.scr_h);
  mnw.ortho_l = 0;
  mnw.ortho_b = 0;
  mnw.ortho_r = float(width_used);
  mnw.ortho_t = float(height_used);
  mnw.scr_w = width_used;
  mnw.scr_h = height_used;
  mnw.off_x = 0;
  TEX_reset_bind();
}

void OGL_framebuffer::end_render() {
  if (!rendering_)
    __ZARIRU_alert(0, "Bad argument to the render-to-texture framebuffer:",
                   "end_render was called without begin_render.", "", "", t_exit, kSrc, __LINE__);
  rendering_ = 0;
  g_fbo_flushes.value += 1.0f;
  mnw.ortho_l = saved_bounds[0];
  mnw.ortho_b = saved_bounds[1];
  mnw.ortho_r = saved_bounds[2];
  mnw.ortho_t = saved_bounds[3];
  mnw.off_x = saved_off_x;
  mnw.scr_w = int(saved_width);
  mnw.scr_h = int(saved_height);
  if (!fbo_path(use_framebuffer)) {
    OGL_setstate(fog_fals, 1, lit_fals, al_blend, deR_fals, deW_fals);
    tman.bind_ref(texture_number, 0, 0);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width_used, height_used);
  } else {
    glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(previous_framebuffer));
    if (tex_flags & tex_mipmap) {
      OGL_setstate(fog_fals, 1, lit_fals, al_blend, deR_fals, deW_fals);
      tman.bind_ref(texture_number, 0, 0);
      glExt.glGenerateMipmapEXT(GL_TEXTURE_2D);
    }
  }
}
