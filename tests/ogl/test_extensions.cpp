// Capability detection from tables of OpenGL facts (no context), and its alerts.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "alert_sink.h"
#include "ogl/extensions.h"

namespace {

void dummy_entry() {}

// OpenGL facts for one detection: strings, options, limits and the entry points it lacks.
struct fake_gl {
  std::string vendor = "Test Vendor";
  std::string renderer = "Test Renderer";
  std::string version = "2.1";
  std::string extensions;
  int sysv = -1;
  std::set<std::string> options;
  std::set<std::string> missing;
  std::map<GLenum, int> ints = {{GL_MAX_TEXTURE_UNITS, 4}, {GL_MAX_TEXTURE_SIZE, 2048}};
  std::map<GLenum, int> prog_frag, prog_vert;
  float aniso = 8.0f;
  float point_hi = 63.5f;
  const char* glsl = "1.20";
  std::vector<std::string> looked_up;
  std::vector<GLenum> queried;

  OGL_gl_source source() {
    OGL_gl_source s;
    s.vendor = vendor.c_str();
    s.renderer = renderer.c_str();
    s.version = version.c_str();
    s.extensions = extensions.c_str();
    s.sys_version = sysv;
    s.get_string = [this](GLenum) { return glsl; };
    s.get_int = [this](GLenum p) {
      queried.push_back(p);
      auto it = ints.find(p);
      return it == ints.end() ? 0 : it->second;
    };
    s.get_floats = [this](GLenum p, float* out) {
      if (p == GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT) out[0] = aniso;
      if (p == GL_POINT_SIZE_RANGE) {
        out[0] = 1.0f;
        out[1] = point_hi;
      }
    };
    s.get_program_int = [this](GLenum target, GLenum pname) {
      auto& m = target == GL_FRAGMENT_PROGRAM_ARB ? prog_frag : prog_vert;
      auto it = m.find(pname);
      return it == m.end() ? 0 : it->second;
    };
    s.lookup = [this](const char* name) -> void* {
      looked_up.push_back(name);
      if (missing.count(name)) return nullptr;
      return reinterpret_cast<void*>(&dummy_entry);
    };
    s.has_option = [this](const char* name) { return options.count(name) ? 1 : 0; };
    return s;
  }
};

struct detection {
  OGL_extensions ext;
  ren_struct r;
  OGL_detect_result res;
};

detection run(fake_gl& gl) {
  detection d;
  d.res = d.ext.detect(gl.source(), d.r);
  return d;
}

bool has_line(const std::string& log, const std::string& line) {
  return log.find(line + "\n") != std::string::npos;
}

}  // namespace

TEST(ExtensionNames, WholeNamesOnly) {
  const char* list = "GL_ARB_texture_compression_bptc GL_EXT_foo GL_ARB_multitexture";
  EXPECT_EQ(OGL_has_extension(list, "GL_ARB_texture_compression"), 0);
  EXPECT_EQ(OGL_has_extension(list, "GL_ARB_texture_compression_bptc"), 1);
  EXPECT_EQ(OGL_has_extension(list, "GL_ARB_multitexture"), 1);
  EXPECT_EQ(OGL_has_extension(list, "GL_EXT_fo"), 0);
  EXPECT_EQ(OGL_has_extension(list, "foo"), 0);
  EXPECT_EQ(OGL_has_extension(nullptr, "GL_EXT_foo"), 0);
  EXPECT_EQ(OGL_has_extension(list, ""), 0);
  EXPECT_EQ(OGL_has_extension("x GL_EXT_foo_bar GL_EXT_foo", "GL_EXT_foo"), 1);
}

TEST(ExtensionDefaults, ConstructorClearsAllButThreaded) {
  OGL_extensions e;
  EXPECT_EQ(e.threaded_avail, 1);
  EXPECT_EQ(e.multitex_avail, 0);
  EXPECT_EQ(e.glsl_avail, 0);
  EXPECT_EQ(e.spare_avail, 0);
  EXPECT_EQ(e.max_tex_size, 0);
  EXPECT_EQ(e.glBindBufferARB, nullptr);
  EXPECT_EQ(e.glBlendEquationSeparateEXT, nullptr);
}

TEST(ExtensionLookup, OnlyGlNames) {
  EXPECT_EQ(aglGetProcAddress("CGLEnable"), nullptr);
  EXPECT_EQ(aglGetProcAddress("CGLGetCurrentContext"), nullptr);
  EXPECT_EQ(aglGetProcAddress(nullptr), nullptr);
}

// One row: inputs, then the flags expected.
struct version_row {
  const char* version;
  const char* extensions;
  int v;
  int multitex, tex_clamp, tex_comp, vbo, pbo, automini, sprites, glsl, vprog, framebuf;
  int refuse;
};

TEST(ExtensionDetect, VersionAndExtensionTable) {
  const version_row rows[] = {
      {"2.1 NVIDIA-1.5.36", "", 210, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0},
      {"2.0", "", 200, 1, 1, 1, 1, 0, 1, 1, 1, 0, 0, 0},
      {"1.5.2", "", 150, 1, 1, 1, 1, 0, 1, 0, 0, 0, 0, 0},
      {"1.1.0", "", 110, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {"1.2", "GL_ARB_texture_compression_bptc GL_ARB_multitexture_x", 120, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {"1.2", "GL_ARB_texture_compression GL_ARB_multitexture", 120, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0},
      {"1.1", "GL_SGIS_texture_edge_clamp GL_ARB_vertex_buffer_object GL_ARB_pixel_buffer_object", 110,
       0, 1, 0, 1, 1, 0, 0, 0, 0, 0, 0},
      {"1.4", "GL_ARB_vertex_program GL_EXT_framebuffer_object", 140, 1, 1, 1, 0, 0, 1, 0, 0, 1, 1, 0},
      {"OpenGL ES 2.0", "", 100, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2},
      {"4.5 (Compatibility Profile) Mesa 22.3.6", "", 450, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0},
  };
  for (const version_row& row : rows) {
    SCOPED_TRACE(std::string(row.version) + " / " + row.extensions);
    fake_gl gl;
    gl.version = row.version;
    gl.extensions = row.extensions;
    gl.prog_vert[GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB] = 128;
    detection d = run(gl);
    EXPECT_EQ(d.res.version, row.v);
    EXPECT_EQ(d.ext.multitex_avail, row.multitex);
    EXPECT_EQ(d.ext.tex_clamp_avail, row.tex_clamp);
    EXPECT_EQ(d.ext.tex_comp_avail, row.tex_comp);
    EXPECT_EQ(d.ext.vbo_avail, row.vbo);
    EXPECT_EQ(d.ext.pbo_avail, row.pbo);
    EXPECT_EQ(d.ext.automini_avail, row.automini);
    EXPECT_EQ(d.ext.sprites_avail, row.sprites);
    EXPECT_EQ(d.ext.glsl_avail, row.glsl);
    EXPECT_EQ(d.ext.vprog_avail, row.vprog);
    EXPECT_EQ(d.ext.framebuf_avail, row.framebuf);
    EXPECT_EQ(d.ext.threaded_avail, 0);
    EXPECT_TRUE(has_line(d.res.log, "threaded_avail   : 0"));
    EXPECT_EQ(d.res.refuse, row.refuse);
  }
}

TEST(ExtensionDetect, ExtensionOnlyFlagsIgnoreVersion) {
  fake_gl gl;
  gl.version = "2.1";
  detection d = run(gl);
  EXPECT_EQ(d.ext.dis_fog_avail, 0);
  EXPECT_EQ(d.ext.aniso_avail, 0);
  EXPECT_EQ(d.ext.gshader_avail, 0);
  EXPECT_EQ(d.ext.sblend_avail, 0);
  EXPECT_FLOAT_EQ(d.r.max_aniso, 1.0f);

  gl.extensions = "GL_NV_fog_distance GL_EXT_texture_filter_anisotropic GL_EXT_blend_func_separate";
  d = run(gl);
  EXPECT_EQ(d.ext.dis_fog_avail, 1);
  EXPECT_EQ(d.ext.aniso_avail, 1);
  EXPECT_FLOAT_EQ(d.r.max_aniso, 8.0f);
  EXPECT_EQ(d.ext.sblend_avail, 0) << "needs both separate-blend extensions";

  gl.extensions += " GL_EXT_blend_equation_separate";
  d = run(gl);
  EXPECT_EQ(d.ext.sblend_avail, 1);
  EXPECT_NE(d.ext.glBlendFuncSeparateEXT, nullptr);
  EXPECT_NE(d.ext.glBlendEquationSeparateEXT, nullptr);
}

TEST(ExtensionDetect, RefusalOfOldHardware) {
  fake_gl gl;
  gl.version = "1.0";
  detection d = run(gl);
  EXPECT_EQ(d.ext.multitex_avail, 0);
  EXPECT_EQ(d.res.refuse, 2);

  gl.options = {"--force_run"};
  d = run(gl);
  EXPECT_EQ(d.res.refuse, 1);

  gl.options.clear();
  gl.extensions = "GL_ARB_multitexture";
  d = run(gl);
  EXPECT_EQ(d.res.refuse, 0);

  gl.extensions.clear();
  gl.version = "1.1.0";
  d = run(gl);
  EXPECT_EQ(d.ext.multitex_avail, 0);
  EXPECT_EQ(d.res.refuse, 0) << "v 110 is not below 110";
}

TEST(ExtensionDetect, NullStringsAreSafe) {
  OGL_extensions e;
  ren_struct r;
  OGL_gl_source s;  // every string null, no call-backs
  OGL_detect_result res = e.detect(s, r);
  EXPECT_EQ(res.version, 100);
  EXPECT_EQ(res.refuse, 2);
  EXPECT_EQ(r.vendor, nullptr);
  EXPECT_EQ(r.max_tex_units, 1);
  EXPECT_TRUE(has_line(res.log, "OpenGL Vendor    : "));
}

TEST(ExtensionDetect, RendererWorkarounds) {
  // 10.4.8 or earlier with the 7300 GT anywhere in the renderer string.
  fake_gl gl;
  gl.renderer = "Some NVIDIA GeForce 7300 GT OpenGL Engine (rev 2)";
  gl.sysv = 0x1048;
  detection d = run(gl);
  EXPECT_EQ(d.ext.occlude_avail, 0);
  EXPECT_TRUE(has_line(d.res.log, "Disabling occlusion queries on OS X 10.4 for nVidia 7300 GT on 10.4.8."));

  gl.sysv = 0x1049;
  EXPECT_EQ(run(gl).ext.occlude_avail, 1);
  gl.sysv = -1;  // the system cannot tell its version: the rule is skipped
  EXPECT_EQ(run(gl).ext.occlude_avail, 1);
  gl.sysv = 0x1048;
  gl.options = {"--use_pixel_counters"};
  EXPECT_EQ(run(gl).ext.occlude_avail, 1);

  fake_gl nv34;
  nv34.renderer = "NVIDIA NV34MAP OpenGL Engine";
  nv34.sysv = 0x1039;
  d = run(nv34);
  EXPECT_EQ(d.ext.occlude_avail, 0);
  EXPECT_TRUE(has_line(d.res.log, "Disabling occlusion queries on OS X 10.3 for nVidia."));
  nv34.sysv = 0x1040;
  EXPECT_EQ(run(nv34).ext.occlude_avail, 1);

  fake_gl gma;
  gma.renderer = "Intel GMA 950 OpenGL Engine";
  d = run(gma);
  EXPECT_EQ(d.ext.glsl_avail, 0);
  EXPECT_TRUE(has_line(d.res.log, "Disabling GLSL for GMA 950."));
  gma.options = {"--use_glsl"};
  EXPECT_EQ(run(gma).ext.glsl_avail, 1);

  fake_gl ati;
  ati.renderer = "ATI Radeon HD 2600 PRO OpenGL Engine";
  d = run(ati);
  EXPECT_EQ(d.ext.sprites_avail, 0);
  EXPECT_TRUE(has_line(d.res.log, "Disabling point sprites for Radeon HD on OS X."));
  ati.renderer = "ATI Radeon HD 2400 XT OpenGL Engine";
  EXPECT_EQ(run(ati).ext.sprites_avail, 0);
  ati.renderer = "ATI Radeon HD 2600 PRO OpenGL Engine 2";
  EXPECT_EQ(run(ati).ext.sprites_avail, 1) << "the comparison is exact";
  ati.renderer = "ATI Radeon HD 2600 PRO OpenGL Engine";
  ati.options = {"--use_sprites"};
  EXPECT_EQ(run(ati).ext.sprites_avail, 1);
}

TEST(ExtensionDetect, FirstGenerationShaders) {
  fake_gl gl;
  gl.vendor = "NVIDIA Corporation";
  EXPECT_EQ(run(gl).ext.first_gen_shaders, 1);
  gl.extensions = "GL_NV_fragment_program2";
  EXPECT_EQ(run(gl).ext.first_gen_shaders, 0);
  gl.extensions = "GL_NV_fragment_program2_x";
  EXPECT_EQ(run(gl).ext.first_gen_shaders, 1);

  fake_gl ati;
  ati.vendor = "ATI";
  ati.extensions = "GL_ARB_vertex_program GL_ARB_fragment_program";
  ati.prog_vert[GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB] = 256;
  ati.prog_frag[GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB] = 99;
  detection d = run(ati);
  EXPECT_EQ(d.ext.fprog_avail, 1);
  EXPECT_EQ(d.ext.first_gen_shaders, 1);
  ati.prog_frag[GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB] = 100;
  EXPECT_EQ(run(ati).ext.first_gen_shaders, 0);
}

TEST(ExtensionDetect, ProgramLimits) {
  fake_gl gl;
  gl.extensions = "GL_ARB_vertex_program GL_ARB_fragment_program";
  gl.prog_frag = {{GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, 0}};
  gl.prog_vert = {{GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, 0}};
  detection d = run(gl);
  EXPECT_EQ(d.ext.fprog_avail, 0);
  EXPECT_EQ(d.ext.vprog_avail, 0);

  gl.options = {"--use_fprogs", "--use_vprogs"};
  d = run(gl);
  EXPECT_EQ(d.ext.fprog_avail, 1);
  EXPECT_EQ(d.ext.vprog_avail, 1);

  gl.options.clear();
  gl.prog_frag = {{GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, 1447},
                  {GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB, 1024},
                  {GL_MAX_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB, 512},
                  {GL_MAX_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB, 4}};
  gl.prog_vert = {{GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, 4096}};
  d = run(gl);
  EXPECT_TRUE(has_line(d.res.log, "vprog_avail      : 1 (4096)"));
  EXPECT_TRUE(has_line(d.res.log, "fprog_avail      : 1 (1447/1024/512/4)"));
}

TEST(ExtensionDetect, MissingEntryPointClearsItsGroup) {
  fake_gl gl;
  gl.version = "2.1";
  gl.missing = {"glMapBufferARB"};
  detection d = run(gl);
  EXPECT_EQ(d.ext.vbo_avail, 0);
  EXPECT_EQ(d.ext.pbo_avail, 0);
  EXPECT_TRUE(has_line(d.res.log, "WARNING: extension missing proc glMapBufferARB"));
  EXPECT_TRUE(has_line(d.res.log,
                       "Disabling PBOs because VBOs are not available.  This probably means that VBOs "
                       "are disabled for compatibility reasons."));
  EXPECT_EQ(d.ext.glMapBufferARB, nullptr);
  EXPECT_NE(d.ext.glGetBufferPointervARB, nullptr) << "the rest of the group is still fetched";
  EXPECT_EQ(d.res.log.find("WARNING"), d.res.log.find("WARNING: extension missing proc glMapBufferARB"));
  EXPECT_LT(d.res.log.find("WARNING"), d.res.log.find("Disabling PBOs"));
  EXPECT_EQ(d.ext.occlude_avail, 1) << "other groups are not touched";
}

TEST(ExtensionDetect, LookupOrderAndGuards) {
  fake_gl gl;
  gl.version = "2.1";
  gl.extensions =
      "GL_EXT_geometry_shader4 GL_EXT_blend_func_separate GL_EXT_blend_equation_separate "
      "GL_EXT_framebuffer_object";
  detection d = run(gl);
  EXPECT_EQ(gl.looked_up.size(), 11u + 8u + 39u + 1u + 3u + 17u + 7u + 2u);
  auto at = [&](const char* n) {
    for (size_t i = 0; i < gl.looked_up.size(); ++i)
      if (gl.looked_up[i] == n) return static_cast<long>(i);
    return -1L;
  };
  EXPECT_EQ(at("glBindBufferARB"), 0);
  EXPECT_EQ(at("glVertexAttrib1dARB"), -1) << "no assembly programs without the extension";
  EXPECT_LT(at("glGetBufferPointervARB"), at("glGenQueriesARB"));
  EXPECT_LT(at("glGetShaderSourceARB"), at("glProgramParameteriEXT"));
  EXPECT_LT(at("glProgramParameteriEXT"), at("glBindAttribLocationARB"));
  EXPECT_LT(at("glGetAttribLocationARB"), at("glIsRenderbufferEXT"));
  EXPECT_LT(at("glGenerateMipmapEXT"), at("glCompressedTexImage3DARB"));
  EXPECT_EQ(gl.looked_up[gl.looked_up.size() - 2], "glBlendEquationSeparateEXT");
  EXPECT_EQ(gl.looked_up.back(), "glBlendFuncSeparateEXT");
  EXPECT_NE(d.ext.glUseProgramObjectARB, nullptr);
  EXPECT_NE(d.ext.glBindFramebufferEXT, nullptr);
}

TEST(ExtensionDetect, DependenciesFollowShaderObjects) {
  fake_gl gl;
  gl.version = "2.1";
  gl.extensions = "GL_EXT_geometry_shader4";
  gl.missing = {"glLinkProgramARB"};
  detection d = run(gl);
  EXPECT_EQ(d.ext.shad_objs_avail, 0);
  EXPECT_EQ(d.ext.vshader_avail, 0);
  EXPECT_EQ(d.ext.fshader_avail, 0);
  EXPECT_EQ(d.ext.gshader_avail, 0);
  EXPECT_EQ(d.ext.glsl_avail, 0);
  EXPECT_TRUE(has_line(d.res.log, "glsl_avail       : 0 (n/a)"));

  fake_gl fp;  // a fragment program without vertex programs is dropped
  fp.extensions = "GL_ARB_fragment_program";
  fp.prog_frag[GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB] = 500;
  EXPECT_EQ(run(fp).ext.fprog_avail, 0);
}

TEST(ExtensionDetect, OptionsClearFlagsWithoutDependencies) {
  fake_gl gl;
  gl.version = "2.1";
  gl.extensions = "GL_ARB_vertex_program GL_EXT_framebuffer_object GL_EXT_texture_filter_anisotropic";
  gl.prog_vert[GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB] = 128;
  gl.options = {"--no_vshaders"};
  detection d = run(gl);
  EXPECT_EQ(d.ext.vprog_avail, 0);
  EXPECT_EQ(d.ext.vshader_avail, 1);
  EXPECT_EQ(d.ext.glsl_avail, 1);

  gl.options = {"--no_vbos", "--no_sprites", "--no_pixel_counters", "--no_aniso_filtering",
                "--no_hw_mipmap", "--no_fbos", "--no_glsl", "--no_threaded_ogl"};
  d = run(gl);
  EXPECT_EQ(d.ext.vbo_avail, 0);
  EXPECT_EQ(d.ext.pbo_avail, 0);
  EXPECT_EQ(d.ext.sprites_avail, 0);
  EXPECT_EQ(d.ext.occlude_avail, 0);
  EXPECT_EQ(d.ext.aniso_avail, 0);
  EXPECT_FLOAT_EQ(d.r.max_aniso, 1.0f);
  EXPECT_EQ(d.ext.automini_avail, 0);
  EXPECT_EQ(d.ext.framebuf_avail, 0);
  EXPECT_EQ(d.ext.glsl_avail, 0);
  EXPECT_EQ(d.ext.vshader_avail, 1);
  EXPECT_NE(d.ext.glBindBufferARB, nullptr) << "entry points were fetched before the options";

  gl.options = {"--no_pbos"};
  d = run(gl);
  EXPECT_EQ(d.ext.vbo_avail, 1);
  EXPECT_EQ(d.ext.pbo_avail, 0);
}

TEST(ExtensionDetect, TextureUnitsWithGlsl) {
  fake_gl gl;
  gl.version = "2.1";
  gl.extensions = "GL_ARB_vertex_program GL_ARB_fragment_program";
  gl.prog_vert[GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB] = 128;
  gl.prog_frag[GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB] = 512;
  gl.ints[GL_MAX_TEXTURE_UNITS] = 4;
  gl.ints[GL_MAX_TEXTURE_IMAGE_UNITS_ARB] = 16;
  gl.ints[GL_MAX_TEXTURE_COORDS_ARB] = 8;
  detection d = run(gl);
  EXPECT_EQ(d.r.max_tex_units, 16);
  EXPECT_EQ(d.r.max_tex_image_units, 16);
  EXPECT_EQ(d.r.max_tex_coords, 8);
  EXPECT_TRUE(has_line(d.res.log, "max tex units    : 4 (16/8)"));

  gl.options = {"--no_glsl"};
  d = run(gl);
  EXPECT_EQ(d.r.max_tex_units, 4);

  fake_gl plain;  // without programs the unit count stands for both
  plain.version = "1.3";
  plain.ints[GL_MAX_TEXTURE_UNITS] = 0;
  d = run(plain);
  EXPECT_EQ(d.r.max_tex_units, 1);
  EXPECT_EQ(d.r.max_tex_image_units, 0);
  EXPECT_EQ(d.r.max_tex_coords, 0);
}

TEST(ExtensionDetect, ShaderLimitsQueriedOnlyWhenAvailable) {
  fake_gl gl;
  gl.version = "1.5";
  run(gl);
  for (GLenum p : gl.queried) {
    EXPECT_NE(p, static_cast<GLenum>(GL_MAX_VERTEX_ATTRIBS_ARB));
    EXPECT_NE(p, static_cast<GLenum>(GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB));
  }
  fake_gl sh;
  sh.version = "2.0";
  sh.ints[GL_MAX_VERTEX_ATTRIBS_ARB] = 16;
  sh.ints[GL_MAX_VERTEX_UNIFORM_COMPONENTS_ARB] = 4096;
  sh.ints[GL_MAX_VARYING_FLOATS_ARB] = 60;
  sh.ints[GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS_ARB] = 32;
  sh.ints[GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS_ARB] = 16;
  sh.ints[GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB] = 2048;
  detection d = run(sh);
  EXPECT_TRUE(has_line(d.res.log, "vshader_avail    : 1 (16/4096/60/32/16/2048)"));
  EXPECT_TRUE(has_line(d.res.log, "fshader_avail    : 1 (2048)"));
  EXPECT_TRUE(has_line(d.res.log, "glsl_avail       : 1 (1.20)"));
  sh.glsl = nullptr;
  EXPECT_TRUE(has_line(run(sh).res.log, "glsl_avail       : 1 (<null string>)"));
}

TEST(ExtensionDetect, FullReport) {
  fake_gl gl;
  gl.vendor = "V";
  gl.renderer = "R";
  gl.version = "1.3";
  gl.extensions = "GL_EXT_texture_filter_anisotropic";
  gl.aniso = 2.5f;
  gl.point_hi = 63.5f;
  detection d = run(gl);
  const std::string expected =
      "OpenGL Vendor    : V\n"
      "OpenGL Render    : R\n"
      "OpenGL Version   : 1.3 (130)\n"
      "OpenGL Extensions: GL_EXT_texture_filter_anisotropic\n"
      "tex_clamp_avail  : 1\n"
      "add_env_avail    : 1\n"
      "combine_avail    : 1\n"
      "dis_fog_avail    : 0\n"
      "tex_comp_avail   : 1\n"
      "vbo_avail        : 0\n"
      "pbo_avail        : 0\n"
      "vprog_avail      : 0 (0)\n"
      "fprog_avail      : 0 (0/0/0/0)\n"
      "automini_avail   : 0\n"
      "aniso_avail      : 1\n"
      "fsaa_avail       : 1\n"
      "sprites_avail    : 0\n"
      "depth_tex_avail  : 0\n"
      "occlude_avail    : 0\n"
      "shad_objs_avail  : 0\n"
      "vshader_avail    : 0 (0/0/0/0/0/0)\n"
      "fshader_avail    : 0 (0)\n"
      "gshader_avail    : 0\n"
      "glsl_avail       : 0 (n/a)\n"
      "framebuf_avail   : 0\n"
      "sblend_avail     : 0\n"
      "threaded_avail   : 0\n"
      "first-gen shaders: 0\n"
      "max tex units    : 4 (4/4)\n"
      "max iso filtering: 2.5\n"
      "max texture size : 2048\n"
      "max point size   : 63.5\n";
  EXPECT_EQ(d.res.log, expected);
  EXPECT_EQ(d.ext.max_tex_size, 2048);
  EXPECT_STREQ(d.r.vendor, "V");
  EXPECT_STREQ(d.r.extensions, "GL_EXT_texture_filter_anisotropic");
}

TEST(ExtensionDetect, SoftwareRendererNamesExactly) {
  for (const char* name : {"GENERIC", "Generic", "generic", "Mesa GLX Indirect"}) {
    fake_gl gl;
    gl.renderer = name;
    EXPECT_EQ(run(gl).res.software, 1) << name;
  }
  for (const char* name : {"Generic renderer", "llvmpipe (LLVM 15.0.6, 256 bits)", "GENERI"}) {
    fake_gl gl;
    gl.renderer = name;
    EXPECT_EQ(run(gl).res.software, 0) << name;
  }
}

TEST(ExtensionAlerts, RefusalAndSoftwareAlerts) {
  AlertSink sink;
  OGL_detect_result res;
  res.refuse = 1;
  res.software = 1;
  OGL_extensions::raise_alerts(res);
  auto a = sink.alerts();
  ASSERT_EQ(a.size(), 2u);
  EXPECT_EQ(a[0].type, 1);
  EXPECT_EQ(a[0].line, 590);
  EXPECT_EQ(a[0].file, "DUdurid/OGL/OGL_extensions");
  EXPECT_EQ(a[0].l1,
            "Your graphics hardware cannot support Volarium. Volarium requires a graphics card with 16 MB "
            "of VRAM and multitexturing.");
  EXPECT_EQ(a[0].l2, "Your system does not meet Volarium's hardware requirements.");
  EXPECT_EQ(a[1].type, 1);
  EXPECT_EQ(a[1].line, 601);
  EXPECT_EQ(a[1].l2, "I will still let you run the simulator, but the frame rate will NOT allow for a good simulation.");

  sink.clear();
  OGL_extensions::raise_alerts(OGL_detect_result{});
  EXPECT_EQ(sink.count(), 0u);
}

TEST(ExtensionAlertsDeathTest, RefusalIsFatal) {
  OGL_detect_result res;
  res.refuse = 2;
  EXPECT_EXIT(OGL_extensions::raise_alerts(res), ::testing::ExitedWithCode(1),
              "cannot support Volarium(.|\n)*First, try updating your graphics drivers");
}

TEST(ExtensionAlerts, ThreadedFailureAlertsOnce) {
  AlertSink sink;
  OGL_extensions e;
  e.threaded_ogl_failed();
  EXPECT_EQ(e.threaded_avail, 0);
  e.threaded_ogl_failed();
  auto a = sink.alerts();
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].type, 1);
  EXPECT_EQ(a[0].line, 637);
  EXPECT_EQ(a[0].l1, "There was a problem setting up OpenGL.");
  EXPECT_EQ(a[0].l3, "");
  EXPECT_EQ(a[0].l4, "(Please send your log.txt file to Tarrowind for debugging purposes.)");
}
