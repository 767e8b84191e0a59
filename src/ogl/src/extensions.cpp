// Capability detection: reads the OpenGL strings and limits, sets the flags of `glExt` and the
// renderer fields of `ren`, applies workarounds and options, fetches entry points, logs a report.
#include "ogl/extensions.h"

#include <cstdio>
#include <cstring>
#include <sstream>
#include <type_traits>

#include "foundation/alert.h"
#include "foundation/cmdline.h"
#include "foundation/globals.h"
#include "platform/window.h"

OGL_extensions glExt;

namespace {

const char* kSource = "DUdurid/OGL/OGL_extensions";

const char* safe(const char* s) { return s ? s : ""; }

bool contains(const char* hay, const char* needle) { return std::strstr(safe(hay), needle) != nullptr; }

int version_number(const char* version) {
  int major = 0, minor = 0;
  if (version && std::sscanf(version, "%d.%d", &major, &minor) == 2) return major * 100 + minor * 10;
  static const struct {
    const char* text;
    int v;
  } kKnown[] = {{"1.1", 110}, {"1.2", 120}, {"1.3", 130}, {"1.4", 140},
                {"1.5", 150}, {"2.0", 200}, {"2.1", 210}};
  for (const auto& k : kKnown)
    if (version && std::strncmp(version, k.text, 3) == 0) return k.v;
  return 100;
}

}  // namespace

int OGL_has_extension(const char* list, const char* name) {
  if (!list || !name || !*name) return 0;
  const size_t n = std::strlen(name);
  for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
    bool starts = p == list || p[-1] == ' ';
    bool ends = p[n] == '\0' || p[n] == ' ';
    if (starts && ends) return 1;
  }
  return 0;
}

void* aglGetProcAddress(const char* name) { return PLAT_gl_proc(name); }

OGL_extensions::OGL_extensions() {
#define OGL_EP_NULL(name, type) name = nullptr;
  OGL_EP_VBO(OGL_EP_NULL)
  OGL_EP_VPROG(OGL_EP_NULL)
  OGL_EP_OCCLUDE(OGL_EP_NULL)
  OGL_EP_SHAD_OBJS(OGL_EP_NULL)
  OGL_EP_VSHADER(OGL_EP_NULL)
  OGL_EP_GSHADER(OGL_EP_NULL)
  OGL_EP_FRAMEBUF(OGL_EP_NULL)
  OGL_EP_TEX_COMP(OGL_EP_NULL)
  OGL_EP_SBLEND(OGL_EP_NULL)
#undef OGL_EP_NULL
  multitex_avail = tex_clamp_avail = add_env_avail = combine_avail = dis_fog_avail = 0;
  tex_comp_avail = vbo_avail = pbo_avail = vprog_avail = fprog_avail = 0;
  automini_avail = aniso_avail = fsaa_avail = sprites_avail = depth_tex_avail = 0;
  occlude_avail = shad_objs_avail = vshader_avail = fshader_avail = gshader_avail = 0;
  glsl_avail = first_gen_shaders = framebuf_avail = sblend_avail = 0;
  threaded_avail = 1;
  spare_avail = 0;
  max_tex_size = 0;
}

int OGL_extensions::init_entry_points() { return PLAT_gl_ready() ? 0 : -1; }

OGL_detect_result OGL_extensions::detect(const OGL_gl_source& src, ren_struct& r) {
  OGL_detect_result res;
  std::ostringstream log;
  auto option = [&](const char* name) { return src.has_option && src.has_option(name) != 0; };
  auto get_int = [&](GLenum pname) { return src.get_int ? src.get_int(pname) : 0; };

  // 1. the strings
  r.vendor = src.vendor;
  r.renderer = src.renderer;
  r.version = src.version;
  r.extensions = src.extensions;
  const char* ext = src.extensions;

  // 2. the version number
  const int v = version_number(src.version);
  res.version = v;

  // 3. flags from the version and whole extension names
  auto by = [&](int threshold, const char* a, const char* b = nullptr) {
    return (threshold > 0 && v >= threshold) || OGL_has_extension(ext, a) || (b && OGL_has_extension(ext, b)) ? 1 : 0;
  };
  multitex_avail = by(130, "GL_ARB_multitexture");
  tex_clamp_avail = by(120, "GL_EXT_texture_edge_clamp", "GL_SGIS_texture_edge_clamp");
  add_env_avail = by(130, "GL_ARB_texture_env_add", "GL_EXT_texture_env_add");
  combine_avail = by(130, "GL_ARB_texture_env_combine", "GL_EXT_texture_env_combine");
  dis_fog_avail = by(0, "GL_NV_fog_distance");
  tex_comp_avail = by(130, "GL_ARB_texture_compression");
  vbo_avail = by(150, "GL_ARB_vertex_buffer_object");
  pbo_avail = by(210, "GL_ARB_pixel_buffer_object");
  vprog_avail = by(0, "GL_ARB_vertex_program");
  fprog_avail = by(0, "GL_ARB_fragment_program");
  automini_avail = by(140, "GL_SGIS_generate_mipmap");
  aniso_avail = by(0, "GL_EXT_texture_filter_anisotropic");
  fsaa_avail = by(130, "GL_ARB_multisample");
  sprites_avail = by(200, "GL_ARB_point_sprite");
  depth_tex_avail = by(140, "GL_ARB_depth_texture");
  occlude_avail = by(150, "GL_ARB_occlusion_query");
  shad_objs_avail = by(200, "GL_ARB_shader_objects");
  vshader_avail = by(200, "GL_ARB_vertex_shader");
  fshader_avail = by(200, "GL_ARB_fragment_shader");
  gshader_avail = by(0, "GL_EXT_geometry_shader4");
  glsl_avail = by(200, "GL_ARB_shading_language_100");
  framebuf_avail = by(0, "GL_EXT_framebuffer_object");
  sblend_avail = OGL_has_extension(ext, "GL_EXT_blend_func_separate") &&
                         OGL_has_extension(ext, "GL_EXT_blend_equation_separate")
                     ? 1
                     : 0;

  // 4. renderer workarounds; the rules that need the system version are skipped when it is unknown
  const int sysv = src.sys_version;
  if (occlude_avail && sysv >= 0 && sysv < 0x1040 &&
      contains(src.renderer, "NVIDIA NV34MAP OpenGL Engine") && !option("--use_pixel_counters")) {
    log << "Disabling occlusion queries on OS X 10.3 for nVidia.\n";
    occlude_avail = 0;
  }
  if (occlude_avail && sysv >= 0 && sysv <= 0x1048 &&
      contains(src.renderer, "NVIDIA GeForce 7300 GT OpenGL Engine") && !option("--use_pixel_counters")) {
    log << "Disabling occlusion queries on OS X 10.4 for nVidia 7300 GT on 10.4.8.\n";
    occlude_avail = 0;
  }
  if (glsl_avail && contains(src.renderer, "Intel GMA 950 OpenGL Engine") && !option("--use_glsl")) {
    log << "Disabling GLSL for GMA 950.\n";
    glsl_avail = 0;
  }
  if (sprites_avail &&
      (std::strcmp(safe(src.renderer), "ATI Radeon HD 2600 PRO OpenGL Engine") == 0 ||
       std::strcmp(safe(src.renderer), "ATI Radeon HD 2400 XT OpenGL Engine") == 0) &&
      !option("--use_sprites")) {
    log << "Disabling point sprites for Radeon HD on OS X.\n";
    sprites_avail = 0;
  }

  // 5. first-generation shader hardware
  if (glsl_avail && contains(src.vendor, "NVIDIA") && !OGL_has_extension(ext, "GL_NV_fragment_program2"))
    first_gen_shaders = 1;

  // 6. entry points: a missing one clears its group's flag; the rest of the group is still fetched
  auto fetch = [&](const char* name, int& flag) -> void* {
    void* p = src.lookup ? src.lookup(name) : nullptr;
    if (!p) {
      log << "WARNING: extension missing proc " << name << "\n";
      flag = 0;
    }
    return p;
  };
#define OGL_EP_FETCH(flag) \
  [&](auto&& field, const char* name) { field = reinterpret_cast<std::remove_reference_t<decltype(field)>>(fetch(name, flag)); }
#define OGL_EP_GET(name, type) get(name, #name);
  if (vbo_avail) {
    auto get = OGL_EP_FETCH(vbo_avail);
    OGL_EP_VBO(OGL_EP_GET)
  }
  if (pbo_avail && !vbo_avail) {
    log << "Disabling PBOs because VBOs are not available.  This probably means that VBOs are "
           "disabled for compatibility reasons.\n";
    pbo_avail = 0;
  }
  if (vprog_avail) {
    auto get = OGL_EP_FETCH(vprog_avail);
    OGL_EP_VPROG(OGL_EP_GET)
  }
  if (occlude_avail) {
    auto get = OGL_EP_FETCH(occlude_avail);
    OGL_EP_OCCLUDE(OGL_EP_GET)
  }
  if (shad_objs_avail) {
    auto get = OGL_EP_FETCH(shad_objs_avail);
    OGL_EP_SHAD_OBJS(OGL_EP_GET)
  }
  if (gshader_avail) {
    auto get = OGL_EP_FETCH(gshader_avail);
    OGL_EP_GSHADER(OGL_EP_GET)
  }
  if (vshader_avail) {
    auto get = OGL_EP_FETCH(vshader_avail);
    OGL_EP_VSHADER(OGL_EP_GET)
  }
  if (framebuf_avail) {
    auto get = OGL_EP_FETCH(framebuf_avail);
    OGL_EP_FRAMEBUF(OGL_EP_GET)
  }
  if (tex_comp_avail) {
    auto get = OGL_EP_FETCH(tex_comp_avail);
    OGL_EP_TEX_COMP(OGL_EP_GET)
  }
  if (sblend_avail) {
    auto get = OGL_EP_FETCH(sblend_avail);
    get(glBlendEquationSeparateEXT, "glBlendEquationSeparateEXT");
    get(glBlendFuncSeparateEXT, "glBlendFuncSeparateEXT");
  }
#undef OGL_EP_GET
#undef OGL_EP_FETCH

  // 7. dependencies
  if (!vprog_avail) fprog_avail = 0;
  if (!shad_objs_avail) fshader_avail = vshader_avail = gshader_avail = 0;
  if (!vshader_avail || !fshader_avail) glsl_avail = 0;

  // 8. assembly-program limits
  int fp_instr = 0, fp_alu = 0, fp_tex = 0, fp_ind = 0, vp_instr = 0;
  auto program_int = [&](GLenum target, GLenum pname) {
    return src.get_program_int ? src.get_program_int(target, pname) : 0;
  };
  if (fprog_avail) {
    fp_instr = program_int(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB);
    fp_alu = program_int(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB);
    fp_tex = program_int(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB);
    fp_ind = program_int(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB);
    if (fp_instr == 0 && !option("--use_fprogs")) fprog_avail = 0;
    if (fp_instr <= 99) first_gen_shaders = 1;
  }
  if (vprog_avail) {
    vp_instr = program_int(GL_VERTEX_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB);
    if (vp_instr == 0 && !option("--use_vprogs")) vprog_avail = 0;
  }

  // 9. shader limits
  int vs_attribs = 0, vs_uniforms = 0, varyings = 0, combined_units = 0, vs_units = 0, fs_uniforms = 0;
  if (vshader_avail) {
    vs_attribs = get_int(GL_MAX_VERTEX_ATTRIBS_ARB);
    vs_uniforms = get_int(GL_MAX_VERTEX_UNIFORM_COMPONENTS_ARB);
    varyings = get_int(GL_MAX_VARYING_FLOATS_ARB);
    combined_units = get_int(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS_ARB);
    vs_units = get_int(GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS_ARB);
  }
  if (fshader_avail) fs_uniforms = get_int(GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB);
  std::string glsl_version = "n/a";
  if (glsl_avail) {
    const char* s = src.get_string ? src.get_string(GL_SHADING_LANGUAGE_VERSION) : nullptr;
    glsl_version = s ? s : "<null string>";
  }

  // 10. renderer limits
  r.max_aniso = 1.0f;
  r.max_tex_units = get_int(GL_MAX_TEXTURE_UNITS);
  r.max_tex_image_units = fprog_avail ? get_int(GL_MAX_TEXTURE_IMAGE_UNITS_ARB) : r.max_tex_units;
  r.max_tex_coords = vprog_avail ? get_int(GL_MAX_TEXTURE_COORDS_ARB) : r.max_tex_units;
  if (aniso_avail && src.get_floats) {
    float a[2] = {1.0f, 0.0f};
    src.get_floats(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, a);
    r.max_aniso = a[0];
  }
  max_tex_size = get_int(GL_MAX_TEXTURE_SIZE);
  float point_range[2] = {0.0f, 0.0f};
  if (src.get_floats) src.get_floats(GL_POINT_SIZE_RANGE, point_range);
  if (r.max_tex_units == 0) r.max_tex_units = 1;

  // 11. command-line options, after the entry points and limits
  if (option("--no_vbos")) vbo_avail = pbo_avail = 0;
  if (option("--no_pbos")) pbo_avail = 0;
  if (option("--no_sprites")) sprites_avail = 0;
  if (option("--no_pixel_counters")) occlude_avail = 0;
  if (option("--no_aniso_filtering")) {
    aniso_avail = 0;
    r.max_aniso = 1.0f;
  }
  if (option("--no_hw_mipmap")) automini_avail = 0;
  if (option("--no_vshaders")) vprog_avail = 0;
  if (option("--no_fshaders")) fprog_avail = 0;
  if (option("--no_glsl")) glsl_avail = 0;
  if (option("--no_fbos")) framebuf_avail = 0;
  if (option("--no_threaded_ogl")) threaded_avail = 0;
  if (option("--no_sblend")) sblend_avail = 0;

  // 12. threaded loading is never offered
  threaded_avail = 0;

  // 13. the report
  log << "OpenGL Vendor    : " << safe(src.vendor) << "\n";
  log << "OpenGL Render    : " << safe(src.renderer) << "\n";
  log << "OpenGL Version   : " << safe(src.version) << " (" << v << ")\n";
  log << "OpenGL Extensions: " << safe(ext) << "\n";
  log << "tex_clamp_avail  : " << tex_clamp_avail << "\n";
  log << "add_env_avail    : " << add_env_avail << "\n";
  log << "combine_avail    : " << combine_avail << "\n";
  log << "dis_fog_avail    : " << dis_fog_avail << "\n";
  log << "tex_comp_avail   : " << tex_comp_avail << "\n";
  log << "vbo_avail        : " << vbo_avail << "\n";
  log << "pbo_avail        : " << pbo_avail << "\n";
  log << "vprog_avail      : " << vprog_avail << " (" << vp_instr << ")\n";
  log << "fprog_avail      : " << fprog_avail << " (" << fp_instr << "/" << fp_alu << "/" << fp_tex
      << "/" << fp_ind << ")\n";
  log << "automini_avail   : " << automini_avail << "\n";
  log << "aniso_avail      : " << aniso_avail << "\n";
  log << "fsaa_avail       : " << fsaa_avail << "\n";
  log << "sprites_avail    : " << sprites_avail << "\n";
  log << "depth_tex_avail  : " << depth_tex_avail << "\n";
  log << "occlude_avail    : " << occlude_avail << "\n";
  log << "shad_objs_avail  : " << shad_objs_avail << "\n";
  log << "vshader_avail    : " << vshader_avail << " (" << vs_attribs << "/" << vs_uniforms << "/"
      << varyings << "/" << combined_units << "/" << vs_units << "/" << fs_uniforms << ")\n";
  log << "fshader_avail    : " << fshader_avail << " (" << fs_uniforms << ")\n";
  log << "gshader_avail    : " << gshader_avail << "\n";
  log << "glsl_avail       : " << glsl_avail << " (" << glsl_version << ")\n";
  log << "framebuf_avail   : " << framebuf_avail << "\n";
  log << "sblend_avail     : " << sblend_avail << "\n";
  log << "threaded_avail   : " << threaded_avail << "\n";
  log << "first-gen shaders: " << first_gen_shaders << "\n";
  log << "max tex units    : " << r.max_tex_units << " (" << r.max_tex_image_units << "/"
      << r.max_tex_coords << ")\n";
  log << "max iso filtering: " << r.max_aniso << "\n";
  log << "max texture size : " << max_tex_size << "\n";
  log << "max point size   : " << point_range[1] << "\n";

  // 14. with GLSL the image units count as texture units
  if (glsl_avail && r.max_tex_image_units > r.max_tex_units) r.max_tex_units = r.max_tex_image_units;

  // 15. hardware refusal; 16. software renderer
  if (!multitex_avail && v < 110) res.refuse = option("--force_run") ? 1 : 2;
  const char* rend = safe(src.renderer);
  for (const char* generic : {"GENERIC", "Generic", "generic", "Mesa GLX Indirect"})
    if (std::strcmp(rend, generic) == 0) res.software = 1;

  res.log = log.str();
  return res;
}

void OGL_extensions::raise_alerts(const OGL_detect_result& res) {
  const std::string line1 =
      "Your graphics hardware cannot support Volarium. Volarium requires a graphics card with 16 MB "
      "of VRAM and multitexturing.";
  if (res.refuse == 1)
    __ZARIRU_alert(0, line1, "Your system does not meet Volarium's hardware requirements.",
                   "You have used the force-run command inline option to run Volarium anyway, but it may crash.",
                   "Please see the Tarrowind web site for the system requirements and tech support information.",
                   t_alert, kSource, 590);
  else if (res.refuse == 2)
    __ZARIRU_alert(0, line1, "First, try updating your graphics drivers.",
                   "If this does not help, check your graphics card specifications.",
                   "If you still need help, please write to Tarrowind's tech support by e-mail.",
                   t_exit, kSource, 590);
  if (res.software)
    __ZARIRU_alert(0,
                   "I can not find a 3-D accelerator card that can handle OpenGL that has correctly installed drivers.",
                   "I will still let you run the simulator, but the frame rate will NOT allow for a good simulation.",
                   "For you to fly realistically, you must use Volarium version Brennic, or get a 3-D accelerator card that can handle OpenGL.",
                   "Please see the Tarrowind web site for a list of compatible 3-D cards.", t_alert,
                   kSource, 601);
}

void OGL_extensions::init_extensions() {
  OGL_gl_source src;
  src.vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
  src.renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  src.version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  src.extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  src.sys_version = -1;  // Linux has no such version number: those workarounds do not apply
  src.get_string = [](GLenum name) { return reinterpret_cast<const char*>(glGetString(name)); };
  src.get_int = [](GLenum pname) {
    GLint value[4] = {0, 0, 0, 0};
    glGetIntegerv(pname, value);
    return static_cast<int>(value[0]);
  };
  src.get_floats = [](GLenum pname, float* out) { glGetFloatv(pname, out); };
  src.get_program_int = [this](GLenum target, GLenum pname) {
    GLint value = 0;
    if (glGetProgramivARB) glGetProgramivARB(target, pname, &value);
    return static_cast<int>(value);
  };
  src.lookup = [](const char* name) { return aglGetProcAddress(name); };
  src.has_option = [](const char* name) { return cmdline.has_option(name); };

  OGL_detect_result res = detect(src, ren);
  if (xer.is_open()) xer_line(res.log);
  raise_alerts(res);
}

void OGL_extensions::threaded_ogl_failed() {
  if (!threaded_avail) return;
  threaded_avail = 0;
  __ZARIRU_alert(0, "There was a problem setting up OpenGL.",
                 "You can still fly, but you may experience pauses during flight while scenery loads.",
                 "", "(Please send your log.txt file to Tarrowind for debugging purposes.)", t_alert,
                 kSource, 637);
}
