// The matrix routines and the camera, against their definitions and against OpenGL's own
// glOrtho, glFrustum, gluLookAt and glRotated read back from a live context.
#include <gtest/gtest.h>

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "gl_fixture.h"
#include "ogl/camera.h"

namespace {

void expect_matrix_near(const double* a, const double* b, double tol) {
  for (int i = 0; i < 16; ++i)
    EXPECT_NEAR(a[i], b[i], tol * std::max(1.0, std::fabs(b[i]))) << "element " << i;
}

void apply(const double* m, const double* p, double* out) {
  for (int r = 0; r < 4; ++r) out[r] = m[r] * p[0] + m[r + 4] * p[1] + m[r + 8] * p[2] + m[r + 12] * p[3];
}

}  // namespace

TEST(MatrixRoutines, RotationAboutAxes) {
  double m[16], out[4];
  const double x[4] = {1, 0, 0, 1};
  buildRotation(m, 90, 0, 0, 1);
  apply(m, x, out);
  EXPECT_NEAR(out[0], 0, 1e-12);
  EXPECT_NEAR(out[1], 1, 1e-12);
  buildRotation(m, 90, 0, 0, -5);
  apply(m, x, out);
  EXPECT_NEAR(out[0], 0, 1e-12);
  EXPECT_NEAR(out[1], -1, 1e-12);
  buildRotation(m, 90, 0, 0, 0);
  expect_matrix_near(m, gIdentity, 0);
  buildRotation(m, 37, 0.00001, 0.00001, 0.00001);
  expect_matrix_near(m, gIdentity, 0);

  // A general axis: (1,1,1) by 120 degrees cycles the axes.
  buildRotation(m, 120, 1, 1, 1);
  apply(m, x, out);
  EXPECT_NEAR(out[0], 0, 1e-12);
  EXPECT_NEAR(out[1], 1, 1e-12);
  EXPECT_NEAR(out[2], 0, 1e-12);
}

TEST(MatrixRoutines, MultiplyInvertTranspose) {
  double a[16], b[16], ab[16], inv[16], check[16];
  buildRotation(a, 30, 1, 2, 3);
  applyTranslation(a, 4, -5, 6);
  buildFrustumMatrix(b, -1, 2, -1.5, 1, 1, 50);
  multMatrices(ab, a, b);
  ASSERT_EQ(invertMatrix(inv, ab), 1);
  multMatrices(check, ab, inv);
  expect_matrix_near(check, gIdentity, 1e-9);

  double t[16], tt[16];
  transposeMatrix(t, a);
  EXPECT_EQ(t[1], a[4]);
  transposeMatrix(tt, t);
  expect_matrix_near(tt, a, 0);

  double sum[16];
  addMatrices(sum, a, a);
  EXPECT_EQ(sum[13], 2 * a[13]);

  // A zero row makes the matrix singular: 0 and the output untouched.
  double sing[16], out[16];
  copyMatrix(sing, a);
  sing[2] = sing[6] = sing[10] = sing[14] = 0;
  for (double& v : out) v = 7.0;
  EXPECT_EQ(invertMatrix(out, sing), 0);
  for (double v : out) EXPECT_EQ(v, 7.0);
}

TEST(MatrixRoutines, TranslationAndHelpers) {
  double m[16];
  setIdentityMatrix(m);
  applyTranslation(m, 1, 2, 3);
  applyRotation(m, 90, 0, 0, 1);
  applyTranslation(m, 1, 0, 0);  // along the rotated x axis, i.e. world y
  EXPECT_NEAR(m[12], 1, 1e-12);
  EXPECT_NEAR(m[13], 3, 1e-12);
  EXPECT_NEAR(m[14], 3, 1e-12);
  double v[3];
  EXPECT_EQ(vec3_assign(v, 1, 2, 3), v);
  EXPECT_EQ(v[2], 3);
}

TEST(Camera, ConstructionAndCopies) {
  xcam_class c;
  EXPECT_EQ(c.orthographic, 1);
  EXPECT_EQ(c.changed, 1);
  EXPECT_EQ(c.modelview_stale, 1);
  expect_matrix_near(c.projection, gIdentity, 0);
  c.SetupOrtho(0, 10, 0, 20, -1, 1);
  xcam_class d(&c);
  EXPECT_EQ(std::memcmp(d.projection, c.projection, sizeof(c.projection)), 0);
  EXPECT_EQ(d.ortho_top, 20);
  EXPECT_EQ(d.near_z, 1);
  EXPECT_EQ(d.far_z, -1);
}

TEST(Camera, FieldOfViewAndFakeFarPlane) {
  xcam_class c;
  c.SetupPerspective(90, 1, 1, 100);
  EXPECT_EQ(c.orthographic, 0);
  float h = 0, v = 0;
  EXPECT_EQ(c.GetFOVHalfCosines(&h, &v), 1);
  EXPECT_NEAR(h, 0.7071, 1e-4);
  EXPECT_NEAR(v, 0.7071, 1e-4);
  EXPECT_EQ(c.GetFOVHalfCosines(nullptr, nullptr), 1);
  c.SetFakeFarClippingPlane(50);
  EXPECT_EQ(c.fake_far_z, -50);
  c.SetFakeFarClippingPlane(500);
  EXPECT_EQ(c.fake_far_z, -100);
  c.SetFakeFarClippingPlane(50);
  c.ResetFakeFarClippingPlane();
  EXPECT_EQ(c.fake_far_z, -100);

  c.SetupOrtho(0, 1, 0, 1, -1, 1);
  h = v = 5;
  EXPECT_EQ(c.GetFOVHalfCosines(&h, &v), 0);
  EXPECT_EQ(h, 5);
  EXPECT_EQ(v, 5);

  // The side planes point into the frustum: the view axis is inside all four.
  c.SetupFrustum(-2, 1, -1, 1.5, 1, 10);
  const double axis[3] = {-0.2, 0.1, -1};
  for (const double* p : {c.plane_top, c.plane_left, c.plane_right, c.plane_bottom})
    EXPECT_GT(p[0] * axis[0] + p[1] * axis[1] + p[2] * axis[2], 0);
}

TEST(Camera, KillClipNarrowsTheProjection) {
  xcam_class c;
  gKillClip = 1;
  c.SetupFrustum(-1, 1, -1, 1, 1, 10);
  gKillClip = 0;
  double expect[16];
  buildFrustumMatrix(expect, -0.1, 0.1, -0.1, 0.1, 1, 10);
  expect_matrix_near(c.projection, expect, 1e-5);
  float h = 0;
  c.GetFOVHalfCosines(&h, nullptr);
  EXPECT_NEAR(h, std::sqrt(0.5), 1e-6) << "the culling planes keep the full window";
}

TEST(Camera, FrustumBounds) {
  xcam_class c;
  c.SetupPerspective(90, 1, 1, 100);
  c.LookAtPtFromPt(0, 10, 0, 0, 10, -1, 0, 1, 0);  // at height 10, looking along -z
  double lo[3], hi[3];
  EXPECT_FALSE(c.GetFrustumBounds(50, 1000, 2000, lo, hi));
  EXPECT_EQ(lo[0], 9.9e9);
  EXPECT_EQ(hi[0], -9.9e9);

  ASSERT_TRUE(c.GetFrustumBounds(50, 0, 20, lo, hi));
  EXPECT_NEAR(lo[2], -50, 1e-3);
  EXPECT_NEAR(hi[2], -1, 1e-3);
  EXPECT_NEAR(lo[1], 0, 1e-3);
  EXPECT_NEAR(hi[1], 20, 1e-3);
  EXPECT_NEAR(lo[0], -50, 1e-3);
  EXPECT_NEAR(hi[0], 50, 1e-3);
}

TEST(Camera, AccumSegment) {
  double lo[3] = {9.9e9, 9.9e9, 9.9e9}, hi[3] = {-9.9e9, -9.9e9, -9.9e9};
  double a[3] = {0, 0, 0}, b[3] = {10, 10, 20};
  accum_segment(5, 5, a, b, lo, hi);  // a single height: only the crossing point
  EXPECT_EQ(lo[0], 5);
  EXPECT_EQ(hi[0], 5);
  EXPECT_EQ(lo[2], 10);
  accum_segment(8, 100, b, a, lo, hi);  // the upper end and the crossing at 8
  EXPECT_EQ(hi[0], 10);
  EXPECT_EQ(hi[1], 10);
  EXPECT_EQ(lo[1], 5);
}

TEST(Camera, LookAtCameraFitsTheOtherView) {
  xcam_class eye;
  eye.SetupOrtho(-1, 1, -1, 1, 1, 3);  // a 2 x 2 x 2 box from z = -1 to z = -3
  eye.Identity();
  xcam_class light;
  double dir[3] = {0, 0, -1};  // the light stands 10 behind the eye
  double n = 0, f = 0;
  light.LookAtCamera(&eye, dir, 10, n, f);
  EXPECT_EQ(light.orthographic, 1);
  EXPECT_NEAR(light.ortho_right - light.ortho_left, 2, 1e-9);
  EXPECT_NEAR(light.ortho_top - light.ortho_bottom, 2, 1e-9);
  EXPECT_NEAR(f - n, 2, 1e-9);  // the box's depth along the light
  EXPECT_NEAR(n, 11, 1e-9);
  EXPECT_NEAR(light.ortho_left, -1, 1e-9);
}

using CameraGL = GLTest;

TEST_F(CameraGL, MatricesMatchOpenGL) {
  double mine[16], gl[16];
  glMatrixMode(GL_PROJECTION);

  buildOrthoMatrix(mine, -3, 7, 2, 9, -1, 5);
  glLoadIdentity();
  glOrtho(-3, 7, 2, 9, -1, 5);
  glGetDoublev(GL_PROJECTION_MATRIX, gl);
  expect_matrix_near(mine, gl, 1e-6);

  buildFrustumMatrix(mine, -2, 1, -1, 1.5, 0.5, 80);
  glLoadIdentity();
  glFrustum(-2, 1, -1, 1.5, 0.5, 80);
  glGetDoublev(GL_PROJECTION_MATRIX, gl);
  expect_matrix_near(mine, gl, 1e-6);

  glMatrixMode(GL_MODELVIEW);
  buildLookAtMatrix(mine, 3, 4, 5, -1, 0.5, 2, 0.1, 1, 0.2);
  glLoadIdentity();
  gluLookAt(3, 4, 5, -1, 0.5, 2, 0.1, 1, 0.2);
  glGetDoublev(GL_MODELVIEW_MATRIX, gl);
  expect_matrix_near(mine, gl, 1e-6);

  buildRotation(mine, 33, 1, -2, 0.5);
  glLoadIdentity();
  glRotated(33, 1, -2, 0.5);
  glGetDoublev(GL_MODELVIEW_MATRIX, gl);
  expect_matrix_near(mine, gl, 1e-6);

  buildPerspectiveMatrix(mine, 60, 1.5, 1, 100);
  glLoadIdentity();
  gluPerspective(60, 1.5, 1, 100);
  glGetDoublev(GL_MODELVIEW_MATRIX, gl);
  expect_matrix_near(mine, gl, 1e-6);

  xcam_class c;
  c.Identity();
  c.Translate(1, 2, 3);
  c.Rotate(45, 0, 1, 0);
  glLoadIdentity();
  glTranslated(1, 2, 3);
  glRotated(45, 0, 1, 0);
  glGetDoublev(GL_MODELVIEW_MATRIX, gl);
  expect_matrix_near(c.modelview, gl, 1e-6);
}

TEST_F(CameraGL, ViewportLoadsTheCameraAndLeavesModelview) {
  mnw.wind_id = 0;
  OGL_viewport(2);
  GLint mode = 0, vp[4];
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  glGetIntegerv(GL_VIEWPORT, vp);
  EXPECT_EQ(vp[2], kW);
  EXPECT_EQ(vp[3], kH);
  double gl[16], expect[16];
  glGetDoublev(GL_PROJECTION_MATRIX, gl);
  buildOrthoMatrix(expect, 0, kW, 0, kH, -1, 1);
  expect_matrix_near(gl, expect, 1e-6);
  EXPECT_EQ(xcam.modelview_stale, 0);
  EXPECT_EQ(xcam.near_z, 1);

  // Perspective mode scales the projection rectangle by the near distance.
  OGL_viewport(3, -1, 0, -1, 0, 1, 100, 2, 1, 50, 40, 1.0f, 0);
  glGetDoublev(GL_PROJECTION_MATRIX, gl);
  buildFrustumMatrix(expect, -2, 2, -2, 2, 2, 40);
  expect_matrix_near(gl, expect, 1e-6);
  glGetIntegerv(GL_VIEWPORT, vp);
  EXPECT_EQ(vp[2], 100);
  EXPECT_EQ(vp[3], 50);
  EXPECT_EQ(xcam.orthographic, 0);
}

TEST_F(CameraGL, DirectionQueriesReadTheModelviewOnce) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glRotated(90, 0, 1, 0);  // the world turned by +90 about y: the camera looks along +x
  xcam.modelview_stale = 1;
  double d[3], u[3], r[3];
  xcam.CalcDirection(d);
  EXPECT_EQ(xcam.modelview_stale, 0);
  EXPECT_NEAR(d[0], 1, 1e-6);
  EXPECT_NEAR(d[2], 0, 1e-6);
  xcam.CalcUp(u);
  EXPECT_NEAR(u[1], 1, 1e-6);
  xcam.CalcRight(r);
  EXPECT_NEAR(r[2], 1, 1e-6);
  float br[3], bu[3];
  xcam.CalcBillboardGround(br, bu);
  EXPECT_NEAR(br[2], 1, 1e-6);
  EXPECT_NEAR(bu[1], 1, 1e-6);
  xcam.CalcBillboardCamera(br, bu);
  EXPECT_NEAR(br[2], 1, 1e-6);

  // Not stale: OpenGL's matrix is not read again.
  glLoadIdentity();
  xcam.CalcDirection(d);
  EXPECT_NEAR(d[0], 1, 1e-6);
}

TEST_F(CameraGL, WorldToPixels) {
  mnw.wind_x = 10;
  mnw.wind_y = 20;
  OGL_viewport(2);
  double p[3] = {100, 50, 0}, out[2];
  xcam.mtr_to_pix(p, out);
  EXPECT_NEAR(out[0], 90, 1e-9);
  EXPECT_NEAR(out[1], 30, 1e-9);
}

TEST(MatrixRoutines, PrintMatrixRowsToStandardOutput) {
  double m[16];
  setIdentityMatrix(m);
  applyTranslation(m, 2, 3, 4);
  ::testing::internal::CaptureStdout();
  printMatrix("label", m);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(out,
            "label\n"
            " [ 1.000000 0.000000 0.000000 2.000000 ]\n"
            " [ 0.000000 1.000000 0.000000 3.000000 ]\n"
            " [ 0.000000 0.000000 1.000000 4.000000 ]\n"
            " [ 0.000000 0.000000 0.000000 1.000000 ]\n\n");
}
