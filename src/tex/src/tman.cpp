// The texture manager's slots: choosing a number, sharing by name with reference counts,
// unloading, purging, binding and the asynchronous scenery loader. All of it under one
// recursive lock so that a loader thread and the main thread can use it together.
#include "tex/tman.h"

#include <GL/gl.h>

#include <cstdio>

#include "foundation/alert.h"
#include "foundation/globals.h"
#include "foundation/records.h"
#include "foundation/threads.h"
#include "foundation/xtim.h"
#include "ogl/draw2d.h"

tex_load_vars async_vars;
std::unordered_map<std::string, int> tex_hash(100);
tman_show_init_fn tman_show_init = nullptr;

namespace {

const char* const kSrc = "DUdurid/OOPS_cpp/tman";

std::string fmt_num(const char* fmt, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, v);
  stl_global = buf;
  return stl_global;
}

bool starts_with(const std::string& s, const char* p) { return s.rfind(p, 0) == 0; }

// Textures bound by the drawing layer go through the manager.
void bind_hook(int tex, int unit, int mode) { tman.bind_ref(tex, unit, mode); }
const bool g_hook_installed = (OGL_set_bind_hook(bind_hook), true);

class lock_hold {
 public:
  explicit lock_hold(pthread_mutex_t* m) : m_(m) { UTL_critical_section_lock(m_); }
  ~lock_hold() { UTL_critical_section_unlock(m_); }
  lock_hold(const lock_hold&) = delete;
  lock_hold& operator=(const lock_hold&) = delete;

 private:
  pthread_mutex_t* m_;
};

// Removes name from the table only when it names this slot: another slot may own the entry.
void unhash(const std::string& name, int ref) {
  auto it = tex_hash.find(name);
  if (it != tex_hash.end() && it->second == ref) tex_hash.erase(it);
}

}  // namespace

tman_class tman;

tman_class::tman_class() {
  (void)g_hook_installed;
  UTL_critical_section_create(&lock);
  tex_hash.clear();
}

tman_class::~tman_class() {
  ref_dat.clear();
  UTL_critical_section_destroy(&lock);
}

int tman_class::load_texture(tex_fail_mode fail, int manual_ref, int tex_flags,
                             tex_load_time load_time, const std::string& name) {
  if (name.empty()) return 0;
  {
    static double previous = -1000.0;
    const double now = double(xtim.microsecs()) / 1000000.0;
    const bool pause = now - previous > 1.0;
    previous = now;
    const bool quiet_ref = manual_ref == 0 || manual_ref == 312 || manual_ref == 392 ||
                           manual_ref == 396 || (manual_ref >= 427 && manual_ref <= 442) ||
                           manual_ref == t_blank_gray;
    if (pause && load_time == tex_loaded && !starts_with(name, "scratch_array") && !quiet_ref &&
        tman_show_init)
      tman_show_init("Loading bitmap " + name + ".", nullptr);
  }
  lock_hold hold(&lock);
  if (load_time < tex_loaded || load_time > tex_unloaded)
    __ZARIRU_alert(0, "Trying to create an invalid texture load_time!", name, "value:",
                   fmt_num("%1.0f", load_time), 2, kSrc, 131);
  if (manual_ref < 0 || manual_ref > t_first_dynamic)
    __ZARIRU_alert(0, "Trying to bind too low or high a manual_ref!", name, "value:",
                   fmt_num("%1.0f", manual_ref), 2, kSrc, 134);
  int ref = manual_ref;
  if (ref == 0) {
    auto it = tex_hash.find(name);
    if (it != tex_hash.end()) {
      ref_dat_struct& s = ref_dat[size_t(it->second)];
      s.ref_count += 1;
      if (s.load_time == tex_loaded) return it->second;
      return load_texture_int(fail, it->second, tex_flags, name);
    }
    ref = std::max(int(ref_dat.size()), int(t_first_dynamic));
    for (int i = t_first_dynamic; i < int(ref_dat.size()); ++i)
      if (ref_dat[size_t(i)].format == 0) ref = i;
  }
  if (ref >= int(ref_dat.size())) ref_dat.resize(size_t(ref) + 1);
  ref_dat_struct& s = ref_dat[size_t(ref)];
  unhash(s.name, ref);
  tex_hash.emplace(name, ref);
  if (s.format == 0) {
    s.name = name;
    s.load_time = tex_loaded;
    s.gl_name = 0;
    s.image_dx = s.image_dy = s.tex_dx = s.tex_dy = 0;
    s.ref_count = manual_ref ? -1 : 1;
    s.flags = tex_flags;
    s.fail_mode = fail;
    s.format = GL_RGBA;
    s.vram = 0;
    total_count += 1;
  }
  int got = load_texture_int(fail, ref, tex_flags, name);
  if (got || manual_ref == 0) return ref;
  return 0;
}

void tman_class::bind_ref(int ref, int unit, int mode) {
  lock_hold hold(&lock);
  // A number the list does not hold binds no texture.
  if (ref < 0 || ref >= int(ref_dat.size())) {
    TEX_bind_ref(0, unit, mode);
    return;
  }
  const ref_dat_struct& s = ref_dat[size_t(ref)];
  int name = s.gl_name;
  if (ref != 0 && s.load_time != tex_loaded) {
    if (s.load_time == tex_async) {
      if (t_blank_gray >= int(ref_dat.size()) || ref_dat[t_blank_gray].format == 0) make_blank_gray();
      name = t_blank_gray;
    } else {
      __ZARIRU_alert(0, "missing non-scenery texture - how?", "", fmt_num("ref=%6.0f", ref),
                     ref_dat[size_t(ref)].name, 2, kSrc, 425);
    }
  }
  TEX_bind_ref(name, unit, mode);
}

void tman_class::free_slot(int ref) {
  ref_dat_struct& s = ref_dat[size_t(ref)];
  if (s.gl_name != 0 && s.gl_name != t_blank_gray) {
    GLuint n = GLuint(s.gl_name);
    glDeleteTextures(1, &n);
    // The cache must not think a deleted name is still bound.
    for (int u = 0; u < 8; ++u)
      if (o_tex[u] == s.gl_name) o_tex[u] = -1;
  }
  if (s.load_time == tex_loaded && s.vram != 0) loaded_count -= 1;
  if (s.format != 0) total_count -= 1;
  unhash(s.name, ref);
  s = ref_dat_struct{};
}

void tman_class::unload_texture(int ref) {
  lock_hold hold(&lock);
  if (ref > t_first_dynamic - 1) {
    std::string name = ref < int(ref_dat.size()) ? ref_dat[size_t(ref)].name : "";
    __ZARIRU_alert(0, "Error: dynamic textures should be released, not unloaded.", name,
                   fmt_num("%f", ref), "", 2, kSrc, 1206);
    return;
  }
  if (ref < 0 || ref >= int(ref_dat.size())) return;
  free_slot(ref);
}

void tman_class::release_texture(int ref) {
  lock_hold hold(&lock);
  std::string name = ref >= 0 && ref < int(ref_dat.size()) ? ref_dat[size_t(ref)].name : "";
  if (ref <= t_first_dynamic - 1) {
    __ZARIRU_alert(0, "Trying to release a manual texture - use unload_texture.", fmt_num("%f", ref),
                   name, "", 2, kSrc, 1246);
    return;
  }
  if (ref >= int(ref_dat.size()) || ref_dat[size_t(ref)].ref_count == -1) {
    __ZARIRU_alert(0, "Ref count is negative - was never reffed.", fmt_num("%f", ref), name, "", 2,
                   kSrc, 1247);
    return;
  }
  ref_dat_struct& s = ref_dat[size_t(ref)];
  s.ref_count -= 1;
  if (s.ref_count < 0)
    __ZARIRU_alert(0, "Ref count went negative", fmt_num("%f", ref), name, "", 2, kSrc, 1249);
}

void tman_class::purge_unused_texes() {
  lock_hold hold(&lock);
  for (int i = t_first_dynamic; i < int(ref_dat.size()); ++i)
    if (ref_dat[size_t(i)].ref_count == 0) free_slot(i);
}

void tman_class::force_load_tex(int ref) {
  lock_hold hold(&lock);
  if (ref < 0 || ref >= int(ref_dat.size())) return;
  ref_dat_struct& s = ref_dat[size_t(ref)];
  if (s.load_time == tex_loaded && s.gl_name == ref) return;
  std::string name = s.name;
  load_texture_int(tex_fail_mode(s.fail_mode), ref, s.flags, name);
}

int tman_class::total_texes() {
  lock_hold hold(&lock);
  return total_count;
}

int tman_class::loaded_texes() {
  lock_hold hold(&lock);
  return loaded_count;
}

int tman_class::tot_vram() {
  lock_hold hold(&lock);
  long long v = (long long)mnw.scr_w * mnw.scr_h * mnw.scr_depth / 8;
  for (const ref_dat_struct& s : ref_dat) v += s.vram;
  return int(v);
}

float tman_class::scale_rat() const {
  switch (mnw.tex_res) {
    case 5: return 1.0f;
    case 4: return 0.5f;
    case 3: return 0.25f;
    case 2: return 0.125f;
    case 1: return 0.0625f;
    case 0: return 0.03125f;
    default: return 1.0f;
  }
}

void tman_class::reset_bind() { TEX_reset_bind(); }

void tman_class::set_blend_level(int unit, float level) { TEX_set_blend_level(unit, level); }

// ---------------------------------------------------------------- asynchronous scenery loading

int tman_class::num_remaining_async_texes() {
  lock_hold hold(&lock);
  int n = 0;
  for (int i = std::max(0, async_cursor); i < int(ref_dat.size()); ++i)
    if (ref_dat[size_t(i)].load_time == tex_async) ++n;
  return n;
}

int tman_class::load_scenery_async_register(tman_force_finish_obj* obj) {
  for (int i = std::max(0, async_cursor); i < int(ref_dat.size()); ++i) {
    const ref_dat_struct& s = ref_dat[size_t(i)];
    if (s.load_time != tex_async) continue;
    force_finish = obj;
    async_vars = tex_load_vars{};
    async_vars.fail = tex_fail_mode(s.fail_mode);
    async_vars.ref = i;
    async_vars.flags = s.flags;
    async_vars.name = s.name;
    in_flight = &async_vars;
    return 1;
  }
  async_cursor = int(ref_dat.size());
  return 0;
}

int tman_class::load_scenery_async_work() {
  if (!in_flight) return 0;
  in_flight_io = load_texture_io(in_flight);
  return in_flight_io;
}

int tman_class::load_scenery_async_finalize() {
  if (!force_finish) return 0;
  lock_hold hold(&lock);
  int r = in_flight ? load_texture_ogl(in_flight, in_flight_io) : 0;
  force_finish = nullptr;
  in_flight = nullptr;
  return r;
}

void tman_class::load_all_scenery_texes() {
  UTL_critical_section_lock(&lock);
  float total = 0;
  for (int i = std::max(0, async_cursor); i < int(ref_dat.size()); ++i)
    if (ref_dat[size_t(i)].load_time == tex_async) total += 1;
  int n = 0;
  for (int i = std::max(0, async_cursor); i < int(ref_dat.size()); ++i) {
    if (ref_dat[size_t(i)].load_time != tex_async) continue;
    ref_dat_struct s = ref_dat[size_t(i)];
    load_texture_int(tex_fail_mode(s.fail_mode), i, s.flags, s.name);
    if (n % 40 == 0) {
      UTL_critical_section_unlock(&lock);
      std::string leaf = s.name.substr(s.name.find_last_of('/') == std::string::npos
                                           ? 0
                                           : s.name.find_last_of('/') + 1);
      float progress = total > 0 ? n / total : 0;
      if (tman_show_init) tman_show_init("Loading scenery texture " + leaf + ".", &progress);
      UTL_critical_section_lock(&lock);
    }
    ++n;
  }
  async_cursor = int(ref_dat.size());
  UTL_critical_section_unlock(&lock);
}
