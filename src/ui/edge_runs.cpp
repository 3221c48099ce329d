#include "ui/edge_runs.h"

#include <cmath>

namespace {
struct Vec {
  double x, y, z;
};
Vec sub(const Vec& a, const Vec& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec cross(const Vec& a, const Vec& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

// w continues u: the same direction within kSine (the sine of the angle between them).
constexpr double kSine = 1e-6;
bool continues(const Vec& u, const Vec& w) {
  const double d = dot(u, w);
  if (!(d > 0)) return false;
  const Vec c = cross(u, w);
  return dot(c, c) <= kSine * kSine * dot(u, u) * dot(w, w);
}
}  // namespace

std::vector<uint32_t> join_collinear_edges(const std::vector<float>& verts, const std::vector<uint32_t>& edges,
                                           int floats_per_vertex) {
  const size_t V = verts.size() / size_t(floats_per_vertex), E = edges.size() / 2;
  auto at = [&](uint32_t k) {
    const float* p = &verts[size_t(k) * floats_per_vertex];
    return Vec{p[0], p[1], p[2]};
  };
  // The edges at each vertex (compressed rows).
  std::vector<uint32_t> start(V + 1, 0), incident(2 * E);
  for (size_t e = 0; e < E; ++e) ++start[edges[2 * e] + 1], ++start[edges[2 * e + 1] + 1];
  for (size_t v = 0; v < V; ++v) start[v + 1] += start[v];
  std::vector<uint32_t> fill(start.begin(), start.end() - 1);
  for (size_t e = 0; e < E; ++e)
    for (int end = 0; end < 2; ++end) incident[fill[edges[2 * e + end]]++] = uint32_t(e);

  std::vector<uint8_t> used(E, 0);
  std::vector<uint32_t> out;
  out.reserve(edges.size() / 4);
  // From `end`, away from `from`, along unused edges that keep the direction; returns the last point.
  auto extend = [&](uint32_t from, uint32_t end) {
    const Vec a = at(from);
    Vec u = sub(at(end), a);
    for (bool more = true; more;) {
      more = false;
      const Vec b = at(end);
      for (uint32_t k = start[end]; k < start[end + 1]; ++k) {
        const uint32_t e = incident[k];
        if (used[e]) continue;
        const uint32_t c = edges[2 * e] == end ? edges[2 * e + 1] : edges[2 * e];
        if (!continues(u, sub(at(c), b))) continue;
        used[e] = 1;
        end = c;
        u = sub(at(end), a);  // the whole run's direction: no drift over a long chain
        more = true;
        break;
      }
    }
    return end;
  };
  for (size_t e = 0; e < E; ++e) {
    if (used[e]) continue;
    used[e] = 1;
    const uint32_t a = edges[2 * e], b = edges[2 * e + 1];
    if (a == b) {
      out.insert(out.end(), {a, b});
      continue;
    }
    const uint32_t last = extend(a, b), first = extend(last, a);
    out.insert(out.end(), {first, last});
  }
  return out;
}
