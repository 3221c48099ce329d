// mesh_geometry: the small vector arithmetic of the mesh check, the T-joint search and the
// element quality measures, on points scaled by a power of two (mesh_scale_for) so that
// squares of lengths neither overflow nor underflow.
#pragma once

#include "grid/Grid.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <system_error>
#include <thread>
#include <vector>

struct Vec3 {
  double x, y, z;
};

inline Vec3 sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline double norm(const Vec3& a) { return std::sqrt(dot(a, a)); }
inline bool finite(const GridPt& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }
inline Vec3 scaled(const GridPt& p, double s) { return {p.x * s, p.y * s, p.z * s}; }

// Angle between two vectors, degrees; NaN when either is zero.
inline double angle_deg(const Vec3& a, const Vec3& b) {
  if (!(norm(a) > 0 && norm(b) > 0)) return std::nan("");
  return std::atan2(norm(cross(a, b)), dot(a, b)) * (180.0 / M_PI);
}

// The angle between the halves of a quadrilateral split along its flatter diagonal; NaN
// when neither split has two triangles of some area.
inline double warp_deg(const Vec3* v) {
  const double a =
      angle_deg(cross(sub(v[1], v[0]), sub(v[2], v[0])), cross(sub(v[2], v[0]), sub(v[3], v[0])));
  const double b =
      angle_deg(cross(sub(v[2], v[1]), sub(v[3], v[1])), cross(sub(v[3], v[1]), sub(v[0], v[1])));
  return std::isnan(a) ? b : std::isnan(b) ? a : std::min(a, b);
}

// Twice the area vector of a triangle or quadrilateral (the cross product of its diagonals).
inline Vec3 face_area2(const Vec3* v, int n) {
  return n == 3 ? cross(sub(v[1], v[0]), sub(v[2], v[0])) : cross(sub(v[2], v[0]), sub(v[3], v[1]));
}

// A face has no area when it is smaller than 1e-12 of the square of its longest edge.
inline bool face_has_area(const Vec3& area2, double longest) {
  return 0.5 * norm(area2) > 1e-12 * longest * longest;
}

// The power of two that brings the largest finite coordinate of the representatives to
// [1/2, 1).
inline double mesh_scale_for(const std::vector<Grid*>& grids) {
  double maxabs = 0;
  for (const Grid* g : grids)
    for (const GridPt& p : g->mPts)
      if (!p.mapped_to && finite(p))
        maxabs = std::max({maxabs, std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
  if (!(maxabs > 0)) return 1;
  int e;
  std::frexp(maxabs, &e);
  return std::ldexp(1.0, std::clamp(-e, -1022, 1023));
}

// Calls fn(i) for every i in [0, n) on every core (this thread included), each i once, in no
// set order: callers keep per-i results and combine them in order.
template <class F>
void for_each_on_all_cores(size_t n, F fn) {
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < n;) fn(i);
  };
  std::vector<std::thread> helpers;
  const size_t cores = std::max(1u, std::thread::hardware_concurrency());
  try {
    for (size_t t = 1; t < cores && t < n; ++t) helpers.emplace_back(work);
  } catch (const std::system_error&) {  // fewer threads only cost time
  }
  work();
  for (std::thread& t : helpers) t.join();
}

// Splits [0, n) into `chunks` ranges and calls fn(chunk, begin, end) for each on every core.
template <class F>
void for_each_range_on_all_cores(size_t n, size_t chunks, F fn) {
  for_each_on_all_cores(chunks, [&](size_t c) { fn(c, n * c / chunks, n * (c + 1) / chunks); });
}
