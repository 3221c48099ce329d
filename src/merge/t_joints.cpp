#include "merge/t_joints.h"

#include "grid/Grid.h"
#include "merge/cell_table.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>

namespace {

constexpr int kMaxLevel = 60;

// An element filed in the cells: its part, index in the part and written number.
struct Filed {
  int part;
  int k;
  long number;
};

uint64_t cell_key(int level, double x, double y, double z, double cell, int dx = 0, int dy = 0, int dz = 0) {
  auto idx = [&](double v, int d) { return int64_t(std::floor(v / cell)) + d; };
  return cell_hash(level, idx(x, dx), idx(y, dy), idx(z, dz));
}

// The corners of element k of part g after merging, scaled; 0 when it has a non-finite
// corner or fewer than two points. `written`: whether it has two points or more.
int corners(const TJointInput& in, const Grid* g, int k, Vec3* v, int64_t* ids, bool* written = nullptr) {
  long idx[4];
  const int n = g->element(k, idx);
  if (written) *written = n >= 2;
  if (n < 2) return 0;
  for (int j = 0; j < n; ++j) {
    ids[j] = effective(g->mPts[idx[j]]).id;
    if (ids[j] < 1 || ids[j] > (int64_t)in.pos.size() || !in.finite[ids[j] - 1]) return 0;
    v[j] = in.pos[ids[j] - 1];
  }
  return n;
}

double longest_edge(const Vec3* v, int n) {
  double l = 0;
  for (int j = 0; j < n; ++j) l = std::max(l, norm(sub(v[(j + 1) % n], v[j])));
  return l;
}

// The distance within which a point lies on the element (scaled units).
double reach(const TJointInput& in, int part, const Vec3* v, int n) {
  return std::max(std::min(in.tolerance[part] * in.scale, 4.0), 1e-6 * longest_edge(v, n));
}

// Distance from p to the inside of segment a-b, or -1 when p projects outside it.
double to_segment(const Vec3& p, const Vec3& a, const Vec3& b) {
  const Vec3 d = sub(b, a);
  const double dd = dot(d, d);
  if (!(dd > 0)) return -1;
  const double t = dot(sub(p, a), d) / dd;
  if (!(t > 0 && t < 1)) return -1;
  return norm(sub(p, {a.x + t * d.x, a.y + t * d.y, a.z + t * d.z}));
}

// Distance from p to the plane of triangle a b c, or -1 when p projects outside it.
double to_triangle(const Vec3& p, const Vec3& a, const Vec3& b, const Vec3& c) {
  const Vec3 n = cross(sub(b, a), sub(c, a));
  const double nn = norm(n);
  if (!(nn > 0)) return -1;
  if (dot(cross(sub(b, a), sub(p, a)), n) < 0 || dot(cross(sub(c, b), sub(p, b)), n) < 0 ||
      dot(cross(sub(a, c), sub(p, c)), n) < 0)
    return -1;
  return std::fabs(dot(sub(p, a), n)) / nn;
}

// The distance at which p lies on the element, or -1 when it does not (within `tol`).
double on_element(const Vec3& p, const Vec3* v, int n, double tol) {
  for (int j = 0; j < n; ++j)
    if (norm(sub(p, v[j])) <= tol) return -1;
  double best = -1;
  auto take = [&](double d) {
    if (d >= 0 && d <= tol && (best < 0 || d < best)) best = d;
  };
  const int edges = n == 2 ? 1 : n;
  for (int j = 0; j < edges; ++j) take(to_segment(p, v[j], v[(j + 1) % n]));
  if (n >= 3) take(to_triangle(p, v[0], v[1], v[2]));
  if (n == 4) take(to_triangle(p, v[0], v[2], v[3]));
  return best;
}

// The elements' mean longest edge (scaled model within [-1, 1]) and their count.
double mean_element_size(const TJointInput& in, size_t& n_elements) {
  n_elements = 0;
  double sum = 0;
  for (int gi = 0; gi < (int)Grid::gGrids.size(); ++gi)
    for (int k = 0, ne = Grid::gGrids[gi]->num_elements(); k < ne; ++k) {
      Vec3 v[4];
      int64_t ids[4];
      const int n = corners(in, Grid::gGrids[gi], k, v, ids);
      if (!n) continue;
      ++n_elements;
      sum += longest_edge(v, n);
    }
  return n_elements ? sum / double(n_elements) : 0;
}

// Every element filed at the level whose cells are at least twice its box (grown by its
// reach), in the cell of its box's low corner; level L has cells of h0 * 2^L.
struct FiledElements {
  double h0 = 0;
  uint64_t levels = 0;  // bit L: some element is filed at level L
  CellTable table{0};
  std::vector<Filed> order;  // by cell, as the table's ranges give them
};

void file_elements(const TJointInput& in, size_t n_elements, FiledElements& out) {
  std::vector<uint64_t> keys;
  std::vector<Filed> filed;
  keys.reserve(n_elements);
  filed.reserve(n_elements);
  long number = 0;
  for (int gi = 0; gi < (int)Grid::gGrids.size(); ++gi) {
    const Grid* g = Grid::gGrids[gi];
    for (int k = 0, ne = g->num_elements(); k < ne; ++k) {
      Vec3 v[4];
      int64_t ids[4];
      bool written;
      const int n = corners(in, g, k, v, ids, &written);
      number += written;
      if (!n) continue;
      const double r = reach(in, gi, v, n);
      Vec3 lo = v[0], hi = v[0];
      for (int j = 1; j < n; ++j) {
        lo = {std::min(lo.x, v[j].x), std::min(lo.y, v[j].y), std::min(lo.z, v[j].z)};
        hi = {std::max(hi.x, v[j].x), std::max(hi.y, v[j].y), std::max(hi.z, v[j].z)};
      }
      const double extent = std::max({hi.x - lo.x, hi.y - lo.y, hi.z - lo.z}) + 2 * r;
      int level = 0;
      double cell = out.h0;
      while (2 * extent > cell && level < kMaxLevel) cell *= 2, ++level;
      out.levels |= uint64_t(1) << level;
      keys.push_back(cell_key(level, lo.x - r, lo.y - r, lo.z - r, cell));
      filed.push_back({gi, k, number});
    }
  }
  out.table = CellTable(keys.size());
  for (uint64_t key : keys) out.table.count(key);
  size_t total = 0;
  out.table.place(total);
  out.order.resize(total);
  for (size_t i = 0; i < keys.size(); ++i) out.order[out.table.put(keys[i])] = filed[i];
}

// What the points of one range found: kept apart, then joined in the ranges' order so the
// examples are those of a search in point order.
struct Found {
  long t_joints = 0;
  std::map<std::pair<int, int>, MeshCheck::Count> pairs;
  std::vector<MeshCheck::Where> on;
};

// The points [begin, end) against the elements of the parts they do not belong to.
void search_points(const TJointInput& in, const FiledElements& filed, size_t begin, size_t end, Found& out,
                   bool with_on) {
  const std::vector<Grid*>& grids = Grid::gGrids;
  const double h0 = filed.h0;
  const uint64_t levels = filed.levels;
  const CellTable& table = filed.table;
  const std::vector<Filed>& order = filed.order;
  std::vector<int> mine, found;
  auto shared = std::lower_bound(in.shared.begin(), in.shared.end(), std::pair<int64_t, int>(int64_t(begin) + 1, INT_MIN));
  for (size_t i = begin; i < end; ++i) {
    const int64_t id = int64_t(i) + 1;
    mine.assign(1, in.owner[i]);
    while (shared != in.shared.end() && shared->first < id) ++shared;
    for (auto s = shared; s != in.shared.end() && s->first == id; ++s) mine.push_back(s->second);
    if (!in.finite[i]) continue;
    const Vec3& p = in.pos[i];
    found.clear();
    for (int level = 0; level <= kMaxLevel; ++level) {
      if (!(levels >> level & 1)) continue;
      // An element reaches at most half a cell past its low corner: the cell before p's
      // along an axis matters only when p lies in the first half of its own.
      const double cell = std::ldexp(h0, level);
      int back[3];
      for (int a = 0; a < 3; ++a) {
        const double v = (&p.x)[a];
        back[a] = v - std::floor(v / cell) * cell < cell / 2 ? 1 : 0;
      }
      for (int d = 0; d < 8; ++d) {
        const int dx = d & 1, dy = d >> 1 & 1, dz = d >> 2 & 1;
        if (dx > back[0] || dy > back[1] || dz > back[2]) continue;
        uint32_t first, last;
        if (!table.find(cell_key(level, p.x, p.y, p.z, cell, -dx, -dy, -dz), first, last)) continue;
        for (uint32_t e = first; e < last; ++e) {
          const Filed& f = order[e];
          if (std::find(mine.begin(), mine.end(), f.part) != mine.end() ||
              std::find(found.begin(), found.end(), f.part) != found.end())
            continue;
          Vec3 v[4];
          int64_t ids[4];
          const int n = corners(in, grids[f.part], f.k, v, ids);
          if (!n) continue;
          const double dist = on_element(p, v, n, reach(in, f.part, v, n));
          if (dist < 0) continue;
          found.push_back(f.part);
          ++out.t_joints;
          MeshCheck::Count& pair = out.pairs[{mine[0], f.part}];
          ++pair.count;
          if (with_on) out.on.push_back({f.part, f.k, f.number});
          if (pair.examples.size() < MeshCheck::EXAMPLES)
            pair.examples.push_back({id, mine[0], p.x / in.scale, p.y / in.scale, p.z / in.scale,
                                     MeshCheck::Where{f.part, f.k, f.number}, dist / in.scale});
        }
      }
    }
  }
}

// Every point against the elements of the parts it does not belong to, in ranges on every
// core.
void search_points(const TJointInput& in, const FiledElements& filed, MeshCheck& c,
                   std::vector<MeshCheck::Where>* on) {
  const size_t chunks = std::min<size_t>(64, in.pos.size() / 1024 + 1);
  std::vector<Found> found(chunks);
  for_each_range_on_all_cores(in.pos.size(), chunks, [&](size_t k, size_t begin, size_t end) {
    search_points(in, filed, begin, end, found[k], on != nullptr);
  });
  for (const Found& f : found) {
    c.t_joints += f.t_joints;
    for (const auto& [key, n] : f.pairs) {
      MeshCheck::Count& pair = c.t_joint_pairs[key];
      pair.count += n.count;
      for (const MeshCheck::PointAt& p : n.examples)
        if (pair.examples.size() < MeshCheck::EXAMPLES) pair.examples.push_back(p);
    }
    if (on) on->insert(on->end(), f.on.begin(), f.on.end());
  }
}

}  // namespace

void find_t_joints(const TJointInput& in, MeshCheck& c, std::vector<MeshCheck::Where>* on) {
  if (Grid::gGrids.size() < 2) return;
  size_t n_elements;
  const double size = mean_element_size(in, n_elements);
  if (!n_elements) return;
  FiledElements filed;
  filed.h0 = std::max(size, 0x1p-40);
  file_elements(in, n_elements, filed);
  search_points(in, filed, c, on);
}
