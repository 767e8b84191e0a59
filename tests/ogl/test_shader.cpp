// Shader programs on a real context, from files in a scratch "Resources/shaders/": a GLSL program
// draws its uniform colour, the Linux prefix and #version handling, variant families, assembly
// programs, compile errors with their log and alert, the reload loops, and the fatal misuse.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "alert_sink.h"
#include "file_bytes.h"
#include "foundation/cmdline.h"
#include "foundation/globals.h"
#include "foundation/stats.h"
#include "gl_fixture.h"
#include "scratch_dir.h"
#include "ogl/extensions.h"
#include "ogl/shader.h"

namespace fs = std::filesystem;
using test_support::read_bytes;
using test_support::write_bytes;

namespace {

const char* const kVert = "void main() { gl_Position = ftransform(); }\n";
const char* const kTint = "uniform vec4 tint;\nvoid main() { gl_FragColor = tint; }\n";

class Shader : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    {
      AlertSink quiet;
      glExt.init_extensions();
    }
    ASSERT_EQ(glExt.shad_objs_avail, 1);
    ASSERT_EQ(glExt.fprog_avail, 1);
    fs::create_directories(root_ / kShaderFolder);
    saved_app_path_ = app_path;
    app_path = root_.path().string() + "/";
    log_path_ = (root_ / "log.txt").string();
    xer.open(log_path_, std::ios::trunc);
    glExt.first_gen_shaders = 0;
    clear();
  }
  void TearDown() override {
    OGL_shader::unbind_shaders();
    OGL_shader_prog::unbind_shaders();
    xer.close();
    app_path = saved_app_path_;
    cmdline.options.erase("--fps_test");
  }
  void file(const std::string& name, const std::string& text) {
    write_bytes((root_ / kShaderFolder / name).string(), text);
  }
  std::string log() {
    xer.flush();
    return read_bytes(log_path_);
  }
  // A quad over the window's middle, then the colour at its centre.
  static std::array<int, 3> draw_and_read() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glBegin(GL_QUADS);
    glVertex2f(100, 80);
    glVertex2f(220, 80);
    glVertex2f(220, 160);
    glVertex2f(100, 160);
    glEnd();
    const auto px = read_back();
    const unsigned char* p = at(px, 160, 120);
    return {p[0], p[1], p[2]};
  }

  test_support::Scratch root_{"shader_tests"};
  std::string saved_app_path_;
  std::string log_path_;
};

int near(int a, int b) { return a - b <= 1 && b - a <= 1; }

std::string g_mend_path, g_mend_text;
int g_mended = 0;
// An alert that "waits for the user", who mends the file meanwhile.
void mend_on_alert(int, std::string, std::string, std::string, std::string, int type, const char*, int) {
  ASSERT_NE(type, t_exit);
  ++g_mended;
  write_bytes(g_mend_path, g_mend_text);
}

}  // namespace

TEST_F(Shader, GlslProgramDrawsItsUniformColour) {
  file("flat.vsh", kVert);
  file("flat.fsh", kTint);
  const char* uniforms[] = {"tint", "not_there", nullptr};
  OGL_shader s("flat.vsh", "flat.fsh", nullptr, uniforms);
  ASSERT_EQ(s.uniform_locs.size(), 2u);
  EXPECT_GE(s.get_uniform_loc(0), 0);
  EXPECT_EQ(s.get_uniform_loc(1), -1) << "a name the program does not use";
  EXPECT_THROW(s.get_uniform_loc(2), std::out_of_range);

  s.bind();
  EXPECT_EQ(OGL_shader::current_shader, &s);
  glExt.glUniform4fARB(GLint(s.get_uniform_loc(0)), 0.2f, 0.4f, 0.6f, 1.0f);
  auto c = draw_and_read();
  EXPECT_TRUE(near(c[0], 51) && near(c[1], 102) && near(c[2], 153)) << c[0] << " " << c[1] << " " << c[2];
  OGL_shader::unbind_shaders();
  EXPECT_EQ(OGL_shader::current_shader, nullptr);
  GLint current = -1;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  EXPECT_EQ(current, 0);

  OGL_shader empty(std::string("flat.vsh"), std::string("flat.fsh"), "", {});
  EXPECT_TRUE(empty.uniform_locs.empty());
  EXPECT_THROW(empty.get_uniform_loc(0), std::out_of_range);
}

TEST_F(Shader, LinuxPrefixAndAVersionLineFirst) {
  file("plain.vsh", kVert);
  // #version must stay the first line: the prefixes go after it.
  file("defs.fsh",
       "#version 120\n"
       "void main() { gl_FragColor = vec4(float(LIN), float(APL + IBM) + float(LIMITED), float(EXTRA) / 2.0, 1.0); }\n");
  {
    OGL_shader s("plain.vsh", "defs.fsh", "#define EXTRA 1\n", nullptr);
    s.bind();
    auto c = draw_and_read();
    EXPECT_EQ(c[0], 255);
    EXPECT_EQ(c[1], 0);
    EXPECT_TRUE(near(c[2], 128)) << c[2];
  }
  glExt.first_gen_shaders = 1;
  OGL_shader limited("plain.vsh", "defs.fsh", "#define EXTRA 0\n", nullptr);
  limited.bind();
  auto c = draw_and_read();
  EXPECT_EQ(c[1], 255) << "LIMITED is 1 on first-generation hardware";
  EXPECT_EQ(c[2], 0);

  // What may come before #version in a valid file (a failure to compile is fatal); the body needs 1.20.
  glExt.first_gen_shaders = 0;
  const char* const kBody = "#version 120\nvoid main() { mat2x3 m = mat2x3(1.0); gl_FragColor = vec4(m[0], 1.0); }";
  for (const char* lead : {"// flat colour\n", "\n\n", "   \t", "\xEF\xBB\xBF", "\xEF\xBB\xBF/* two\n lines */ \r\n",
                           "/* #version 999 */\n"}) {
    file("lead.fsh", std::string(lead) + kBody);  // no line feed at the end either
    OGL_shader s("plain.vsh", "lead.fsh", nullptr, nullptr);
    s.bind();
    EXPECT_EQ(draw_and_read(), (std::array<int, 3>{255, 0, 0})) << lead;
  }
}

TEST_F(Shader, VariantsCarryTheirDefineLines) {
  file("v.vsh", kVert);
  file("v.fsh", "uniform float gain;\nvoid main() { gl_FragColor = vec4(float(RED_ON) * gain, float(GREEN_LEVEL) / 2.0, 0.0, 1.0); }\n");
  const char* conditions[] = {"RED_ON", "GREEN_LEVEL", nullptr};
  const int counts[] = {2, 3};
  const char* uniforms[] = {"gain", nullptr};
  OGL_shader_conditional family("v.vsh", "v.fsh", uniforms, conditions, counts, nullptr);
  ASSERT_EQ(family.variant_count(), 6);
  EXPECT_EQ(family.variant_prefix(5), "#define RED_ON 1\n#define GREEN_LEVEL 2\n");
  const size_t registered = OGL_shader::shaders.size();
  for (int id = 0; id < 6; ++id) {
    SCOPED_TRACE(id);
    int values[2] = {-1, -1};
    EXPECT_EQ(family.flags_from_id(id, values), 2);
    EXPECT_EQ(values[0], id % 2);
    EXPECT_EQ(values[1], id / 2);
    EXPECT_EQ(family.id_from_flags(values), id);
    family.bind(id);
    glExt.glUniform1fARB(GLint(family.get_uniform_loc(id, 0)), 1.0f);
    auto c = draw_and_read();
    EXPECT_EQ(c[0], (id % 2) * 255);
    EXPECT_TRUE(near(c[1], (id / 2) * 255 / 2)) << c[1];
  }
  EXPECT_EQ(OGL_shader::shaders.size(), registered + 6);

  // Rebuilding a built variant replaces it: the old one is unbound and unregistered.
  OGL_shader* old = family.variants[5];
  ASSERT_EQ(OGL_shader::current_shader, old);
  family.build(5);
  EXPECT_NE(family.variants[5], nullptr);
  EXPECT_EQ(OGL_shader::shaders.size(), registered + 6);
  EXPECT_EQ(OGL_shader::current_shader, nullptr);
  family.bind(5);
  EXPECT_EQ(OGL_shader::current_shader, family.variants[5]);
}

TEST_F(Shader, VariantNumbering) {
  file("v.vsh", kVert);
  file("v.fsh", "void main() { gl_FragColor = vec4(1.0); }\n");
  const char* three[] = {"A", "B", "C", nullptr};
  OGL_shader_conditional binary("v.vsh", "v.fsh", nullptr, three, nullptr, nullptr);
  EXPECT_EQ(binary.variant_count(), 8) << "no counts: every condition takes 0 and 1";
  EXPECT_EQ(binary.variant_prefix(6), "#define A 0\n#define B 1\n#define C 1\n");

  const char* two[] = {"X", "Y", nullptr};
  const int counts[] = {3, 2};
  OGL_shader_conditional mixed("v.vsh", "v.fsh", nullptr, two, counts, "#define K 4\n");
  int values[2] = {2, 1};
  EXPECT_EQ(mixed.id_from_flags(values), 5);
  EXPECT_EQ(mixed.variant_prefix(5), "#define K 4\n#define X 2\n#define Y 1\n");

  OGL_shader_conditional none("v.vsh", "v.fsh", nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(none.variant_count(), 1);
  EXPECT_EQ(none.id_from_flags(values), 0);
  none.build(0);
  EXPECT_EQ(none.variants[0]->prefix, "// no prefix\n");
}

TEST_F(Shader, AssemblyFragmentProgramDrawsGreen) {
  file("green.fp", "!!ARBfp1.0\nMOV result.color, {0.0, 1.0, 0.0, 1.0};\nEND\n");
  file("pass.vp", "!!ARBvp1.0\nDP4 result.position.x, state.matrix.mvp.row[0], vertex.position;\n"
                  "DP4 result.position.y, state.matrix.mvp.row[1], vertex.position;\n"
                  "DP4 result.position.z, state.matrix.mvp.row[2], vertex.position;\n"
                  "DP4 result.position.w, state.matrix.mvp.row[3], vertex.position;\n"
                  "MOV result.color, vertex.color;\nEND\n");
  AlertSink sink;
  auto* frag = new OGL_shader_prog(0, "green.fp");
  OGL_shader_prog vert(1, "pass.vp");
  EXPECT_EQ(sink.count(), 0u);
  frag->bind();
  vert.bind();
  EXPECT_TRUE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
  glColor3f(1, 0, 0);
  auto c = draw_and_read();
  EXPECT_EQ(c[0], 0);
  EXPECT_EQ(c[1], 255);
  EXPECT_EQ(c[2], 0);
  // Destroying the current fragment program releases both targets.
  delete frag;
  EXPECT_EQ(OGL_shader_prog::current_shader[0], nullptr);
  EXPECT_EQ(OGL_shader_prog::current_shader[1], nullptr);
  EXPECT_FALSE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_PROGRAM_ARB));
  c = draw_and_read();
  EXPECT_EQ(c[0], 255) << "fixed function again";
}

TEST_F(Shader, AssemblyErrorsWithAndWithoutAPosition) {
  file("green.fp", "!!ARBfp1.0\nMOV result.color, {0.0, 1.0, 0.0, 1.0};\nEND\n");
  AlertSink sink;
  // A stale error left by other code: one quiet retry, no alert.
  glEnable(GLenum(0xBAD));
  { OGL_shader_prog p(0, "green.fp"); }
  EXPECT_EQ(sink.count(), 0u);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

  // An error without a position that does not go away: retried once from disk, then told.
  static int calls;
  static PFNGLPROGRAMSTRINGARBPROC real;
  calls = 0;
  real = glExt.glProgramStringARB;
  glExt.glProgramStringARB = [](GLenum t, GLenum f, GLsizei n, const void* s) {
    ++calls;
    real(t, f, n, s);
    glEnable(GLenum(0xBAD));
  };
  { OGL_shader_prog p(0, "green.fp"); }
  glExt.glProgramStringARB = real;
  EXPECT_EQ(calls, 2);
  ASSERT_EQ(sink.count(), 1u);
  EXPECT_EQ(sink.alerts()[0].l1, "There was an error with your fragment program");
  EXPECT_EQ(sink.alerts()[0].l2, "-1.000000");
  EXPECT_EQ(sink.alerts()[0].type, t_alert);
  EXPECT_EQ(sink.alerts()[0].line, 421);

  // A positioned error where alerts do not wait: one alert, then it returns.
  sink.clear();
  cmdline.options["--fps_test"] = "";
  file("bad.fp", "!!ARBfp1.0\nMOV result.color, {0.0, 1.0 ;\nEND\n");
  { OGL_shader_prog p(0, "bad.fp"); }
  ASSERT_EQ(sink.count(), 1u);
  EXPECT_NE(sink.alerts()[0].l2, "-1.000000");
  EXPECT_FALSE(sink.alerts()[0].l4.empty()) << "the driver's error text";
  EXPECT_NE(log().find("Gave up loading Resources/shaders/bad.fp"), std::string::npos);
}

TEST_F(Shader, CompileErrorIsLoggedAndInteractiveReloadReturnsUnderFpsTest) {
  file("r.vsh", kVert);
  file("r.fsh", kTint);
  const char* uniforms[] = {"tint", nullptr};
  OGL_shader s("r.vsh", "r.fsh", "#define MINE 1\n", uniforms);
  EXPECT_GE(s.get_uniform_loc(0), 0);

  file("r.fsh", "uniform vec4 tint;\nvoid main() { gl_FragColor = tint +; }\n");
  cmdline.options["--fps_test"] = "";
  AlertSink sink;
  s.reload(1);
  ASSERT_EQ(sink.count(), 1u) << "one failed pass, then it gives up";
  const recorded_alert a = sink.alerts()[0];
  EXPECT_EQ(a.l1, "There was a problem processing a GLSL pixel shader.");
  EXPECT_EQ(a.l3, "Resources/shaders/r.vsh");
  EXPECT_EQ(a.l4, "Resources/shaders/r.fsh");
  EXPECT_EQ(a.type, t_alert);
  EXPECT_EQ(a.line, 219);
  EXPECT_EQ(s.get_uniform_loc(0), -1) << "the failed program's locations";
  const std::string text = log();
  EXPECT_NE(text.find("=====Resources/shaders/r.fsh=====\n   (prefix:\n#define APL 0\n#define IBM 0\n"
                      "#define LIN 1\n#define LIMITED 0\n#define MINE 1\nend prefix)\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("=====Resources/shaders/r.vsh+Resources/shaders/r.fsh====="), std::string::npos);
  EXPECT_EQ(text.find("=====Resources/shaders/r.vsh=====\n"), std::string::npos) << "the good one is not logged";
  EXPECT_NE(text.find("Gave up reloading"), std::string::npos);
}

TEST_F(Shader, InteractiveReloadReadsTheFilesAgainUntilTheyBuild) {
  file("r.vsh", kVert);
  file("r.fsh", "void main() { gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0); }\n");
  OGL_shader s("r.vsh", "r.fsh", nullptr, nullptr);
  file("r.fsh", "void main() { gl_FragColor = broken; }\n");
  g_mend_path = (root_ / kShaderFolder / "r.fsh").string();
  g_mend_text = "void main() { gl_FragColor = vec4(0.0, 0.0, 1.0, 1.0); }\n";
  g_mended = 0;
  alert_hook_fn before = ZARIRU_set_alert_hook(mend_on_alert);
  s.reload(1);
  ZARIRU_set_alert_hook(before);
  EXPECT_EQ(g_mended, 1);
  s.bind();
  auto c = draw_and_read();
  EXPECT_EQ(c[0], 0);
  EXPECT_EQ(c[2], 255);

  // The remote command reloads every GLSL program from disk.
  file("r.fsh", "void main() { gl_FragColor = vec4(0.0, 1.0, 0.0, 1.0); }\n");
  UTL_remote_cmd* cmd = nullptr;
  for (UTL_remote_cmd* r = UTL_remote_cmd::list(); r; r = r->next)
    if (std::string(r->name) == "Reload Pixel Shaders...") cmd = r;
  ASSERT_NE(cmd, nullptr);
  UTL_remote_cmd::invoke(nullptr, cmd->id);
  c = draw_and_read();
  EXPECT_EQ(c[1], 255);
  EXPECT_EQ(c[2], 0);
}

using ShaderDeathTest = Shader;

TEST_F(ShaderDeathTest, FailuresThatEndTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  file("ok.vsh", kVert);
  file("bad.fsh", "void main() { gl_FragColor = ; }\n");
  file("ok.fsh", kTint);
  EXPECT_EXIT(OGL_shader("ok.vsh", "bad.fsh", nullptr, nullptr), testing::ExitedWithCode(1),
              "There was a problem processing a GLSL pixel shader.");
  EXPECT_EXIT(OGL_shader("ok.vsh", "missing.fsh", nullptr, nullptr), testing::ExitedWithCode(1),
              "We were unable to load the shader file:\nResources/shaders/missing.fsh");
  EXPECT_EXIT(OGL_shader_prog(0, "missing.fp"), testing::ExitedWithCode(1), "Unable to load shader");
  EXPECT_EXIT(
      {
        glExt.glCreateProgramObjectARB = nullptr;
        OGL_shader("ok.vsh", "ok.fsh", nullptr, nullptr);
      },
      testing::ExitedWithCode(1), "GLSL shader objects");
  EXPECT_EXIT(
      {
        glExt.glProgramStringARB = nullptr;
        OGL_shader_prog(0, "x.fp");
      },
      testing::ExitedWithCode(1), "assembly fragment programs");
  const char* c1[] = {"A", nullptr};
  EXPECT_EXIT(
      {
        OGL_shader_conditional f("ok.vsh", "ok.fsh", nullptr, c1, nullptr, nullptr);
        f.bind(2);
      },
      testing::ExitedWithCode(1), "Variant 2 is outside the family of 2");
  EXPECT_EXIT(
      {
        OGL_shader_conditional f("ok.vsh", "ok.fsh", nullptr, c1, nullptr, nullptr);
        f.build(0);
        f.get_uniform_loc(1, 0);
      },
      testing::ExitedWithCode(1), "never built");
}
