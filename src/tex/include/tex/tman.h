// The texture manager: numbered texture slots that are also the OpenGL texture names, loading
// from the scratch image or from image files, binding through the bind cache, and the
// once-per-kind report of missing images.
#pragma once
#include <pthread.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "tex/tex_bind.h"

// What a missing image does.
enum tex_fail_mode : int {
  tex_fail_silent = 0,
  tex_fail_scene = 1,  // set the scene load-fail flag
  tex_fail_plane = 2,  // set the plane flag
  tex_fail_instl = 3,  // set the installer flag
  tex_fail_fatal = 4
};

// Slot load states (and, as an argument, whether the progress message may show: 100).
enum tex_load_time : int { tex_loaded = 100, tex_async = 101, tex_unloaded = 102 };

// tex_flags: colour code in bits 0-2, then the switches below.
enum : int {
  tex_col_rgb = 1,
  tex_col_rgba = 2,
  tex_col_alpha = 3,
  tex_col_rgb_file_alpha = 4,
  tex_col_rgba_file_alpha = 5,
  tex_col_depth = 6,
  tex_col_rgb2 = 7,
  tex_mipmap = 0x8,
  tex_clamp_st = 0x10,
  tex_clamp_s = 0x20,
  tex_res_double = 0x40,
  tex_res_half = 0x80,
  tex_full_res = 0x100,
  tex_use_scratch = 0x200,
  tex_no_effect = 0x400,
  tex_float16 = 0x800,
  tex_sized8 = 0x1000,
  tex_keep_size = 0x2000
};

// Fixed texture numbers.
enum : int {
  t_first_dynamic = 1135,  // first number handed out by name
  t_interface = 392,
  t_installer = 393,
  t_ins_back = 394,
  t_QT_movie = 409,
  t_blank_gray = 930
};

// One load in progress.
struct tex_load_vars {
  tex_fail_mode fail = tex_fail_fatal;
  int ref = 0;
  int flags = 0;
  int format = 0;
  int has_mips = 0;
  char bytes_per_pixel = 0;
  int file_alpha = 0;
  int image_dx = 0, image_dy = 0;
  int tex_dx = 0, tex_dy = 0;
  std::string name;
  unsigned char* pixels = nullptr;
};

// A caller's object whose first virtual operation makes an in-flight asynchronous load finish.
class tman_force_finish_obj {
 public:
  virtual void force_finish() = 0;
  virtual ~tman_force_finish_obj() = default;
};

class tman_class {
 public:
  struct ref_dat_struct {
    std::string name = "un-inited";
    int gl_name = 0;
    float image_dx = 0, image_dy = 0;
    float tex_dx = 0, tex_dy = 0;
    int vram = 0;
    int format = 0;  // 0 marks a free slot
    int load_time = tex_unloaded;
    int flags = 0;
    int fail_mode = tex_fail_fatal;
    int ref_count = -1;
  };

  tman_class();
  ~tman_class();
  tman_class(const tman_class&) = delete;
  tman_class& operator=(const tman_class&) = delete;

  int load_texture(tex_fail_mode fail, int manual_ref, int tex_flags, tex_load_time load_time,
                   const std::string& name);
  void bind_ref(int ref, int unit, int mode);
  void unload_texture(int ref);
  void release_texture(int ref);
  void purge_unused_texes();
  void force_load_tex(int ref);

  int has_scene_load_fail() const { return scene_fail == 1; }
  int has_plane_load_fail() const { return plane_fail == 1; }
  int has_instl_load_fail() const { return instl_fail == 1; }
  void mute_scene_load_fail() { scene_fail = 2; }
  void mute_plane_load_fail() { plane_fail = 2; }
  void mute_instl_load_fail() { instl_fail = 2; }
  void reset_scene_load_fail() { scene_fail = 0; }
  void reset_plane_load_fail() { plane_fail = 0; }
  void reset_instl_load_fail() { instl_fail = 0; }

  int total_texes();
  int loaded_texes();
  int tot_vram();
  float scale_rat() const;
  void reset_bind();
  void set_blend_level(int unit, float level);

  int load_scenery_async_register(tman_force_finish_obj* obj);
  int load_scenery_async_work();
  int load_scenery_async_finalize();
  int num_remaining_async_texes();
  void load_all_scenery_texes();

  // The load step (loading and upload).
  int load_texture_int(tex_fail_mode fail, int ref, int tex_flags, const std::string& name);
  int load_texture_io(tex_load_vars* v);
  int load_texture_ogl(tex_load_vars* v, int io);

  int async_cursor = 0;
  int loaded_count = 0;
  int total_count = 0;
  std::vector<ref_dat_struct> ref_dat;
  int scene_fail = 0, plane_fail = 0, instl_fail = 0;
  tex_load_vars* in_flight = nullptr;
  int in_flight_io = 0;
  tman_force_finish_obj* force_finish = nullptr;
  pthread_mutex_t lock;

 private:
  void free_slot(int ref);
  void make_blank_gray();
};

extern tman_class tman;
// Texture name to number (manual textures enter it too).
extern std::unordered_map<std::string, int> tex_hash;
// The one asynchronous load.
extern tex_load_vars async_vars;

// Draws a start-up style progress message; the shell installs it (ZARIRU_show_init).
using tman_show_init_fn = void (*)(const std::string& text, float* progress);
extern tman_show_init_fn tman_show_init;

// The sizing rule: scale from the resolution setting and flags; image and texture sizes.
float TEX_get_scale(std::string name, int ref, int tex_flags, int dx, int dy, int* image_dx,
                    int* image_dy, int* tex_dx, int* tex_dy, int source);
// Finds, decodes and scales an image file into the manager's buffer (or the scratch image).
int load_any_into_scratch(std::string name, int ref, int tex_flags, int& format, int& has_mips,
                          char& bytes_per_pixel, int file_alpha, int* image_dx, int* image_dy,
                          int* tex_dx, int* tex_dy);
// The manager's own 2048 x 2048 x 4 decode buffer.
extern unsigned char* scratch_array_temp;
