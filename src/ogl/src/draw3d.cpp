// The 3-D helpers. Angles of the wheel come from the start-up degree tables.
#include "ogl/draw3d.h"

#include <GL/gl.h>

#include <cmath>

#include "foundation/shell_state.h"
#include "ogl/draw2d.h"

void OGL_3dline(float x1, float y1, float z1, float x2, float y2, float z2) {
  glVertex3f(x1, y1, z1);
  glVertex3f(x2, y2, z2);
}

void OGL_quad_normal(const float* p1, const float* p2, const float* p3, float* n) {
  const float a[3] = {p3[0] - p2[0], p3[1] - p2[1], p3[2] - p2[2]};
  const float b[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
  n[0] = a[1] * b[2] - a[2] * b[1];
  n[1] = a[2] * b[0] - a[0] * b[2];
  n[2] = a[0] * b[1] - a[1] * b[0];
  const float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  // Also catches a NaN length, so a degenerate quad never sends a NaN normal.
  if (!(len > 0.0f) || !std::isfinite(len)) {
    n[0] = 0.0f;
    n[1] = 1.0f;
    n[2] = 0.0f;
    return;
  }
  for (int i = 0; i < 3; ++i) n[i] /= len;
}

void OGL_3dquad(float* p1, float* p2, float* p3, float* p4) {
  float n[3];
  OGL_quad_normal(p1, p2, p3, n);
  glNormal3fv(n);
  glTexCoord2fv(st11);
  glVertex3fv(p1);
  glTexCoord2fv(st10);
  glVertex3fv(p2);
  glTexCoord2fv(st00);
  glVertex3fv(p3);
  glTexCoord2fv(st01);
  glVertex3fv(p4);
}

void OGL_3dquad_st(float* p1, float* p2, float* p3, float* p4, float s1, float t1, float s2, float t2) {
  float n[3];
  OGL_quad_normal(p1, p2, p3, n);
  glNormal3fv(n);
  glTexCoord2f(s1, t1);
  glVertex3fv(p1);
  glTexCoord2f(s1, t2);
  glVertex3fv(p2);
  glTexCoord2f(s2, t2);
  glVertex3fv(p3);
  glTexCoord2f(s2, t1);
  glVertex3fv(p4);
}

void OGL_cube(float x, float y, float z, float w, float h, float d, float s1, float s2, float t1,
              float t2, float angle) {
  glPushMatrix();
  glTranslatef(x, y, z);
  glRotatef(-angle, 0.0f, 0.0f, 1.0f);
  const float hw = w / 2.0f, hd = d / 2.0f;
  struct side {
    float nx, nz, x, z, s;
  };
  const side sides[5] = {{0, -1, -hw, -hd, s1}, {0, -1, hw, -hd, s2}, {1, 0, hw, hd, s1},
                         {0, 1, -hw, hd, s2},   {-1, 0, -hw, -hd, s1}};
  glBegin(GL_QUAD_STRIP);
  for (const side& e : sides) {
    glNormal3f(e.nx, 0.0f, e.nz);
    glTexCoord2f(e.s, t2);
    glVertex3f(e.x, h, e.z);
    glTexCoord2f(e.s, t1);
    glVertex3f(e.x, 0.0f, e.z);
  }
  glEnd();
  glBegin(GL_QUADS);
  glNormal3f(0.0f, 1.0f, 0.0f);
  glTexCoord2f(s1, t2);
  glVertex3f(-hw, h, -hd);
  glTexCoord2f(s2, t2);
  glVertex3f(hw, h, -hd);
  glTexCoord2f(s2, t2);
  glVertex3f(hw, h, hd);
  glTexCoord2f(s1, t2);
  glVertex3f(-hw, h, hd);
  glNormal3f(0.0f, -1.0f, 0.0f);
  glTexCoord2f(s1, t1);
  glVertex3f(-hw, 0.0f, hd);
  glTexCoord2f(s2, t1);
  glVertex3f(hw, 0.0f, hd);
  glTexCoord2f(s2, t1);
  glVertex3f(hw, 0.0f, -hd);
  glTexCoord2f(s1, t1);
  glVertex3f(-hw, 0.0f, -hd);
  glEnd();
  glPopMatrix();
}

namespace {
// A point of the wheel's profile at x, radius q and whole-degree angle a.
void ring_vertex(float x, float q, int a) { glVertex3f(x, q * lookup_cos[a], -q * lookup_sin[a]); }
}  // namespace

void OGL_disc(float x, float y, float z, float r) {
  const float ri = r * 0.38f;
  glPushMatrix();
  glTranslatef(x, y, z);
  glNormal3f(-1.0f, 0.0f, 0.0f);
  glBegin(GL_TRIANGLE_FAN);
  glVertex3f(-r, 0.0f, 0.0f);
  for (int a = 360; a >= 0; a -= 30) ring_vertex(-r, ri, a);
  glEnd();
  glNormal3f(1.0f, 0.0f, 0.0f);
  glBegin(GL_TRIANGLE_FAN);
  glVertex3f(r, 0.0f, 0.0f);
  for (int a = 0; a <= 360; a += 30) ring_vertex(r, ri, a);
  glEnd();
  struct band {
    float x1, q1, x2, q2;
  };
  const band bands[3] = {{-r, ri, -ri, r}, {-ri, r, ri, r}, {ri, r, r, ri}};
  for (const band& b : bands) {
    glBegin(GL_QUAD_STRIP);
    for (int a = 360; a >= 0; a -= 30) {
      ring_vertex(b.x1, b.q1, a);
      ring_vertex(b.x2, b.q2, a);
    }
    glEnd();
  }
  glPopMatrix();
}

void OGL_setspec(float s) {
  const float c[4] = {s, s, s, 1.0f};
  glLightfv(GL_LIGHT0, GL_SPECULAR, c);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, c);
  glMateriali(GL_FRONT_AND_BACK, GL_SHININESS, 128);
}

void OGL_poly_offset(int n) {
  if (n) {
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(static_cast<float>(n) * -10.0f, -1.0f);
  } else {
    glDisable(GL_POLYGON_OFFSET_FILL);
  }
}

void OGL_printer() {}
