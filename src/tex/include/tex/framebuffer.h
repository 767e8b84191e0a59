// Rendering into one of the texture manager's numbered textures: through a framebuffer object
// when there is one and the caller asks for it, else by drawing into the lower-left corner of the
// window's buffer and copying that into the texture. Between begin_render and end_render the
// window record pretends the window is the texture's size, so the usual viewport code covers it.
#pragma once

using fbo_id = unsigned int;

class OGL_framebuffer {
 public:
  // The framebuffer and the depth renderbuffer (0 for none) are the owner's, made and deleted
  // by it.
  OGL_framebuffer(int texture_number, fbo_id framebuffer, int tex_flags, int width, int height,
                  unsigned long depth_renderbuffer);

  void set_render_size(int width, int height);
  // begin_render and end_render come in pairs, never nested: anything else is a fatal alert.
  void begin_render(int use_framebuffer);
  void end_render();

  fbo_id framebuffer;
  unsigned long depth_renderbuffer;
  int previous_framebuffer = 0;
  int use_framebuffer = 0;
  int texture_number;
  int tex_flags;
  int render_width;
  int render_height;
  int width_used = 0;
  int height_used = 0;
  float saved_bounds[4] = {0, 0, 0, 0};  // left, bottom, right, top
  float saved_off_x = 0;
  float saved_width = 0;
  float saved_height = 0;

 private:
  // What this object attached to its framebuffer (0 x 0 for nothing yet): another user of the
  // same texture number is no proof that the attachment is ours.
  int attached_w_ = 0;
  int attached_h_ = 0;
  int rendering_ = 0;
};
