// The camera `xcam` and the column-major matrix routines behind it.
#include "ogl/camera.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/records.h"

const double gIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

float gKillClip = 0.0f;
float gKillCull = 0.0f;
float gExtraNear = 0.0f;

xcam_class xcam;

namespace {

double dot3(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void cross3(double* out, const double* a, const double* b) {
  double x = a[1] * b[2] - a[2] * b[1];
  double y = a[2] * b[0] - a[0] * b[2];
  double z = a[0] * b[1] - a[1] * b[0];
  out[0] = x;
  out[1] = y;
  out[2] = z;
}

// Zero-length vectors stay as they are.
void normalize3(double* v) {
  double len = std::sqrt(dot3(v, v));
  if (len > 0.0) {
    v[0] /= len;
    v[1] /= len;
    v[2] /= len;
  }
}

void mult_vec4(double* out, const double* m, const double* v) {
  double r[4];
  for (int i = 0; i < 4; ++i) r[i] = m[i] * v[0] + m[i + 4] * v[1] + m[i + 8] * v[2] + m[i + 12] * v[3];
  std::memcpy(out, r, sizeof(r));
}

// The central tenth of [lo, hi], clamped into it, in single precision.
void narrow(double lo, double hi, double* a, double* b) {
  float flo = static_cast<float>(lo), fhi = static_cast<float>(hi);
  float mn = std::min(flo, fhi), mx = std::max(flo, fhi);
  float na = flo + 0.45f * (fhi - flo);
  float nb = flo + 0.55f * (fhi - flo);
  *a = std::clamp(na, mn, mx);
  *b = std::clamp(nb, mn, mx);
}

void grow(const double* p, double* box_min, double* box_max) {
  for (int i = 0; i < 3; ++i) {
    float v = static_cast<float>(p[i]);
    if (v < static_cast<float>(box_min[i])) box_min[i] = v;
    if (v > static_cast<float>(box_max[i])) box_max[i] = v;
  }
}

}  // namespace

// ---- matrix routines ----

void setIdentityMatrix(double* m) { std::memcpy(m, gIdentity, sizeof(gIdentity)); }
void copyMatrix(double* dst, const double* src) { std::memcpy(dst, src, 16 * sizeof(double)); }

void transposeMatrix(double* out, const double* in) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out[r + 4 * c] = in[c + 4 * r];
}

void addMatrices(double* out, const double* a, const double* b) {
  for (int i = 0; i < 16; ++i) out[i] = a[i] + b[i];
}

void multMatrices(double* out, const double* a, const double* b) {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) {
      double s = 0.0;
      for (int k = 0; k < 4; ++k) s += a[r + 4 * k] * b[k + 4 * c];
      out[r + 4 * c] = s;
    }
}

int invertMatrix(double* out, const double* in) {
  double w[4][8];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      w[r][c] = in[r + 4 * c];
      w[r][c + 4] = r == c ? 1.0 : 0.0;
    }
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int r = col + 1; r < 4; ++r)
      if (std::fabs(w[r][col]) > std::fabs(w[pivot][col])) pivot = r;
    if (w[pivot][col] == 0.0) return 0;
    if (pivot != col)
      for (int c = 0; c < 8; ++c) std::swap(w[pivot][c], w[col][c]);
    double p = w[col][col];
    for (int c = 0; c < 8; ++c) w[col][c] /= p;
    for (int r = 0; r < 4; ++r) {
      if (r == col) continue;
      double f = w[r][col];
      if (f == 0.0) continue;
      for (int c = 0; c < 8; ++c) w[r][c] -= f * w[col][c];
    }
  }
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out[r + 4 * c] = w[r][c + 4];
  return 1;
}

void buildOrthoMatrix(double* m, double left, double right, double bottom, double top, double near,
                      double far) {
  setIdentityMatrix(m);
  m[0] = 2.0 / (right - left);
  m[5] = 2.0 / (top - bottom);
  m[10] = -2.0 / (far - near);
  m[12] = -(right + left) / (right - left);
  m[13] = -(top + bottom) / (top - bottom);
  m[14] = -(far + near) / (far - near);
}

void buildFrustumMatrix(double* m, double left, double right, double bottom, double top,
                        double near, double far) {
  std::memset(m, 0, 16 * sizeof(double));
  m[0] = 2.0 * near / (right - left);
  m[5] = 2.0 * near / (top - bottom);
  m[8] = (right + left) / (right - left);
  m[9] = (top + bottom) / (top - bottom);
  m[10] = -(far + near) / (far - near);
  m[11] = -1.0;
  m[14] = -2.0 * far * near / (far - near);
}

void buildPerspectiveMatrix(double* m, double fovy_degrees, double aspect, double near, double far) {
  double t = std::tan(M_PI * fovy_degrees / 360.0) * near;
  buildFrustumMatrix(m, -t * aspect, t * aspect, -t, t, near, far);
}

void buildLookAtMatrix(double* m, double eye_x, double eye_y, double eye_z, double at_x,
                       double at_y, double at_z, double up_x, double up_y, double up_z) {
  double eye[3] = {eye_x, eye_y, eye_z};
  double up[3] = {up_x, up_y, up_z};
  double z[3] = {eye_x - at_x, eye_y - at_y, eye_z - at_z};
  normalize3(z);
  double x[3], y[3];
  cross3(x, up, z);
  cross3(y, z, x);  // from x before it is normalised
  normalize3(x);
  normalize3(y);
  setIdentityMatrix(m);
  for (int c = 0; c < 3; ++c) {
    m[0 + 4 * c] = x[c];
    m[1 + 4 * c] = y[c];
    m[2 + 4 * c] = z[c];
  }
  m[12] = -dot3(x, eye);
  m[13] = -dot3(y, eye);
  m[14] = -dot3(z, eye);
}

void buildRotation(double* m, double degrees, double x, double y, double z) {
  double a = degrees * 0.017453292519943295;
  double s = std::sin(a), c = std::cos(a);
  setIdentityMatrix(m);
  bool xo = x != 0.0, yo = y != 0.0, zo = z != 0.0;
  if (xo && !yo && !zo) {
    if (x < 0) s = -s;
    m[5] = m[10] = c;
    m[6] = s;
    m[9] = -s;
    return;
  }
  if (!xo && yo && !zo) {
    if (y < 0) s = -s;
    m[0] = m[10] = c;
    m[8] = s;
    m[2] = -s;
    return;
  }
  if (!xo && !yo && zo) {
    if (z < 0) s = -s;
    m[0] = m[5] = c;
    m[1] = s;
    m[4] = -s;
    return;
  }
  double len = std::sqrt(x * x + y * y + z * z);
  if (len <= 0.0001) return;
  x /= len;
  y /= len;
  z /= len;
  double t = 1.0 - c;
  m[0] = x * x * t + c;
  m[1] = y * x * t + z * s;
  m[2] = x * z * t - y * s;
  m[4] = x * y * t - z * s;
  m[5] = y * y * t + c;
  m[6] = y * z * t + x * s;
  m[8] = x * z * t + y * s;
  m[9] = y * z * t - x * s;
  m[10] = z * z * t + c;
}

void applyTranslation(double* m, double x, double y, double z) {
  for (int r = 0; r < 4; ++r) m[12 + r] += x * m[r] + y * m[4 + r] + z * m[8 + r];
}

void applyRotation(double* m, double degrees, double x, double y, double z) {
  double rot[16], in[16];
  buildRotation(rot, degrees, x, y, z);
  copyMatrix(in, m);
  multMatrices(m, in, rot);
}

double* vec3_assign(double* v, double x, double y, double z) {
  v[0] = x;
  v[1] = y;
  v[2] = z;
  return v;
}

void printMatrix(const char* label, const double* m) {
  std::printf("%s\n", label);
  for (int r = 0; r < 4; ++r)
    std::printf(r == 3 ? " [ %f %f %f %f ]\n\n" : " [ %f %f %f %f ]\n", m[r], m[r + 4], m[r + 8],
                m[r + 12]);
}

void accum_segment(double y_low, double y_high, double* a, double* b, double* box_min,
                   double* box_max) {
  const double* lo = a[1] <= b[1] ? a : b;
  const double* hi = a[1] <= b[1] ? b : a;
  auto crossing = [&](double yc) {
    double p[3];
    p[1] = yc;
    if (static_cast<float>(hi[1]) == static_cast<float>(lo[1])) {
      p[0] = static_cast<float>((lo[0] + hi[0]) * 0.5);
      p[2] = static_cast<float>((lo[2] + hi[2]) * 0.5);
    } else {
      float f = (static_cast<float>(yc) - static_cast<float>(lo[1])) /
                (static_cast<float>(hi[1]) - static_cast<float>(lo[1]));
      for (int i : {0, 2}) {
        float v = static_cast<float>(lo[i]) + (static_cast<float>(hi[i]) - static_cast<float>(lo[i])) * f;
        float mn = static_cast<float>(std::min(lo[i], hi[i]));
        float mx = static_cast<float>(std::max(lo[i], hi[i]));
        p[i] = std::clamp(v, mn, mx);
      }
    }
    grow(p, box_min, box_max);
  };
  auto inside = [&](const double* p) { return y_low <= p[1] && p[1] <= y_high; };
  if (lo[1] == hi[1]) {
    if (inside(lo)) {
      grow(lo, box_min, box_max);
      grow(hi, box_min, box_max);
    }
    return;
  }
  if (y_low == y_high) {
    if (lo[1] < y_low && y_low < hi[1]) crossing(y_low);
    return;
  }
  if (inside(lo)) grow(lo, box_min, box_max);
  if (inside(hi)) grow(hi, box_min, box_max);
  if (lo[1] < y_low && y_low < hi[1]) crossing(y_low);
  if (lo[1] < y_high && y_high < hi[1]) crossing(y_high);
}

// ---- the camera ----

xcam_class::xcam_class() {
  setIdentityMatrix(projection);
  setIdentityMatrix(modelview);
  orthographic = 1;
  changed = 1;
  modelview_stale = 1;
}

xcam_class::xcam_class(xcam_class* other) {
  if (other) *this = *other;
}

void xcam_class::SetupOrtho(double left, double right, double bottom, double top, double near,
                            double far) {
  orthographic = 1;
  buildOrthoMatrix(projection, left, right, bottom, top, near, far);
  ortho_top = top;
  ortho_left = left;
  ortho_right = right;
  ortho_bottom = bottom;
  near_z = -near;
  far_z = fake_far_z = -far;
  changed = 1;
}

void xcam_class::SetupFrustum(double left, double right, double bottom, double top, double near,
                              double far) {
  orthographic = 0;
  double pl = left, pr = right, pb = bottom, pt = top;
  if (gKillClip != 0.0f) {
    narrow(left, right, &pl, &pr);
    narrow(bottom, top, &pb, &pt);
  }
  buildFrustumMatrix(projection, pl, pr, pb, pt, near, far);
  double l = left, r = right, b = bottom, t = top;
  if (gKillCull != 0.0f) {
    narrow(left, right, &l, &r);
    narrow(bottom, top, &b, &t);
  }
  double c_lt[3] = {l, t, -near}, c_rt[3] = {r, t, -near};
  double c_lb[3] = {l, b, -near}, c_rb[3] = {r, b, -near};
  normalize3(c_lt);
  normalize3(c_rt);
  normalize3(c_lb);
  normalize3(c_rb);
  cross3(plane_top, c_lt, c_rt);
  cross3(plane_left, c_lb, c_lt);
  cross3(plane_right, c_rt, c_rb);
  cross3(plane_bottom, c_rb, c_lb);
  normalize3(plane_top);
  normalize3(plane_left);
  normalize3(plane_right);
  normalize3(plane_bottom);
  near_z = -near;
  far_z = fake_far_z = -far;
  changed = 1;
}

void xcam_class::SetupPerspective(double fovy_degrees, double aspect, double near, double far) {
  double t = std::tan(M_PI * fovy_degrees / 360.0) * near;
  SetupFrustum(-t * aspect, t * aspect, -t, t, near, far);
}

void xcam_class::SetFakeFarClippingPlane(double distance) {
  fake_far_z = std::max(static_cast<float>(-distance), static_cast<float>(far_z));
}

void xcam_class::ResetFakeFarClippingPlane() { fake_far_z = far_z; }

int xcam_class::GetFOVHalfCosines(float* horizontal, float* vertical) {
  if (orthographic) return 0;
  if (horizontal) *horizontal = static_cast<float>((plane_left[0] - plane_right[0]) / 2.0);
  if (vertical) *vertical = static_cast<float>((plane_bottom[1] - plane_top[1]) / 2.0);
  return 1;
}

void xcam_class::Identity() {
  setIdentityMatrix(modelview);
  changed = 1;
}

void xcam_class::Translate(double x, double y, double z) {
  applyTranslation(modelview, x, y, z);
  changed = 1;
}

void xcam_class::Rotate(double degrees, double x, double y, double z) {
  applyRotation(modelview, degrees, x, y, z);
  changed = 1;
}

void xcam_class::LookAtPtFromPt(double eye_x, double eye_y, double eye_z, double at_x, double at_y,
                                double at_z, double up_x, double up_y, double up_z) {
  buildLookAtMatrix(modelview, eye_x, eye_y, eye_z, at_x, at_y, at_z, up_x, up_y, up_z);
  changed = 1;
}

void xcam_class::LookAtPtFromDir(double x, double y, double z, double heading, double pitch,
                                 double distance) {
  const double k = M_PI / 180.0;
  double h = heading * k, p = pitch * k;
  double ex = x + distance * std::cos(p) * std::cos(h);
  double ey = y + distance * std::sin(p);
  double ez = z + distance * std::cos(p) * std::sin(h);
  LookAtPtFromPt(ex, ey, ez, x, y, z, 0, 1, 0);
}

void xcam_class::refresh_modelview() {
  if (!modelview_stale) return;
  glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
  modelview_stale = 0;
  changed = 1;
}

void xcam_class::view_axis(double x, double y, double z, double* out) {
  refresh_modelview();
  double t[16], v[4] = {x, y, z, 1.0}, r[4];
  transposeMatrix(t, modelview);
  mult_vec4(r, t, v);
  out[0] = r[0];
  out[1] = r[1];
  out[2] = r[2];
  normalize3(out);
}

void xcam_class::CalcDirection(double* out) { view_axis(0, 0, -1, out); }
void xcam_class::CalcUp(double* out) { view_axis(0, 1, 0, out); }

void xcam_class::CalcRight(double* out) {
  double d[3], u[3];
  CalcDirection(d);
  CalcUp(u);
  cross3(out, d, u);
}

void xcam_class::CalcBillboardCamera(float* right, float* up) {
  double d[3], u[3], r[3];
  CalcUp(u);
  CalcDirection(d);
  cross3(r, d, u);
  normalize3(r);
  for (int i = 0; i < 3; ++i) {
    right[i] = static_cast<float>(r[i]);
    up[i] = static_cast<float>(u[i]);
  }
}

void xcam_class::CalcBillboardGround(float* right, float* up) {
  double d[3], r[3], u[3];
  const double y_axis[3] = {0, 1, 0};
  CalcDirection(d);
  cross3(r, d, y_axis);
  normalize3(r);
  cross3(u, r, d);
  normalize3(u);
  for (int i = 0; i < 3; ++i) {
    right[i] = static_cast<float>(r[i]);
    up[i] = static_cast<float>(u[i]);
  }
}

void xcam_class::mtr_to_pix(double* world, double* out) {
  double p[4] = {world[0], world[1], world[2], 1.0}, e[4], c[4];
  mult_vec4(e, modelview, p);
  mult_vec4(c, projection, e);
  if (c[3] != 0.0) {
    c[0] /= c[3];
    c[1] /= c[3];
  }
  GLfloat vp[4] = {0, 0, 0, 0};
  glGetFloatv(GL_VIEWPORT, vp);
  // A scale not yet set (0) is taken as 1 rather than dividing by zero.
  double scale = mnw.pix_scale != 0.0f ? mnw.pix_scale : 1.0;
  out[0] = ((c[0] + 1.0) * 0.5 * vp[2] + vp[0] - mnw.wind_x) / scale;
  out[1] = ((c[1] + 1.0) * 0.5 * vp[3] + vp[1] - mnw.wind_y) / scale;
}

void xcam_class::LookAtCamera(xcam_class* other, double* direction, double distance,
                              double& near_out, double& far_out) {
  double pinv[16], minv[16], both[16];
  invertMatrix(pinv, other->projection);
  invertMatrix(minv, other->modelview);
  multMatrices(both, minv, pinv);
  double origin[4] = {0, 0, 0, 1}, eye[4];
  mult_vec4(eye, minv, origin);
  buildLookAtMatrix(modelview, eye[0] - distance * direction[0], eye[1] - distance * direction[1],
                    eye[2] - distance * direction[2], eye[0], eye[1], eye[2], 0, 1, 0);
  changed = 1;
  double lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
  for (int i = 0; i < 8; ++i) {
    double corner[4] = {(i & 1) ? 1.0 : -1.0, (i & 2) ? 1.0 : -1.0, (i & 4) ? 1.0 : -1.0, 1.0};
    double w[4], v[4];
    mult_vec4(w, both, corner);
    if (w[3] != 0.0)
      for (int k = 0; k < 3; ++k) w[k] /= w[3];
    w[3] = 1.0;
    mult_vec4(v, modelview, w);
    for (int k = 0; k < 3; ++k) {
      if (i == 0 || v[k] < lo[k]) lo[k] = v[k];
      if (i == 0 || v[k] > hi[k]) hi[k] = v[k];
    }
  }
  double n = hi[2] + gExtraNear, f = lo[2];
  orthographic = 1;
  buildOrthoMatrix(projection, lo[0], hi[0], lo[1], hi[1], -n, -f);
  ortho_top = hi[1];
  ortho_left = lo[0];
  ortho_right = hi[0];
  ortho_bottom = lo[1];
  near_z = n;
  far_z = fake_far_z = f;
  changed = 1;
  near_out = -n;
  far_out = -f;
}

bool xcam_class::GetFrustumBounds(double distance, double y_low, double y_high, double* box_min,
                                  double* box_max) {
  double minv[16];
  invertMatrix(minv, modelview);
  const double z_cut = -distance;
  double world[8][3];
  if (!orthographic) {
    double pinv[16];
    invertMatrix(pinv, projection);
    for (int i = 0; i < 8; ++i) {
      double corner[4] = {(i & 1) ? 1.0 : -1.0, (i & 2) ? 1.0 : -1.0, (i & 4) ? 1.0 : -1.0, 1.0};
      double e[4], w[4];
      mult_vec4(e, pinv, corner);
      if (e[3] != 0.0)
        for (int k = 0; k < 3; ++k) e[k] /= e[3];
      e[3] = 1.0;
      if (e[2] < z_cut) {
        double f = static_cast<float>(z_cut / e[2]);
        for (int k = 0; k < 3; ++k) e[k] *= f;
      }
      mult_vec4(w, minv, e);
      for (int k = 0; k < 3; ++k) world[i][k] = w[k];
    }
  } else {
    // Both depths in eye space (visible points at negative z), the far one cut at `distance`.
    const double depth[2] = {near_z, std::max(z_cut, far_z)};
    for (int i = 0; i < 8; ++i) {
      double e[4] = {(i & 1) ? ortho_right : ortho_left, (i & 2) ? ortho_top : ortho_bottom,
                     depth[(i & 4) ? 1 : 0], 1.0};
      double w[4];
      mult_vec4(w, minv, e);
      for (int k = 0; k < 3; ++k) world[i][k] = w[k];
    }
  }
  for (int k = 0; k < 3; ++k) {
    box_min[k] = 9.9e9;
    box_max[k] = -9.9e9;
  }
  for (int i = 0; i < 8; ++i)
    for (int bit = 1; bit < 8; bit <<= 1)
      if (!(i & bit)) accum_segment(y_low, y_high, world[i], world[i | bit], box_min, box_max);
  return box_min[0] <= box_max[0];
}
