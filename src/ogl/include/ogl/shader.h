// Shader programs read from "Resources/shaders/": GLSL vertex + fragment pairs with a prefix of
// #define lines (OGL_shader), families of GLSL variants built on first use (OGL_shader_conditional)
// and assembly vertex or fragment programs (OGL_shader_prog). Every object can be reloaded from
// disk while the program runs; the remote command "Reload Pixel Shaders..." reloads the GLSL ones.
#pragma once
#include <set>
#include <string>
#include <vector>

// Where the shader files live, relative to the program's root.
inline constexpr const char* kShaderFolder = "Resources/shaders/";

class OGL_shader {
 public:
  OGL_shader(const std::string& vertex_file, const std::string& fragment_file, const char* prefix,
             const std::vector<std::string>& uniforms);
  // `uniforms` is ended by a null pointer; a null list means none.
  OGL_shader(const char* vertex_file, const char* fragment_file, const char* prefix, const char** uniforms);
  ~OGL_shader();
  OGL_shader(const OGL_shader&) = delete;
  OGL_shader& operator=(const OGL_shader&) = delete;

  // Compiles and links both files from disk. Not interactive: a failure is fatal. Interactive:
  // the user is told and the files are read again until they build; where alerts do not wait
  // ("--fps_test") it gives up after one failed pass.
  void reload(int interactive);
  static void reload_all_shaders(int interactive);

  void bind();
  static void unbind_shaders();
  // The location of the uniform named at `index`; std::out_of_range outside the list.
  long get_uniform_loc(int index) const;

  unsigned int program;
  unsigned int vertex_shader;
  unsigned int fragment_shader;
  std::string vertex_path;
  std::string fragment_path;
  std::string prefix;
  std::vector<std::string> uniform_names;
  std::vector<long> uniform_locs;

  static OGL_shader* current_shader;
  static std::set<OGL_shader*> shaders;

 private:
  void init(const std::string& vertex_file, const std::string& fragment_file, const char* prefix_text);
  int compile_one(unsigned int& object, unsigned int kind, const std::string& path, int alert_line,
                  const std::string& common);
};

class OGL_shader_conditional {
 public:
  // `uniforms` and `conditions` are ended by a null pointer; `counts` gives each condition's
  // number of values (2 each when null).
  OGL_shader_conditional(const char* vertex_file, const char* fragment_file, const char** uniforms,
                         const char** conditions, const int* counts, const char* prefix);
  ~OGL_shader_conditional();
  OGL_shader_conditional(const OGL_shader_conditional&) = delete;
  OGL_shader_conditional& operator=(const OGL_shader_conditional&) = delete;

  // Builds variant `id` (replacing a variant built before); an id outside the family is fatal.
  void build(int id);
  void bind(int id);
  // Of a built variant; an unbuilt one or an id outside the family is fatal.
  long get_uniform_loc(int id, int index) const;
  int id_from_flags(int* values);
  int flags_from_id(int id, int* values);
  int variant_count() const { return int(variants.size()); }
  // The #define text variant `id` is built with (the caller's prefix, then one line per condition).
  std::string variant_prefix(int id) const;

  std::string prefix;
  std::string vertex_file;
  std::string fragment_file;
  std::vector<std::string> uniform_names;
  std::vector<std::string> condition_names;
  std::vector<int> condition_counts;
  std::vector<OGL_shader*> variants;

 private:
  void check_id(int id, int line) const;
};

class OGL_shader_prog {
 public:
  // type 0: fragment program; 1: vertex program.
  OGL_shader_prog(int type, const char* file);
  ~OGL_shader_prog();
  OGL_shader_prog(const OGL_shader_prog&) = delete;
  OGL_shader_prog& operator=(const OGL_shader_prog&) = delete;

  void reload(int interactive);
  static void reload_all_shaders(int interactive);
  void bind();
  static void unbind_shaders();

  unsigned int program;
  int type;
  std::string path;

  static OGL_shader_prog* current_shader[2];
  static std::set<OGL_shader_prog*> shaders;
};

// The remote command's callback: reloads every GLSL program, interactively.
void do_reload();
