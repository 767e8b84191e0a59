// The camera behind every viewport and the matrix routines it uses. Matrices are 16 doubles in
// column-major order (element row r, column c at r + 4c), points are column vectors.
#pragma once
#include <cstdint>

extern const double gIdentity[16];

// Diagnostic switches that narrow the frustum (0 off).
extern float gKillClip;   // "perf/kill_clip": projection from the central tenth of the window
extern float gKillCull;   // "perf/kill_cull": culling planes from the central tenth
extern float gExtraNear;  // "shadow/extra_near": moves the near plane of LookAtCamera's box

class xcam_class {
 public:
  xcam_class();
  explicit xcam_class(xcam_class* other);
  xcam_class(const xcam_class&) = default;
  xcam_class& operator=(const xcam_class&) = default;

  void SetupOrtho(double left, double right, double bottom, double top, double near, double far);
  void SetupFrustum(double left, double right, double bottom, double top, double near, double far);
  void SetupPerspective(double fovy_degrees, double aspect, double near, double far);
  void SetFakeFarClippingPlane(double distance);
  void ResetFakeFarClippingPlane();
  int GetFOVHalfCosines(float* horizontal, float* vertical);

  void Identity();
  void Translate(double x, double y, double z);
  void Rotate(double degrees, double x, double y, double z);
  void LookAtPtFromPt(double eye_x, double eye_y, double eye_z, double at_x, double at_y,
                      double at_z, double up_x, double up_y, double up_z);
  void LookAtPtFromDir(double x, double y, double z, double heading, double pitch, double distance);

  void CalcDirection(double* out);
  void CalcUp(double* out);
  void CalcRight(double* out);
  void CalcBillboardCamera(float* right, float* up);
  void CalcBillboardGround(float* right, float* up);
  void mtr_to_pix(double* world, double* out);
  void LookAtCamera(xcam_class* other, double* direction, double distance, double& near_out,
                    double& far_out);
  bool GetFrustumBounds(double distance, double y_low, double y_high, double* box_min,
                        double* box_max);

  int orthographic;
  double near_z;
  double far_z;
  double fake_far_z;
  double plane_top[3];
  double plane_left[3];
  double plane_right[3];
  double plane_bottom[3];
  double ortho_top, ortho_left, ortho_right, ortho_bottom;
  uint8_t changed;
  uint8_t modelview_stale;
  double projection[16];
  double modelview[16];

 private:
  void refresh_modelview();
  void view_axis(double x, double y, double z, double* out);
};

extern xcam_class xcam;

void setIdentityMatrix(double* m);
void copyMatrix(double* dst, const double* src);
void transposeMatrix(double* out, const double* in);
void addMatrices(double* out, const double* a, const double* b);
void multMatrices(double* out, const double* a, const double* b);
int invertMatrix(double* out, const double* in);
void buildOrthoMatrix(double* m, double left, double right, double bottom, double top,
                      double near, double far);
void buildFrustumMatrix(double* m, double left, double right, double bottom, double top,
                        double near, double far);
void buildPerspectiveMatrix(double* m, double fovy_degrees, double aspect, double near, double far);
void buildLookAtMatrix(double* m, double eye_x, double eye_y, double eye_z, double at_x,
                       double at_y, double at_z, double up_x, double up_y, double up_z);
void buildRotation(double* m, double degrees, double x, double y, double z);
void applyTranslation(double* m, double x, double y, double z);
void applyRotation(double* m, double degrees, double x, double y, double z);
double* vec3_assign(double* v, double x, double y, double z);
void printMatrix(const char* label, const double* m);

// Grows a bounding box by the part of segment a-b whose second coordinate lies in [y_low, y_high].
void accum_segment(double y_low, double y_high, double* a, double* b, double* box_min,
                   double* box_max);
