// The 3-D helpers: face normals, and the box and the wheel as OpenGL's feedback mode sees their
// vertices (positions and texture coordinates), under an orthographic camera of window pixels.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "foundation/shell_state.h"
#include "gl_fixture.h"
#include "ogl/draw3d.h"

namespace {

struct fb_vertex {
  float x, y, z, s, t;
};

class Draw3D : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    for (int d = 0; d <= 360; ++d) {
      lookup_sin[d] = static_cast<float>(std::sin(d * M_PI / 180.0));
      lookup_cos[d] = static_cast<float>(std::cos(d * M_PI / 180.0));
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, kW, 0, kH, -1000, 1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTexCoord2f(0.5f, 0.5f);
  }

  // Runs draw in feedback mode; every polygon vertex back in object units (z undone from depth).
  static std::vector<fb_vertex> feedback(void (*draw)(), int* polygons) {
    std::vector<GLfloat> buf(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buf.size()), GL_3D_COLOR_TEXTURE, buf.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint n = glRenderMode(GL_RENDER);
    std::vector<fb_vertex> out;
    *polygons = 0;
    EXPECT_GT(n, 0) << "feedback buffer overflowed or nothing drawn";
    for (GLint i = 0; i < n;) {
      EXPECT_EQ(buf[i], GL_POLYGON_TOKEN) << "only polygons expected";
      if (buf[i] != GL_POLYGON_TOKEN) break;
      const int count = static_cast<int>(buf[i + 1]);
      i += 2;
      ++*polygons;
      for (int v = 0; v < count; ++v, i += 11)
        out.push_back({buf[i], buf[i + 1], (0.5f - buf[i + 2]) * 2000.0f, buf[i + 7], buf[i + 8]});
    }
    return out;
  }

  static bool near(const fb_vertex& a, const fb_vertex& b, bool with_tex) {
    const float e = 0.02f;
    bool pos = std::fabs(a.x - b.x) < e && std::fabs(a.y - b.y) < e && std::fabs(a.z - b.z) < e;
    if (!with_tex) return pos;
    return pos && std::fabs(a.s - b.s) < 1e-4f && std::fabs(a.t - b.t) < 1e-4f;
  }

  // Every vertex seen is expected, and every expected vertex is seen.
  static void same_set(const std::vector<fb_vertex>& seen, const std::vector<fb_vertex>& want, bool with_tex) {
    for (const fb_vertex& v : seen) {
      bool found = false;
      for (const fb_vertex& w : want) found = found || near(v, w, with_tex);
      EXPECT_TRUE(found) << "unexpected vertex " << v.x << " " << v.y << " " << v.z << " at " << v.s << " " << v.t;
    }
    for (const fb_vertex& w : want) {
      bool found = false;
      for (const fb_vertex& v : seen) found = found || near(v, w, with_tex);
      EXPECT_TRUE(found) << "missing vertex " << w.x << " " << w.y << " " << w.z << " at " << w.s << " " << w.t;
    }
  }

  static std::vector<float> normal_after(std::vector<float> p1, std::vector<float> p2, std::vector<float> p3) {
    std::vector<float> p4 = p1;
    glNormal3f(9, 9, 9);
    glBegin(GL_QUADS);
    OGL_3dquad(p1.data(), p2.data(), p3.data(), p4.data());
    glEnd();
    float n[4] = {0, 0, 0, 0};
    glGetFloatv(GL_CURRENT_NORMAL, n);
    return {n[0], n[1], n[2]};
  }
};

TEST_F(Draw3D, QuadNormalIsTheNormalisedCrossProductOrUp) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct row {
    const char* what;
    std::vector<float> p1, p2, p3, n;
  } rows[] = {
      {"identical points", {3, 4, 5}, {3, 4, 5}, {3, 4, 5}, {0, 1, 0}},
      {"collinear points", {0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {0, 1, 0}},
      {"floor, long edges", {0, 0, 0}, {5, 0, 0}, {5, 0, 7}, {0, 1, 0}},
      {"wall facing -x", {0, 0, 0}, {0, 2, 0}, {0, 2, 2}, {-1, 0, 0}},
      {"tilted", {0, 0, 0}, {1, 0, 0}, {1, 1, 1}, {0, static_cast<float>(M_SQRT1_2), static_cast<float>(-M_SQRT1_2)}},
      {"a NaN corner", {0, 0, 0}, {nan, 0, 0}, {1, 1, 1}, {0, 1, 0}},
      {"huge coordinates", {0, 0, 0}, {3e38f, 0, 0}, {3e38f, 0, 3e38f}, {0, 1, 0}},
  };
  for (const row& r : rows) {
    std::vector<float> n = normal_after(r.p1, r.p2, r.p3);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(n[i], r.n[i], 1e-5f) << r.what << " component " << i;
  }
}

TEST_F(Draw3D, QuadCornersTakeTheirTextureCorners) {
  int polys = 0;
  auto seen = feedback(
      [] {
        float p1[3] = {10, 10, 0}, p2[3] = {10, 50, 0}, p3[3] = {60, 50, 0}, p4[3] = {60, 10, 0};
        glBegin(GL_QUADS);
        OGL_3dquad(p1, p2, p3, p4);
        float q1[3] = {100, 10, 5}, q2[3] = {100, 50, 5}, q3[3] = {160, 50, 5}, q4[3] = {160, 10, 5};
        OGL_3dquad_st(q1, q2, q3, q4, 0.25f, 0.125f, 0.75f, 0.5f);
        glEnd();
      },
      &polys);
  same_set(seen,
           {{10, 10, 0, 1, 1}, {10, 50, 0, 1, 0}, {60, 50, 0, 0, 0}, {60, 10, 0, 0, 1},
            {100, 10, 5, 0.25f, 0.125f}, {100, 50, 5, 0.25f, 0.5f}, {160, 50, 5, 0.75f, 0.5f},
            {160, 10, 5, 0.75f, 0.125f}},
           true);
}

TEST_F(Draw3D, CubeVerticesStandOnTheBaseTurnedAboutZ) {
  static const float X = 120, Y = 60, Z = 10, w = 40, h = 70, d = 30, s1 = 0.1f, s2 = 0.9f, t1 = 0.2f, t2 = 0.8f;
  static const float angle = 30;
  int polys = 0;
  auto seen = feedback([] { OGL_cube(X, Y, Z, w, h, d, s1, s2, t1, t2, angle); }, &polys);
  // Six faces, as quads or split into triangles.
  EXPECT_TRUE(polys == 6 || polys == 12) << polys;
  const float a = static_cast<float>(-angle * M_PI / 180.0), ca = std::cos(a), sa = std::sin(a);
  auto at = [&](float x, float y, float z, float s, float t) {
    return fb_vertex{X + x * ca - y * sa, Y + x * sa + y * ca, Z + z, s, t};
  };
  const float hw = w / 2, hd = d / 2;
  std::vector<fb_vertex> want;
  // Side corners: each (x, z) column with the s of its strip pair, top at t2, bottom at t1.
  const float cols[5][3] = {{-hw, -hd, s1}, {hw, -hd, s2}, {hw, hd, s1}, {-hw, hd, s2}, {-hw, -hd, s1}};
  for (const auto& c : cols) {
    want.push_back(at(c[0], h, c[1], c[2], t2));
    want.push_back(at(c[0], 0, c[1], c[2], t1));
  }
  for (float x : {-hw, hw})
    for (float z : {-hd, hd}) {
      want.push_back(at(x, h, z, x < 0 ? s1 : s2, t2));
      want.push_back(at(x, 0, z, x < 0 ? s1 : s2, t1));
    }
  same_set(seen, want, true);
}

TEST_F(Draw3D, DiscIsAClosedWheelAroundTheXAxis) {
  static const float X = 150, Y = 120, Z = -20, r = 50;
  int polys = 0;
  auto seen = feedback([] { OGL_disc(X, Y, Z, r); }, &polys);
  // Two caps of 12 triangles, three bands of 12 quads.
  EXPECT_TRUE(polys == 24 + 36 || polys == 24 + 72) << polys;
  const float ri = r * 0.38f;
  std::vector<fb_vertex> want = {{X - r, Y, Z, 0, 0}, {X + r, Y, Z, 0, 0}};
  for (int deg = 0; deg < 360; deg += 30) {
    const float c = std::cos(deg * M_PI / 180.0), s = std::sin(deg * M_PI / 180.0);
    for (auto [x, q] : {std::pair{-r, ri}, std::pair{-ri, r}, std::pair{ri, r}, std::pair{r, ri}})
      want.push_back({X + x, Y + q * c, Z - q * s, 0, 0});
  }
  same_set(seen, want, false);
  // Nothing of it lies outside its radius.
  for (const fb_vertex& v : seen) {
    EXPECT_LE(std::hypot(v.y - Y, v.z - Z), r + 0.01f);
    EXPECT_LE(std::fabs(v.x - X), r + 0.01f);
  }
}

TEST_F(Draw3D, SpecularColourOfLightAndMaterial) {
  OGL_setspec(0.25f);
  float light[4], front[4], back[4], shine = 0;
  glGetLightfv(GL_LIGHT0, GL_SPECULAR, light);
  glGetMaterialfv(GL_FRONT, GL_SPECULAR, front);
  glGetMaterialfv(GL_BACK, GL_SPECULAR, back);
  glGetMaterialfv(GL_FRONT, GL_SHININESS, &shine);
  for (const float* c : {light, front, back}) {
    EXPECT_FLOAT_EQ(c[0], 0.25f);
    EXPECT_FLOAT_EQ(c[1], 0.25f);
    EXPECT_FLOAT_EQ(c[2], 0.25f);
    EXPECT_FLOAT_EQ(c[3], 1.0f);
  }
  EXPECT_FLOAT_EQ(shine, 128.0f);
  OGL_setspec(0.0f);
}

TEST_F(Draw3D, PolygonOffsetFactorAndUnits) {
  OGL_poly_offset(2);
  float factor = 0, units = 0;
  glGetFloatv(GL_POLYGON_OFFSET_FACTOR, &factor);
  glGetFloatv(GL_POLYGON_OFFSET_UNITS, &units);
  EXPECT_TRUE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
  EXPECT_FLOAT_EQ(factor, -20.0f);
  EXPECT_FLOAT_EQ(units, -1.0f);
  OGL_poly_offset(0);
  EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
}

}  // namespace
