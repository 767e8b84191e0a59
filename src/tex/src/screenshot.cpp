// Screenshots: the frame read into the scratch image and written through the PNG writer.
#include "tex/screenshot.h"

#include <GL/gl.h>
#include <sys/stat.h>

#include <algorithm>

#include "files/io_utils.h"
#include "files/temp_file.h"
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
  // Written beside its name and renamed when whole: a failed write leaves no broken picture.
  const std::string full = rooted_path(name);
  const size_t slash = full.rfind('/');
  temp_file out;
  bool ok = out.create(slash == std::string::npos ? "." : full.substr(0, slash),
                       full.substr(slash == std::string::npos ? 0 : slash + 1)) == 0;
  // The PNG writer takes its path below the root, as the name is.
  ok = ok && write_png_to_disk(out.temp_path().substr(app_path.size()), w, h, 3) && out.finish(-1, nullptr) == 0;
  if (!ok) xer_line("WARNING: the screenshot " + name + " could not be written.");
}
