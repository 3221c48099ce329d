#include "merge/element_quality.h"

#include "grid/Grid.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// ORDER QUALITY_MEASURES
const char* const MEASURE_NAMES[] = {"aspect ratio", "smallest angle", "warp", "folds", "T-joints", "free edges"};
static_assert(sizeof MEASURE_NAMES / sizeof *MEASURE_NAMES == size_t(QualityMeasure::COUNT));

constexpr float NONE = std::numeric_limits<float>::quiet_NaN();

// Calls f(part, k, n, p, number) for each written element (two points or more after merging)
// of every part: p holds its n corners' representatives, number counts as a mesh file does.
template <class F>
void for_written(std::vector<long>& first, F f) {
  long number = 0;
  for (int gi = 0; gi < (int)Grid::gGrids.size(); ++gi) {
    const Grid* g = Grid::gGrids[gi];
    first.push_back(number);
    for (int k = 0, ne = g->num_elements(); k < ne; ++k) {
      long idx[4];
      const int n = g->element(k, idx);
      if (n < 2) continue;
      GridPt p[4];
      for (int j = 0; j < n && j < 4; ++j) p[j] = effective(g->mPts[idx[j]]);
      f(gi, k, n, p, ++number);
    }
  }
}

double shape_value(QualityMeasure m, const FaceQuality& f) {
  switch (m) {
  case QualityMeasure::ASPECT_RATIO: return f.aspect;
  case QualityMeasure::SMALLEST_ANGLE: return f.min_angle_deg;
  default: return f.has_area ? f.warp_deg : NAN;
  }
}

// Adds one to the element of each finding (its written number).
template <class T, class At>
void count_at(ElementQuality& q, const std::vector<T>& found, At at) {
  for (const T& x : found)
    for (const MeshCheck::Where& w : at(x))
      if (w.number >= 1 && w.number <= q.elements() && !std::isnan(q.value[w.number - 1]))
        q.value[w.number - 1] += 1;
}

// Face edges keyed by their points' numbers (lo << 32 | hi): how many faces use each, and the
// first one's number and direction. Open addressing, grown at half full.
class EdgeTable {
public:
  struct Slot {
    uint64_t key = 0;  // 0: empty (point numbers start from 1)
    uint32_t face = 0;
    uint32_t uses = 0;  // faces using it << 1 | the first one goes lo -> hi
  };
  explicit EdgeTable(size_t expected) { mSlots.resize(capacity_for(expected)); }
  void add(uint64_t key, uint32_t face, bool forward) {
    if (2 * (mUsed + 1) > mSlots.size()) grow();
    Slot& s = find(key);
    if (!s.key) {
      s = {key, face, forward ? 1u : 0u};
      ++mUsed;
    }
    s.uses += 2;
  }
  const Slot& at(uint64_t key) { return find(key); }

private:
  static size_t capacity_for(size_t n) {
    size_t cap = 16;
    while (cap < 2 * n) cap *= 2;
    return cap;
  }
  Slot& find(uint64_t key) {
    const size_t mask = mSlots.size() - 1;
    for (size_t i = (key * 0x9E3779B97F4A7C15ull) >> 17 & mask;; i = (i + 1) & mask)
      if (mSlots[i].key == key || !mSlots[i].key) return mSlots[i];
  }
  void grow() {
    std::vector<Slot> old(mSlots.size() * 2);
    old.swap(mSlots);
    for (const Slot& s : old)
      if (s.key) find(s.key) = s;
  }
  std::vector<Slot> mSlots;
  size_t mUsed = 0;
};

// Free edges and folds as check_mesh finds them (an edge of one face is free; two faces
// traversing their edge in opposite directions whose normals turn by more than FOLD_DEG are
// folded), counted per face through a hash of edges instead of sorting every edge's use.
// False when point numbers do not fit the table's keys.
bool count_edges_hashed(ElementQuality& q) {
  long points = 0;
  for (const Grid* g : Grid::gGrids)
    for (const GridPt& p : g->mPts) points += !p.mapped_to;
  if (points >= (1l << 32) - 1 || q.elements() >= (1l << 32) - 1) return false;
  const bool folds = q.measure == QualityMeasure::FOLDS;
  const double s = mesh_scale_for(Grid::gGrids);
  std::vector<Vec3> normals(folds ? q.value.size() : 0);
  EdgeTable edges(2 * q.value.size());
  auto key = [](int64_t a, int64_t b, bool& forward) {
    forward = a < b;
    return uint64_t(std::min(a, b)) << 32 | uint64_t(std::max(a, b));
  };
  std::vector<long> unused;
  // Pass 1: every face's edges, and its normal (zero without area or finite corners).
  for_written(unused, [&](int, int, int n, const GridPt* p, long number) {
    if (n != 3 && n != 4) return;
    bool forward;
    for (int j = 0; j < n; ++j) {
      const uint64_t k = key(p[j].id, p[(j + 1) % n].id, forward);
      edges.add(k, uint32_t(number), forward);
    }
    if (!folds || !std::all_of(p, p + n, [](const GridPt& x) { return finite(x); })) return;
    Vec3 v[4];
    double longest = 0;
    for (int j = 0; j < n; ++j) v[j] = scaled(p[j], s);
    for (int j = 0; j < n; ++j) longest = std::max(longest, norm(sub(v[(j + 1) % n], v[j])));
    const Vec3 area2 = face_area2(v, n);
    if (face_has_area(area2, longest)) normals[number - 1] = area2;
  });
  // Pass 2: each face counts its free edges; the second face of an edge counts a fold for both.
  unused.clear();
  for_written(unused, [&](int, int, int n, const GridPt* p, long number) {
    if (n != 3 && n != 4) return;
    bool forward;
    for (int j = 0; j < n; ++j) {
      const EdgeTable::Slot& e = edges.at(key(p[j].id, p[(j + 1) % n].id, forward));
      const uint32_t uses = e.uses >> 1;
      if (!folds) {
        if (uses == 1) q.value[number - 1] += 1;
      } else if (uses == 2 && e.face != uint32_t(number) && bool(e.uses & 1) != forward &&
                 angle_deg(normals[e.face - 1], normals[number - 1]) > MeshCheck::FOLD_DEG) {
        q.value[number - 1] += 1;
        q.value[e.face - 1] += 1;
      }
    }
  });
  return true;
}

}  // namespace

const char* quality_measure_name(QualityMeasure m) {
  return m < QualityMeasure::COUNT ? MEASURE_NAMES[int(m)] : "";
}

bool quality_high_is_bad(QualityMeasure m) { return m != QualityMeasure::SMALLEST_ANGLE; }

bool quality_is_count(QualityMeasure m) {
  return m == QualityMeasure::FOLDS || m == QualityMeasure::T_JOINTS || m == QualityMeasure::FREE_EDGES;
}

FaceQuality measure_face_quality(const Vec3* v, int n) {
  FaceQuality f;
  double shortest = std::numeric_limits<double>::infinity(), longest = 0;
  for (int k = 0; k < n; ++k) {
    const double len = norm(sub(v[(k + 1) % n], v[k]));
    shortest = std::min(shortest, len);
    longest = std::max(longest, len);
  }
  if (!face_has_area(face_area2(v, n), longest)) {
    f.has_area = false;
    f.aspect = std::numeric_limits<double>::infinity();
    return f;
  }
  f.aspect = longest / shortest;
  f.min_angle_deg = 180;
  for (int k = 0; k < n; ++k) {
    const double deg = angle_deg(sub(v[(k + n - 1) % n], v[k]), sub(v[(k + 1) % n], v[k]));
    if (deg < f.min_angle_deg) f.min_angle_deg = deg;  // NaN (a zero-length edge) is left out
  }
  if (n == 4) {
    const double w = warp_deg(v);
    f.warp_deg = std::isnan(w) ? 0 : w;
  }
  return f;
}

ElementQuality measure_elements(QualityMeasure m) {
  ElementQuality q;
  q.measure = m;
  const double s = mesh_scale_for(Grid::gGrids);
  const bool counts = quality_is_count(m);
  // A face without finite corners has no value; bars have one only as T-joint counts.
  for_written(q.first, [&](int, int, int n, const GridPt* p, long) {
    const bool is_face = n == 3 || n == 4;
    const bool ok = std::all_of(p, p + std::min(n, 4), [](const GridPt& x) { return finite(x); });
    if (!ok || (!is_face && m != QualityMeasure::T_JOINTS)) {
      q.value.push_back(NONE);
    } else if (counts) {
      q.value.push_back(0);
    } else {
      Vec3 v[4];
      for (int j = 0; j < n; ++j) v[j] = scaled(p[j], s);
      q.value.push_back(float(shape_value(m, measure_face_quality(v, n))));
    }
  });
  switch (m) {
  case QualityMeasure::FOLDS:
    if (count_edges_hashed(q)) break;
    count_at(q, mesh_folds(), [](const MeshCheck::Fold& f) { return std::vector<MeshCheck::Where>{f.at, f.other}; });
    break;
  case QualityMeasure::T_JOINTS:
    count_at(q, mesh_t_joint_elements(), [](const MeshCheck::Where& w) { return std::vector<MeshCheck::Where>{w}; });
    break;
  case QualityMeasure::FREE_EDGES:
    if (count_edges_hashed(q)) break;
    count_at(q, mesh_free_edges(), [](const MeshCheck::Edge& e) { return std::vector<MeshCheck::Where>{e.at}; });
    break;
  default: break;
  }
  bool any = false;
  for (float v : q.value) {
    if (std::isnan(v)) continue;
    ++q.measured;
    if (std::isinf(v)) {
      ++q.unbounded;
      continue;
    }
    q.lo = any ? std::min(q.lo, double(v)) : v;
    q.hi = any ? std::max(q.hi, double(v)) : v;
    any = true;
  }
  return q;
}

double quality_badness(const ElementQuality& q, double value) {
  if (std::isnan(value)) return value;
  const bool high_bad = quality_high_is_bad(q.measure);
  if (std::isinf(value)) return (value > 0) == high_bad ? 1 : 0;
  // Counts start from none found, so a model with one finding shows it at the bad end.
  const double lo = quality_is_count(q.measure) ? 0 : q.lo;
  if (!(q.hi > lo)) return 0;  // all alike: none stands out
  const double t = (value - lo) / (q.hi - lo);
  return std::clamp(high_bad ? t : 1 - t, 0.0, 1.0);
}

std::vector<long> worst_elements(const ElementQuality& q, size_t limit) {
  std::vector<long> order;
  const bool high_bad = quality_high_is_bad(q.measure);
  for (long i = 0; i < q.elements(); ++i) {
    const float v = q.value[i];
    if (std::isnan(v) || (quality_is_count(q.measure) && v <= 0)) continue;
    order.push_back(i + 1);
  }
  auto worse = [&](long a, long b) {
    const float va = q.value[a - 1], vb = q.value[b - 1];
    if (va != vb) return high_bad ? va > vb : va < vb;
    return a < b;
  };
  limit = std::min(limit, order.size());
  std::partial_sort(order.begin(), order.begin() + long(limit), order.end(), worse);
  order.resize(limit);
  return order;
}

MeshCheck::Where locate_element(const ElementQuality& q, long number) {
  if (number < 1 || number > q.elements() || q.first.empty()) return {};
  const int part = int(std::upper_bound(q.first.begin(), q.first.end(), number - 1) - q.first.begin()) - 1;
  if (part < 0 || part >= (int)Grid::gGrids.size()) return {};
  const Grid* g = Grid::gGrids[part];
  long seen = q.first[part];
  for (int k = 0, ne = g->num_elements(); k < ne; ++k) {
    long idx[4];
    if (g->element(k, idx) >= 2 && ++seen == number) return {part, k, number};
  }
  return {};
}
