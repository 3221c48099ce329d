#include "meshio/mesh_compare.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>

namespace {

const char* const KIND[5] = {"", "", "bar", "triangle", "quadrilateral"};

std::string num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.9g", v);
  return buf;
}

double dist(const std::vector<double>& a, long i, const std::vector<double>& b, long j) {
  const double dx = a[3 * i] - b[3 * j], dy = a[3 * i + 1] - b[3 * j + 1], dz = a[3 * i + 2] - b[3 * j + 2];
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The power of two that brings the largest finite coordinate of both meshes to [1/2, 1):
// squared distances then neither overflow nor underflow.
double scale_for(const FlatMesh& a, const FlatMesh& b) {
  double maxabs = 0;
  for (const FlatMesh* m : {&a, &b})
    for (double v : m->xyz)
      if (std::isfinite(v)) maxabs = std::max(maxabs, std::fabs(v));
  if (!(maxabs > 0)) return 1;
  int e;
  std::frexp(maxabs, &e);
  return std::ldexp(1.0, std::clamp(-e, -1022, 1023));
}

std::vector<double> scaled(const std::vector<double>& xyz, double s) {
  std::vector<double> out(xyz.size());
  for (size_t i = 0; i < xyz.size(); ++i) out[i] = xyz[i] * s;
  return out;
}

// Points of a mesh filed by cubic cells of edge h.
class PointCells {
public:
  PointCells(const std::vector<double>& xyz, double h) : mXyz(xyz), mH(h) {
    for (long i = 0; i < (long)xyz.size() / 3; ++i) mCells[key(cell(xyz, i))].push_back(i);
  }
  // The nearest point to point i of `q` among the 27 cells around it, or -1; its distance in d.
  long nearest(const std::vector<double>& q, long i, double& d) const {
    const auto c = cell(q, i);
    long best = -1;
    for (int64_t dx = -1; dx <= 1; ++dx)
      for (int64_t dy = -1; dy <= 1; ++dy)
        for (int64_t dz = -1; dz <= 1; ++dz) {
          auto it = mCells.find(key({c[0] + dx, c[1] + dy, c[2] + dz}));
          if (it == mCells.end()) continue;
          for (long j : it->second) {
            const double e = dist(q, i, mXyz, j);
            if (best < 0 || e < d || (e == d && j < best)) {
              best = j;
              d = e;
            }
          }
        }
    return best;
  }

private:
  std::array<int64_t, 3> cell(const std::vector<double>& xyz, long i) const {
    std::array<int64_t, 3> c;
    for (int a = 0; a < 3; ++a) {
      const double v = std::floor(xyz[3 * i + a] / mH);
      c[a] = std::isfinite(v) ? int64_t(std::clamp(v, -4e18, 4e18)) : 0;
    }
    return c;
  }
  static uint64_t key(const std::array<int64_t, 3>& c) {
    uint64_t h = uint64_t(c[0]) * 0x9E3779B97F4A7C15ull;
    h ^= uint64_t(c[1]) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
    h ^= uint64_t(c[2]) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
    return h;  // cells sharing a key share a list: nearest() measures every point anyway
  }
  const std::vector<double>& mXyz;
  double mH;
  std::unordered_map<uint64_t, std::vector<long>> mCells;
};

// An element's points in its own cyclic order, rotated to start at the smallest.
using Key = std::array<long, 5>;
Key element_key(int n, const long* p, bool reversed) {
  long q[4];
  for (int j = 0; j < n; ++j) q[j] = reversed ? p[(n - j) % n] : p[j];
  const int s = int(std::min_element(q, q + n) - q);
  Key k{n, -1, -1, -1, -1};
  for (int j = 0; j < n; ++j) k[1 + j] = q[(s + j) % n];
  return k;
}

std::string element_text(const FlatMesh& m, long e) {
  std::string s = KIND[m.count[e]];
  for (int j = 0; j < m.count[e]; ++j) s += " " + std::to_string(m.pts[4 * e + j] + 1);
  return s;
}

std::string group_name(const FlatMesh& m, long e) {
  const int g = m.group[e];
  return g >= 0 && g < (int)m.names.size() ? m.names[g] : "?";
}

struct Report {
  MeshComparison& out;
  size_t keep;
  void add(const std::string& text) {
    ++out.differences;
    if (out.first.size() < keep) out.first.push_back(text);
  }
};

void compare_counts(Report& r, const FlatMesh& model, const FlatMesh& ref) {
  auto one = [&](const char* what, long a, long b) {
    if (a != b)
      r.add("the model has " + std::to_string(a) + " " + what + ", the reference " + std::to_string(b));
  };
  one("points", model.points(), ref.points());
  one("elements", model.elements(), ref.elements());
  one("groups", (long)model.names.size(), (long)ref.names.size());
}

// Maps each model point to its reference point (or -1), telling every point left alone.
std::vector<long> match_points(Report& r, const FlatMesh& model, const FlatMesh& ref, double tol) {
  // The first group that uses a point says where it is.
  std::vector<int> where(model.points(), -1);
  for (long e = model.elements() - 1; e >= 0; --e)
    for (int j = 0; j < model.count[e]; ++j) where[model.pts[4 * e + j]] = model.group[e];

  // Distances are measured on both meshes scaled by one power of two, told unscaled.
  const double scale = scale_for(model, ref), tol_s = std::min(tol * scale, 1e300);
  const std::vector<double> mxyz = scaled(model.xyz, scale), rxyz = scaled(ref.xyz, scale);
  double size = 0;
  for (double v : rxyz)
    if (std::isfinite(v)) size = std::max(size, std::fabs(v));
  const double h = std::max({tol_s, 1e-9 * size, 1e-300});
  PointCells cells(rxyz, h);
  // Coarse cells, about one point each, find the nearest point to tell how far off one is.
  const double coarse = std::max(h, 2 * size / std::max(1.0, std::cbrt(double(ref.points()))));
  std::unique_ptr<PointCells> far;
  std::vector<long> map(model.points(), -1);
  std::vector<char> used(ref.points(), 0);
  for (long i = 0; i < model.points(); ++i) {
    double d = 0;
    const long j = cells.nearest(mxyz, i, d);
    if (j >= 0 && d <= tol_s) {
      map[i] = j;
      used[j] = 1;
      continue;
    }
    std::string s = "point " + std::to_string(i + 1);
    if (where[i] >= 0) s += " of part '" + model.names[where[i]] + "'";
    s += " at " + num(model.xyz[3 * i]) + " " + num(model.xyz[3 * i + 1]) + " " + num(model.xyz[3 * i + 2]) +
         " has no reference point within " + num(tol);
    long k = j;
    if (k < 0 && r.out.first.size() < r.keep) {
      if (!far) far = std::make_unique<PointCells>(rxyz, coarse);
      k = far->nearest(mxyz, i, d);
    }
    if (k >= 0) s += "; the nearest, reference point " + std::to_string(k + 1) + ", is " + num(d / scale) + " away";
    r.add(s);
  }
  for (long j = 0; j < ref.points(); ++j)
    if (!used[j])
      r.add("reference point " + std::to_string(j + 1) + " at " + num(ref.xyz[3 * j]) + " " +
            num(ref.xyz[3 * j + 1]) + " " + num(ref.xyz[3 * j + 2]) + " has no model point within " + num(tol));
  return map;
}

void match_elements(Report& r, const FlatMesh& model, const FlatMesh& ref, const std::vector<long>& map) {
  std::map<Key, std::vector<long>> by_key;
  for (long e = 0; e < ref.elements(); ++e) by_key[element_key(ref.count[e], &ref.pts[4 * e], false)].push_back(e);
  std::vector<char> used(ref.elements(), 0);
  auto take = [&](const Key& k) -> long {
    auto it = by_key.find(k);
    if (it == by_key.end()) return -1;
    for (long e : it->second)
      if (!used[e]) return used[e] = 1, e;
    return -1;
  };
  for (long e = 0; e < model.elements(); ++e) {
    const int n = model.count[e];
    const std::string what =
        "element " + std::to_string(e + 1) + " of part '" + group_name(model, e) + "' (" + element_text(model, e) + ")";
    long p[4];
    bool mapped = true;
    for (int j = 0; j < n; ++j) mapped = mapped && (p[j] = map[model.pts[4 * e + j]]) >= 0;
    if (!mapped) {
      r.add(what + " uses a point that is not in the reference");
      continue;
    }
    long f = take(element_key(n, p, false));
    if (f < 0 && n > 2 && (f = take(element_key(n, p, true))) >= 0) {
      r.add(what + " faces the other way in the reference (its element " + std::to_string(f + 1) + ")");
      continue;
    }
    if (f < 0)
      r.add(what + " is not in the reference");
    else if (group_name(ref, f) != group_name(model, e))
      r.add(what + " is in group '" + group_name(ref, f) + "' in the reference");
  }
  for (long f = 0; f < ref.elements(); ++f)
    if (!used[f])
      r.add("reference element " + std::to_string(f + 1) + " of group '" + group_name(ref, f) + "' (" +
            element_text(ref, f) + ") is not in the model");
}

void compare_names(Report& r, const FlatMesh& model, const FlatMesh& ref) {
  // Hashed: a model may have a hundred thousand groups.
  const std::unordered_set<std::string> in_model(model.names.begin(), model.names.end());
  const std::unordered_set<std::string> in_ref(ref.names.begin(), ref.names.end());
  for (const auto& n : model.names)
    if (!in_ref.count(n)) r.add("group '" + n + "' is not in the reference");
  for (const auto& n : ref.names)
    if (!in_model.count(n)) r.add("reference group '" + n + "' is not in the model");
}

}  // namespace

MeshComparison compare_meshes(const FlatMesh& model, const FlatMesh& ref, double tol, size_t keep) {
  MeshComparison out;
  out.tolerance = tol;
  Report r{out, keep};
  compare_counts(r, model, ref);
  compare_names(r, model, ref);
  match_elements(r, model, ref, match_points(r, model, ref, tol));
  return out;
}
