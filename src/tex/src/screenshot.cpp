// Screenshots: the frame read into the scratch image and written through the PNG writer.
#include "tex/screenshot.h"

#include <GL/gl.h>
#include <sys/stat.h>

#include <algorithm>

#include "files/io_utils.h"
#include "foundation/globals.h"
#include "foundation/records.h"
#include "tex/scratch.h"
#include "tex/tex_codecs.h"

std::string OGL_next_screenshot_name(int* shot) {
  for (;;) {
    *shot += 1;
    std::string name = "screenshot_" + std::to_string(*shot) + ".png";
    struct stat st;
    // A folder or a dangling link of that name is as much in the way as a file.
    if (::lstat(rooted_path(name).c_str(), &st) != 0) return name;
  }
}

void OGL_screenshot(int save) {
  static int shot = 0;
  const int w = std::clamp(mnw.scr_w, 0, 2048), h = std::clamp(mnw.scr_h, 0, 2048);
  // Rows of an odd width are not padded to four bytes in the scratch image.
  GLint alignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels((mnw.scr_w - w) / 2, (mnw.scr_h - h) / 2, w, h, GL_RGB, GL_UNSIGNED_BYTE, scratch_array);
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  if (!save) return;
  const std::string name = OGL_next_screenshot_name(&shot);
  if (!write_png_to_disk(name, w, h, 3)) xer_line("WARNING: the screenshot " + name + " could not be written.");
}
