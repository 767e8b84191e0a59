// Shader programs: GLSL pairs and their variant families, assembly programs, the registries that
// let every program be reloaded from disk while running, and the remote reload command.
#include "ogl/shader.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "files/xmap.h"
#include "foundation/alert.h"
#include "foundation/cmdline.h"
#include "foundation/globals.h"
#include "foundation/stats.h"
#include "ogl/extensions.h"

namespace {

const char* const kSrc = "DUdurid/OGL/OGL_shader";

const GLenum shader_types[2] = {GL_FRAGMENT_PROGRAM_ARB, GL_VERTEX_PROGRAM_ARB};

UTL_remote_cmd cmd_do_pick_tex("Reload Pixel Shaders...", do_reload);

// With "--fps_test" (the only way to run without a display) alerts are logged and return at
// once, so a loop that waits for the user to mend a file would never end.
bool alerts_wait() { return !cmdline.has_option("--fps_test"); }

std::string fmt_f(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%f", v);
  stl_global = buf;
  return stl_global;
}

// The end of the "#version" line that opens a shader source (after its line feed), or begin
// when there is none. Only white space and comments may come before the directive.
const char* after_version_line(const char* begin, const char* end) {
  const char* p = begin;
  while (p < end) {
    if (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\f' || *p == '\v') {
      ++p;
    } else if (end - p >= 2 && p[0] == '/' && p[1] == '/') {
      while (p < end && *p != '\n') ++p;
    } else if (end - p >= 2 && p[0] == '/' && p[1] == '*') {
      p += 2;
      while (p < end && !(end - p >= 2 && p[0] == '*' && p[1] == '/')) ++p;
      if (p == end) return begin;
      p += 2;
    } else {
      break;
    }
  }
  if (p == end || *p != '#') return begin;
  ++p;
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  static const char kWord[] = "version";
  const long n = sizeof kWord - 1;
  if (end - p <= n || std::string_view(p, size_t(n)) != kWord || (p[n] != ' ' && p[n] != '\t')) return begin;
  while (p < end && *p != '\n') ++p;
  return p < end ? p + 1 : p;
}

void bad_argument(const std::string& what, int line) {
  __ZARIRU_alert(0, "Bad argument to a shader program:", what, "", "", t_exit, kSrc, line);
}

// A fatal alert naming the capability instead of a call through a null entry point.
void need(bool present, const char* capability, int line) {
  if (!present)
    __ZARIRU_alert(0, "This OpenGL driver lacks a capability that a shader needs:", capability, "",
                   "You may need to update your graphics drivers.", t_exit, kSrc, line);
}

void log_shader_obj(const std::string& name, const std::string& prefix, GLhandleARB object) {
  GLint length = 0;
  glExt.glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
  if (length < 0) length = 0;
  std::string text(size_t(length) + 1, '\0');
  GLsizei written = 0;
  glExt.glGetInfoLogARB(object, length, &written, text.data());
  if (written < 0) written = 0;
  text.resize(size_t(std::min<GLint>(written, length)));
  xer << "=====" << name << "=====\n";
  xer << "   (prefix:\n" << prefix << "end prefix)\n";
  xer << text << "\n";
  xer.flush();
}

}  // namespace

OGL_shader* OGL_shader::current_shader = nullptr;
std::set<OGL_shader*> OGL_shader::shaders;
OGL_shader_prog* OGL_shader_prog::current_shader[2] = {nullptr, nullptr};
std::set<OGL_shader_prog*> OGL_shader_prog::shaders;

void do_reload() { OGL_shader::reload_all_shaders(1); }

// ---------------------------------------------------------------------------------------------
// GLSL programs

OGL_shader::OGL_shader(const std::string& vertex_file, const std::string& fragment_file, const char* prefix_text,
                       const std::vector<std::string>& uniforms)
    : uniform_names(uniforms) {
  init(vertex_file, fragment_file, prefix_text);
}

OGL_shader::OGL_shader(const char* vertex_file, const char* fragment_file, const char* prefix_text,
                       const char** uniforms) {
  for (const char** u = uniforms; u && *u; ++u) uniform_names.emplace_back(*u);
  init(vertex_file ? vertex_file : "", fragment_file ? fragment_file : "", prefix_text);
}

void OGL_shader::init(const std::string& vertex_file, const std::string& fragment_file, const char* prefix_text) {
  need(glExt.glCreateProgramObjectARB && glExt.glCreateShaderObjectARB && glExt.glShaderSourceARB &&
           glExt.glCompileShaderARB && glExt.glAttachObjectARB && glExt.glDetachObjectARB &&
           glExt.glDeleteObjectARB && glExt.glLinkProgramARB && glExt.glUseProgramObjectARB &&
           glExt.glGetObjectParameterivARB && glExt.glGetInfoLogARB && glExt.glGetUniformLocationARB,
       "GLSL shader objects (GL_ARB_shader_objects)", __LINE__);
  shaders.insert(this);
  vertex_path = kShaderFolder + vertex_file;
  fragment_path = kShaderFolder + fragment_file;
  prefix = prefix_text && *prefix_text ? prefix_text : "// no prefix\n";
  program = glExt.glCreateProgramObjectARB();
  vertex_shader = 0;
  fragment_shader = 0;
  uniform_locs.assign(uniform_names.size(), 0);
  reload(0);
}

OGL_shader::~OGL_shader() {
  shaders.erase(this);
  if (current_shader == this) unbind_shaders();
  if (fragment_shader) glExt.glDeleteObjectARB(fragment_shader);
  if (vertex_shader) glExt.glDeleteObjectARB(vertex_shader);
  glExt.glDeleteObjectARB(program);
}

int OGL_shader::compile_one(unsigned int& object, unsigned int kind, const std::string& path, int alert_line,
                            const std::string& common) {
  if (object) {
    glExt.glDetachObjectARB(program, object);
    glExt.glDeleteObjectARB(object);
  }
  object = glExt.glCreateShaderObjectARB(kind);
  xmap_class file(path);
  if (!file.begin)
    __ZARIRU_alert(0, "We were unable to load the shader file:", path, "",
                   "Re-run the Volarium installer/updater to correct this problem.", t_exit, kSrc, alert_line);
  // The compiler takes no byte-order mark, and a #version line must come before anything but
  // comments: the source up to that line goes ahead of the prefixes.
  const char* start = file.begin;
  if (file.end - start >= 3 && std::string_view(start, 3) == "\xEF\xBB\xBF") start += 3;
  const char* body = after_version_line(start, file.end);
  std::string version(start, body);
  if (!version.empty() && version.back() != '\n') version += '\n';
  const GLcharARB* strings[4] = {version.c_str(), common.c_str(), prefix.c_str(), body};
  const GLint lengths[4] = {GLint(version.size()), GLint(common.size()), GLint(prefix.size()),
                            GLint(file.end - body)};
  glExt.glShaderSourceARB(object, 4, strings, lengths);
  glExt.glCompileShaderARB(object);
  GLint ok = 0;
  glExt.glGetObjectParameterivARB(object, GL_OBJECT_COMPILE_STATUS_ARB, &ok);
  if (!ok) log_shader_obj(path, common + prefix, object);
  glExt.glAttachObjectARB(program, object);
  return ok ? 1 : 0;
}

void OGL_shader::reload(int interactive) {
  std::string common = "#define APL 0\n#define IBM 0\n#define LIN 1\n";
  common += glExt.first_gen_shaders ? "#define LIMITED 1\n" : "#define LIMITED 0\n";
  for (;;) {
    int good = compile_one(vertex_shader, GL_VERTEX_SHADER_ARB, vertex_path, 151, common);
    good &= compile_one(fragment_shader, GL_FRAGMENT_SHADER_ARB, fragment_path, 175, common);
    glExt.glLinkProgramARB(program);
    GLint linked = 0;
    glExt.glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    if (!linked) {
      log_shader_obj(vertex_path + "+" + fragment_path, common + prefix, program);
      good = 0;
    }
    for (size_t i = 0; i < uniform_names.size(); ++i)
      uniform_locs[i] = glExt.glGetUniformLocationARB(program, uniform_names[i].c_str());
    if (good) return;
    __ZARIRU_alert(0, "There was a problem processing a GLSL pixel shader.",
                   "You may need to rerun the installer or update your graphics drivers.", vertex_path,
                   fragment_path, interactive ? t_alert : t_exit, kSrc, 219);
    if (!interactive) return;
    if (!alerts_wait()) {
      xer << "Gave up reloading " << vertex_path << "+" << fragment_path
          << " after one failed pass: alerts do not wait for the user here.\n";
      xer.flush();
      return;
    }
  }
}

void OGL_shader::reload_all_shaders(int interactive) {
  // A copy: a failing reload's alert may run frames that create or destroy programs.
  const std::set<OGL_shader*> all = shaders;
  for (OGL_shader* s : all)
    if (shaders.count(s)) s->reload(interactive);
}

void OGL_shader::bind() {
  if (current_shader == this) return;
  glExt.glUseProgramObjectARB(program);
  current_shader = this;
}

void OGL_shader::unbind_shaders() {
  if (!current_shader) return;
  glExt.glUseProgramObjectARB(0);
  current_shader = nullptr;
}

long OGL_shader::get_uniform_loc(int index) const { return uniform_locs.at(size_t(index)); }

// ---------------------------------------------------------------------------------------------
// Families of variants

OGL_shader_conditional::OGL_shader_conditional(const char* vertex, const char* fragment, const char** uniforms,
                                               const char** conditions, const int* counts, const char* prefix_text)
    : prefix(prefix_text ? prefix_text : ""), vertex_file(vertex ? vertex : ""), fragment_file(fragment ? fragment : "") {
  size_t n = 1;
  for (int i = 0; conditions && conditions[i]; ++i) {
    const int count = counts ? counts[i] : 2;
    if (count < 1) bad_argument("A condition must take at least one value: " + std::string(conditions[i]), __LINE__);
    condition_names.emplace_back(conditions[i]);
    condition_counts.push_back(count);
    n *= size_t(count);
    if (n > 65536) bad_argument("Too many shader variants.", __LINE__);
  }
  for (const char** u = uniforms; u && *u; ++u) uniform_names.emplace_back(*u);
  variants.assign(n, nullptr);
}

OGL_shader_conditional::~OGL_shader_conditional() {
  for (OGL_shader*& v : variants) {
    delete v;
    v = nullptr;
  }
}

void OGL_shader_conditional::check_id(int id, int line) const {
  if (id < 0 || id >= int(variants.size()))
    bad_argument("Variant " + std::to_string(id) + " is outside the family of " +
                     std::to_string(variants.size()) + ".",
                 line);
}

std::string OGL_shader_conditional::variant_prefix(int id) const {
  check_id(id, __LINE__);
  std::string text = prefix;
  for (size_t i = 0; i < condition_names.size(); ++i) {
    text += "#define " + condition_names[i] + " " + std::to_string(id % condition_counts[i]) + "\n";
    id /= condition_counts[i];
  }
  return text;
}

void OGL_shader_conditional::build(int id) {
  check_id(id, __LINE__);
  // The old variant goes first: it is still registered and may be the current program.
  delete variants[size_t(id)];
  variants[size_t(id)] = nullptr;
  const std::string text = variant_prefix(id);
  variants[size_t(id)] = new OGL_shader(vertex_file, fragment_file, text.c_str(), uniform_names);
}

void OGL_shader_conditional::bind(int id) {
  check_id(id, __LINE__);
  if (!variants[size_t(id)]) build(id);
  variants[size_t(id)]->bind();
}

long OGL_shader_conditional::get_uniform_loc(int id, int index) const {
  check_id(id, __LINE__);
  if (!variants[size_t(id)])
    bad_argument("Uniform look-up on variant " + std::to_string(id) + ", which was never built.", __LINE__);
  return variants[size_t(id)]->get_uniform_loc(index);
}

int OGL_shader_conditional::id_from_flags(int* values) {
  int id = 0;
  for (size_t i = condition_counts.size(); i-- > 0;) id = id * condition_counts[i] + values[i];
  return id;
}

int OGL_shader_conditional::flags_from_id(int id, int* values) {
  for (size_t i = 0; i < condition_counts.size(); ++i) {
    values[i] = id % condition_counts[i];
    id /= condition_counts[i];
  }
  return int(condition_counts.size());
}

// ---------------------------------------------------------------------------------------------
// Assembly programs

OGL_shader_prog::OGL_shader_prog(int type_, const char* file) : program(0), type(type_) {
  if (type != 0 && type != 1) bad_argument("Program type " + std::to_string(type) + " is neither 0 nor 1.", __LINE__);
  need(glExt.glGenProgramsARB && glExt.glBindProgramARB && glExt.glProgramStringARB && glExt.glGetProgramivARB &&
           glExt.glDeleteProgramsARB,
       type ? "assembly vertex programs (GL_ARB_vertex_program)" : "assembly fragment programs (GL_ARB_fragment_program)",
       __LINE__);
  shaders.insert(this);
  GLuint name = 0;
  glExt.glGenProgramsARB(1, &name);
  program = name;
  path = std::string(kShaderFolder) + (file ? file : "");
  reload(0);
}

OGL_shader_prog::~OGL_shader_prog() {
  if (current_shader[type] == this) unbind_shaders();
  GLuint name = program;
  glExt.glDeleteProgramsARB(1, &name);
  shaders.erase(this);
}

void OGL_shader_prog::reload(int) {
  const GLenum target = shader_types[type];
  glExt.glBindProgramARB(target, program);
  xmap_class file(path);
  int retried_unplaced = 0;
  for (;;) {
    if (!file.begin)
      __ZARIRU_alert(0, "Unable to load shader", path, "", "You may need to reinstall Volarium.", t_exit, kSrc, 407);
    glExt.glProgramStringARB(target, GL_PROGRAM_FORMAT_ASCII_ARB, GLsizei(file.end - file.begin), file.begin);
    if (glGetError() == GL_NO_ERROR) break;
    GLint position = -1;
    glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &position);
    // An error without a position may be a stale one left by other code: one quiet retry.
    if (position == -1 && !retried_unplaced) {
      retried_unplaced = 1;
      file.retry(path);
      continue;
    }
    const char* error = reinterpret_cast<const char*>(glGetString(GL_PROGRAM_ERROR_STRING_ARB));
    __ZARIRU_alert(0, "There was an error with your fragment program", fmt_f(position), "", error ? error : "",
                   t_alert, kSrc, 421);
    if (position == -1 || !alerts_wait()) {
      xer << "Gave up loading " << path << " after a failed pass.\n";
      xer.flush();
      break;
    }
    file.retry(path);
  }
  GLint native = 1;
  glExt.glGetProgramivARB(target, GL_PROGRAM_UNDER_NATIVE_LIMITS_ARB, &native);
  if (native == 0) {
    xer << "Warning: pixel shader " << path << " not under native limits.\n";
    xer.flush();
  }
  glExt.glBindProgramARB(target, current_shader[type] ? current_shader[type]->program : 0);
}

void OGL_shader_prog::reload_all_shaders(int interactive) {
  const std::set<OGL_shader_prog*> all = shaders;
  for (OGL_shader_prog* s : all)
    if (shaders.count(s)) s->reload(interactive);
}

void OGL_shader_prog::bind() {
  if (current_shader[type] == this) return;
  glEnable(shader_types[type]);
  glExt.glBindProgramARB(shader_types[type], program);
  current_shader[type] = this;
}

void OGL_shader_prog::unbind_shaders() {
  for (int t = 0; t < 2; ++t) {
    if (!current_shader[t]) continue;
    glDisable(shader_types[t]);
    glExt.glBindProgramARB(shader_types[t], 0);
    current_shader[t] = nullptr;
  }
}
