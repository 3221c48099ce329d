#include "ui/Gl_Matrix.h"

#include <algorithm>
#include <cmath>

namespace {
const double DEG = M_PI / 180.0;

Gl_Vec3 cross(const Gl_Vec3& a, const Gl_Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double dot(const Gl_Vec3& a, const Gl_Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
}  // namespace

// -- quaternions

Gl_Quat quat_mul(const Gl_Quat& a, const Gl_Quat& b) {
  return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
          a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
          a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
          a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

Gl_Quat quat_normalized(const Gl_Quat& q) {
  const double n = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  if (!(n > 0) || !std::isfinite(n)) return {};
  return {q.x / n, q.y / n, q.z / n, q.w / n};
}

Gl_Quat quat_from_axis_angle(const Gl_Vec3& axis, double angle_deg) {
  const double n = std::sqrt(dot(axis, axis));
  if (!(n > 0)) return {};
  const double s = std::sin(0.5 * angle_deg * DEG) / n;
  return {axis[0] * s, axis[1] * s, axis[2] * s, std::cos(0.5 * angle_deg * DEG)};
}

std::array<double, 16> quat_matrix(const Gl_Quat& q) {
  const double x = q.x, y = q.y, z = q.z, w = q.w;
  return {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),     0,
          2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),     0,
          2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y), 0,
          0,                       0,                       0,                       1};
}

Gl_Vec3 quat_rotate(const Gl_Quat& q, const Gl_Vec3& v) {
  const auto m = quat_matrix(q);
  return {m[0] * v[0] + m[4] * v[1] + m[8] * v[2], m[1] * v[0] + m[5] * v[1] + m[9] * v[2],
          m[2] * v[0] + m[6] * v[1] + m[10] * v[2]};
}

// Shepperd's rule: start from the largest of w, x, y, z for accuracy.
Gl_Quat quat_from_rows(const Gl_Vec3& x, const Gl_Vec3& y, const Gl_Vec3& z) {
  const double m00 = x[0], m01 = x[1], m02 = x[2], m10 = y[0], m11 = y[1], m12 = y[2];
  const double m20 = z[0], m21 = z[1], m22 = z[2];
  const double t = m00 + m11 + m22;
  Gl_Quat q;
  if (t > 0) {
    const double s = 2 * std::sqrt(1 + t);
    q = {(m21 - m12) / s, (m02 - m20) / s, (m10 - m01) / s, s / 4};
  } else if (m00 > m11 && m00 > m22) {
    const double s = 2 * std::sqrt(1 + m00 - m11 - m22);
    q = {s / 4, (m01 + m10) / s, (m02 + m20) / s, (m21 - m12) / s};
  } else if (m11 > m22) {
    const double s = 2 * std::sqrt(1 + m11 - m00 - m22);
    q = {(m01 + m10) / s, s / 4, (m12 + m21) / s, (m02 - m20) / s};
  } else {
    const double s = 2 * std::sqrt(1 + m22 - m00 - m11);
    q = {(m02 + m20) / s, (m12 + m21) / s, s / 4, (m10 - m01) / s};
  }
  return quat_normalized(q);
}

Gl_Quat iso_orientation() {
  const double a = 1 / std::sqrt(2.0), b = 1 / std::sqrt(6.0), c = 1 / std::sqrt(3.0);
  return quat_from_rows({-a, a, 0}, {-b, -b, 2 * b}, {c, c, c});
}

// -- trackball

Gl_Vec3 trackball_point(double x, double y, int w, int h) {
  const double s = 4.0 / std::max(1, w + h);
  double px = (x - 0.5 * w) * s, py = (0.5 * h - y) * s;
  const double r2 = px * px + py * py;
  if (r2 <= 1) return {px, py, std::sqrt(1 - r2)};
  const double r = std::sqrt(r2);
  return {px / r, py / r, 0};
}

Gl_Quat trackball_rotation(const Gl_Vec3& p1, const Gl_Vec3& p2) {
  const Gl_Vec3 a = cross(p1, p2);
  return {a[0], a[1], a[2], dot(p1, p2)};
}

Gl_Quat key_rotation_lr(int n, double step_deg) { return quat_from_axis_angle({0, 1, 0}, n * step_deg); }
Gl_Quat key_rotation_du(int n, double step_deg) { return quat_from_axis_angle({1, 0, 0}, -n * step_deg); }

// -- picking

// Each record: name count, minimum depth, maximum depth, then the names.
std::vector<unsigned> nearest_hit_names(const uint32_t* buf, int hits, size_t len) {
  std::vector<unsigned> best;
  double best_z = 1.0;
  size_t at = 0;
  for (int h = 0; h < hits; ++h) {
    if (at + 3 > len) return {};
    const size_t count = buf[at];
    if (count > len - at - 3) return {};
    const double z = buf[at + 1] / 4294967295.0;
    if (z < best_z) {
      best_z = z;
      best.assign(buf + at + 3, buf + at + 3 + count);
    }
    at += 3 + count;
  }
  return best;
}

// -- Gl_Matrix

void Gl_Matrix::orientation(const Gl_Quat& q) {
  mOrientation = quat_normalized(q);
  mDirty = true;
}

void Gl_Matrix::rotate(const Gl_Quat& r) { orientation(quat_mul(r, mOrientation)); }

void Gl_Matrix::center(const Gl_Vec3& c) {
  mCenter = c;
  mDirty = true;
}

void Gl_Matrix::fov(double f_deg) {
  if (std::isnan(f_deg)) return;
  mFov = std::clamp(f_deg, 2.0, 90.0);
  mDistance = mDiameter / std::tan(mFov * M_PI / 360.0);
  mDirty = true;
}

void Gl_Matrix::distance(double d) {
  if (std::isnan(d)) return;
  mDistance = std::clamp(d, mDiameter, 114.0 * mDiameter);
  mFov = 2.0 * std::atan2(mDiameter, mDistance) / DEG;
  mDirty = true;
}

void Gl_Matrix::zoom(double z) {
  if (!(z > 0) || !std::isfinite(z)) return;
  mZoom = z;
  mDirty = true;
}

void Gl_Matrix::diameter(double d) {
  if (!(d > 0) || !std::isfinite(d)) return;
  mDiameter = d;
  mDirty = true;
}

void Gl_Matrix::aspect(double a) {
  if (!(a > 0) || !std::isfinite(a)) return;
  mAspect = a;
  mDirty = true;
}

void Gl_Matrix::viewport(int w, int h) {
  mWidth = std::max(1, w);
  mHeight = std::max(1, h);
  aspect(double(mWidth) / mHeight);
}

void Gl_Matrix::perspective(bool p) {
  mPerspective = p;
  mDirty = true;
}

void Gl_Matrix::model_bounds(const Gl_Vec3& lo, const Gl_Vec3& hi) {
  center({0.5 * (lo[0] + hi[0]), 0.5 * (lo[1] + hi[1]), 0.5 * (lo[2] + hi[2])});
  const Gl_Vec3 d{hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]};
  const double len = std::sqrt(dot(d, d));
  if (len < 1e-30 || !std::isfinite(len)) {
    mDiameter = 1;
    distance(1.1);
    return;
  }
  mDiameter = len;
  distance(1.1 * len);
}

void Gl_Matrix::screen_pan(double dx, double dy) {
  const Gl_Projection& p = projection();
  double sx = p.right - p.left, sy = p.top - p.bottom;
  if (p.perspective && p.near > 0) sx *= mDistance / p.near, sy *= mDistance / p.near;
  // The screen axes in model space are the rows of the rotation.
  const auto m = quat_matrix(mOrientation);
  for (int k = 0; k < 3; ++k) mCenter[k] += dx * sx * m[4 * k] + dy * sy * m[4 * k + 1];
  mDirty = true;
}

void Gl_Matrix::zoom_at(double fx, double fy, double factor) {
  if (!(factor > 0) || !std::isfinite(factor)) return;
  // The view shrinks to 1/factor about its centre; the centre moves so the point keeps its place.
  screen_pan(fx * (1 - 1 / factor), fy * (1 - 1 / factor));
  zoom(mZoom * factor);
}

// -- derived

void Gl_Matrix::update() {
  if (!mDirty) return;
  Gl_Projection& p = mProjection;
  const double h = 0.5 * mDiameter / mZoom;
  if (mAspect > 1) p.left = -mAspect * h, p.right = mAspect * h, p.bottom = -h, p.top = h;
  else p.left = -h, p.right = h, p.bottom = -h / mAspect, p.top = h / mAspect;
  mPixelSize = (p.right - p.left) / mWidth;
  p.far = mDistance + mDiameter;
  // The scene lies within diameter/2 of the centre, so no part of it is nearer than
  // distance - diameter/2 >= diameter/2; a near plane at (almost) zero would leave the
  // depth buffer no resolution, so it stays at least 1/1000 of far.
  p.near = mDistance - mDiameter >= 1e-30 ? std::min(0.1 * p.far, mDistance - mDiameter) : 1e-30;
  p.near = std::max(p.near, 1e-3 * p.far);
  p.perspective = mPerspective;
  if (mPerspective) {
    const double s = p.near / mDistance;
    p.left *= s, p.right *= s, p.bottom *= s, p.top *= s;
  }
  // Model-view = T(0, 0, -distance) R T(-center).
  const auto r = quat_matrix(mOrientation);
  for (int k = 0; k < 16; ++k) mModelView[k] = float(r[k]);
  for (int row = 0; row < 3; ++row) {
    double t = 0;
    for (int k = 0; k < 3; ++k) t -= r[4 * k + row] * mCenter[k];
    if (row == 2) t -= mDistance;
    mModelView[12 + row] = float(t);
  }
  mDirty = false;
}

const Gl_Projection& Gl_Matrix::projection() {
  update();
  return mProjection;
}

const std::array<float, 16>& Gl_Matrix::model_view() {
  update();
  return mModelView;
}

double Gl_Matrix::pixel_size() {
  update();
  return mPixelSize;
}
