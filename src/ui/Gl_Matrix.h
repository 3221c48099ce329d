// Gl_Matrix: the viewer's camera as plain math — orientation quaternion, centre, field of
// view, distance, zoom and the projection window derived from them — plus the trackball,
// key-step rotations and the selection-buffer depth rule. No OpenGL calls: the viewer loads
// projection() and model_view() itself, so all of this is testable without a display.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

using Gl_Vec3 = std::array<double, 3>;

// A rotation as the quaternion (x, y, z, w).
struct Gl_Quat {
  double x = 0, y = 0, z = 0, w = 1;
};

// -- quaternions
Gl_Quat quat_mul(const Gl_Quat& a, const Gl_Quat& b);  // a after b
Gl_Quat quat_normalized(const Gl_Quat& q);
Gl_Quat quat_from_axis_angle(const Gl_Vec3& axis, double angle_deg);
// Column-major 4x4 rotation matrix of a unit quaternion.
std::array<double, 16> quat_matrix(const Gl_Quat& q);
Gl_Vec3 quat_rotate(const Gl_Quat& q, const Gl_Vec3& v);
// The rotation whose matrix has the rows x, y, z (an orthonormal right-handed frame): it
// turns model direction x to the screen's right, y up and z towards the viewer.
Gl_Quat quat_from_rows(const Gl_Vec3& x, const Gl_Vec3& y, const Gl_Vec3& z);
// The isometric view: looking along (-1, -1, -1), model z up on the screen.
Gl_Quat iso_orientation();

// -- trackball
// Pixel (x, y) of a w x h view on the virtual trackball sphere: scaled by 4/(w+h) about the
// view centre, y up; points outside the unit circle land on its rim with z = 0.
Gl_Vec3 trackball_point(double x, double y, int w, int h);
// The rotation (p1 x p2, p1 . p2) taking sphere point p1 towards p2.
Gl_Quat trackball_rotation(const Gl_Vec3& p1, const Gl_Vec3& p2);
// Key rotations: n steps of step_deg about the view's vertical axis (left/right) or its
// horizontal axis (up/down, opposite sign).
Gl_Quat key_rotation_lr(int n, double step_deg);
Gl_Quat key_rotation_du(int n, double step_deg);

// -- picking
// The names of the nearest record in an OpenGL selection buffer of `hits` records held in
// `len` words: smallest minimum depth z/(2^32-1), starting from 1.0 and replaced only on a
// strictly smaller depth. Empty when nothing is nearer than 1.0 or the buffer is malformed.
std::vector<unsigned> nearest_hit_names(const uint32_t* buf, int hits, size_t len);

// Projection window: left, right, bottom, top, near, far, as loaded (already scaled to the
// near plane when perspective).
struct Gl_Projection {
  double left = 0, right = 0, bottom = 0, top = 0, near = 0, far = 0;
  bool perspective = true;
};

class Gl_Matrix {
public:
  // -- settings (each marks the derived matrices dirty)
  void orientation(const Gl_Quat& q);
  const Gl_Quat& orientation() const { return mOrientation; }
  void rotate(const Gl_Quat& r);  // r applied after the current orientation
  void center(const Gl_Vec3& c);
  const Gl_Vec3& center() const { return mCenter; }
  // Clamped to [2, 90] degrees; sets distance = diameter / tan(fov/2).
  void fov(double f_deg);
  double fov() const { return mFov; }
  // Clamped to [diameter, 114 diameter]; sets fov = 2 atan2(diameter, distance).
  void distance(double d);
  double distance() const { return mDistance; }
  void zoom(double z);      // positive values only
  double zoom() const { return mZoom; }
  void diameter(double d);  // positive values only; distance unchanged
  double diameter() const { return mDiameter; }
  void aspect(double a);
  double aspect() const { return mAspect; }
  void viewport(int w, int h);  // pixels; also sets the aspect w/h
  int width() const { return mWidth; }
  int height() const { return mHeight; }
  void perspective(bool p);
  bool perspective() const { return mPerspective; }
  // Centre at the midpoint, diameter |hi - lo| (1 below 1e-30), distance 1.1 diameter.
  void model_bounds(const Gl_Vec3& lo, const Gl_Vec3& hi);
  // Moves the centre by dx of the view's width and dy of its height along the screen axes.
  void screen_pan(double dx, double dy);
  // Multiplies the zoom by `factor` about a point fx of the view's width right of its centre
  // and fy of its height above it: what lies there at the centre's depth stays there.
  void zoom_at(double fx, double fy, double factor);

  // -- derived
  const Gl_Projection& projection();
  // Column-major model-view: rotation, then translation by -center, then by -distance in z.
  const std::array<float, 16>& model_view();
  double pixel_size();  // model units per pixel at the centre's depth
  bool dirty() const { return mDirty; }

private:
  Gl_Quat mOrientation;
  Gl_Vec3 mCenter{0, 0, 0};
  double mFov = 30, mDiameter = 1, mDistance = 6, mZoom = 1, mAspect = 1;
  int mWidth = 100, mHeight = 100;
  bool mPerspective = true;
  bool mDirty = true;
  Gl_Projection mProjection;
  double mPixelSize = 0;
  std::array<float, 16> mModelView{};

  void update();
};
