// Loads the installer's built-in pictures as textures: each is copied into the scratch image
// (stored at its texture's row spacing already) and uploaded in one go.
#include "tex/hard_texes.h"

#include <cstring>

#include "tex/scratch.h"
#include "tex/tman.h"

void recall_ins_texes() {
  static const char* const kName = "scratch_array:hardwired textures";
  const int flags = tex_col_rgba | tex_full_res | tex_no_effect;  // 0x502

  scratch_dx = 1010;
  scratch_dy = 764;
  std::memcpy(scratch_array, t_installer_dat, size_t(scratch_dx) * scratch_dy * 4);
  tman.load_texture(tex_fail_fatal, t_installer, flags, tex_loaded, kName);

  scratch_dx = 1024;
  scratch_dy = 768;
  std::memcpy(scratch_array, t_ins_back_1_dat, size_t(scratch_dx) * scratch_dy * 4);
  tman.load_texture(tex_fail_fatal, t_ins_back, flags, tex_loaded, kName);

  scratch_dx = 512;
  scratch_dy = 512;
  std::memcpy(scratch_array, t_interface_dat, size_t(scratch_dx) * scratch_dy * 4);
  tman.load_texture(tex_fail_fatal, t_interface, flags, tex_loaded, kName);
}
