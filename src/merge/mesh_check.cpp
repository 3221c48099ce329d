#include "merge/mesh_check.h"

#include "grid/Grid.h"
#include "grid/RawGrid.h"
#include "grid/pelgrove_MxN.h"
#include "merge/cell_table.h"
#include "merge/mesh_geometry.h"
#include "merge/t_joints.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace {

using Where = MeshCheck::Where;

// Corners (indices into mPts) an element had before merging: -1 when the grid cannot say.
int raw_corners(const Grid* g, int k, long* idx) {
  if (auto m = dynamic_cast<const Grid_MxN*>(g)) return m->raw_element(k, idx);
  if (auto r = dynamic_cast<const RawGrid*>(g)) {
    if (k >= (int)r->elements.size()) return -1;
    const int n = (int)Mesh::npts(r->elements[k]);
    for (int j = 0; j < n && j < 4; ++j) idx[j] = long(r->elements[k].pts[j]) - 1;
    return n;
  }
  return -1;
}

// True when every pair of corners merging joined already stood at one place in the part as
// it was built (within 1e-10 of the element's size): the part's own lattice collapsed the
// cell, as a transition, a pole or a corner given twice do.
bool collapsed_by_design(const Grid* g, const long* idx, int n, double s) {
  if (n > 4) return false;
  Vec3 v[4];
  for (int j = 0; j < n; ++j) {
    if (idx[j] < 0 || idx[j] >= (long)g->mPts.size() || !finite(g->mPts[idx[j]])) return false;
    v[j] = scaled(g->mPts[idx[j]], s);
  }
  double size = 0;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) size = std::max(size, norm(sub(v[i], v[j])));
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j)
      if (&effective(g->mPts[idx[i]]) == &effective(g->mPts[idx[j]]) && norm(sub(v[i], v[j])) > 1e-10 * size)
        return false;
  return true;
}

template <class T>
void keep(std::vector<T>& examples, const T& v) {
  if (examples.size() < MeshCheck::EXAMPLES) examples.push_back(v);
}

// One edge use of a face: the edge's point numbers as one key (lower << 32 | higher), and
// the face that has it (part << 32 | element) with bit 63 set when it runs lower -> higher.
// 16 bytes a use where a record of the fields took 40.
struct EdgeUse {
  uint64_t key;
  uint64_t face;
  int64_t lo() const { return int64_t(key >> 32); }
  int64_t hi() const { return int64_t(key & 0xffffffffu); }
  bool forward() const { return face >> 63; }
  int part() const { return int((face >> 32) & 0x7fffffffu); }
  int element() const { return int(uint32_t(face)); }
};

// The edge uses of every face, and what turns a use's face back into its written number.
struct EdgeUses {
  std::vector<EdgeUse> uses;
  std::vector<long> first;    // per part: the index of its first element over all parts
  std::vector<long> dropped;  // indexes over all parts of the elements left unwritten, ascending
  // Room for the edge uses of every element as a quadrilateral.
  EdgeUses() {
    long n = 0;
    for (const Grid* g : Grid::gGrids) {
      first.push_back(n);
      n += std::max(0, g->num_elements());
    }
    uses.reserve(4 * size_t(n));
  }
  long index(int part, int element) const { return first[part] + element; }
  // The written number of an element with two points or more.
  long number(int part, int element) const {
    const long i = index(part, element);
    return i + 1 - long(std::lower_bound(dropped.begin(), dropped.end(), i) - dropped.begin());
  }
  Where where(const EdgeUse& u) const { return Where{u.part(), u.element(), number(u.part(), u.element())}; }
  MeshCheck::Edge edge(const EdgeUse& u) const { return {u.lo(), u.hi(), where(u)}; }
  // Notes an element (before its edges, in element order): unwritten when number is 0.
  void element(int part, int element, long number) {
    if (!number) dropped.push_back(index(part, element));
  }
  // The edges of a face, each as it is traversed.
  void add_face(const GridPt* p, int n, int part, int element) {
    const uint64_t at = uint64_t(part) << 32 | uint32_t(element);
    for (int j = 0; j < n; ++j) {
      const uint64_t a = uint64_t(p[j].id), b = uint64_t(p[(j + 1) % n].id);
      uses.push_back({std::min(a, b) << 32 | std::max(a, b), at | uint64_t(a < b) << 63});
    }
  }
  // Calls f(first, count) for each run of uses of one edge, after sorting them by edge (the
  // order of the uses within a run is the sort's).
  template <class F>
  void for_each_edge(F f) {
    std::sort(uses.begin(), uses.end(), [](const EdgeUse& a, const EdgeUse& b) { return a.key < b.key; });
    for (size_t i = 0; i < uses.size();) {
      size_t j = i + 1;
      while (j < uses.size() && uses[j].key == uses[i].key) ++j;
      f(&uses[i], j - i);
      i = j;
    }
  }
  // The fold at the edge two consistently oriented neighbours u[0], u[1] share; not found()
  // when their normals (by element index over all parts) turn by FOLD_DEG or less.
  MeshCheck::Fold fold(const EdgeUse* u, const std::vector<Vec3>& normals) const {
    const double deg = angle_deg(normals[index(u[0].part(), u[0].element())],
                                 normals[index(u[1].part(), u[1].element())]);
    if (!(deg > MeshCheck::FOLD_DEG)) return {};
    return MeshCheck::Fold{u[0].lo(), u[0].hi(), where(u[0]), where(u[1]), deg};
  }
};

// `normals` by element index over all parts (zero for bars and faces without one).
void classify_edges(EdgeUses& edges, const std::vector<Vec3>& normals, MeshCheck& c) {
  edges.for_each_edge([&](const EdgeUse* u, size_t n) {
    if (n == 1) {
      ++c.free_edges;
      keep(c.free_examples, edges.edge(u[0]));
    } else if (n > 2) {
      ++c.nonmanifold_edges;
      keep(c.nonmanifold_examples, edges.edge(u[0]));
    } else if (u[0].forward() == u[1].forward()) {
      ++c.flipped_edges;
      keep(c.flipped_examples, MeshCheck::Edge{u[0].lo(), u[0].hi(), edges.where(u[1])});
    } else if (const MeshCheck::Fold f = edges.fold(u, normals); f.at.found()) {
      ++c.folds;
      keep(c.fold_examples, f);
    }
  });
}

// Calls f(part, element, n, p, number) for every element of every part: its n points after
// merging (p holds their representatives) and its number in a written mesh file (0 when
// merging left it fewer than two points).
template <class F>
void for_each_element(F f) {
  const std::vector<Grid*>& grids = Grid::gGrids;
  long number = 0;
  for (int gi = 0; gi < (int)grids.size(); ++gi) {
    const Grid* g = grids[gi];
    const int ne = g->num_elements();
    for (int k = 0; k < ne; ++k) {
      long idx[4];
      const int n = g->element(k, idx);
      GridPt p[4];
      if (n >= 2)
        for (int j = 0; j < n && j < 4; ++j) p[j] = effective(g->mPts[idx[j]]);
      f(gi, k, n, p, n >= 2 ? ++number : 0);
    }
  }
}

// Shape of one face (scaled corners): angles, aspect ratio, area, warp. Returns its area
// vector (zero when it has none).
Vec3 measure_face(const Vec3* v, int n, const Where& at, MeshCheck& c) {
  double shortest = std::numeric_limits<double>::infinity(), longest = 0;
  for (int k = 0; k < n; ++k) {
    const double len = norm(sub(v[(k + 1) % n], v[k]));
    shortest = std::min(shortest, len);
    longest = std::max(longest, len);
  }
  const Vec3 area2 = face_area2(v, n);
  if (!face_has_area(area2, longest)) {
    ++c.zero_area;
    keep(c.zero_area_examples, at);
    return {0, 0, 0};  // its angles, aspect and warp say nothing more
  }
  const double aspect = longest / shortest;
  if (aspect > c.max_aspect) {
    c.max_aspect = aspect;
    c.max_aspect_at = at;
  }
  for (int k = 0; k < n; ++k) {
    const double deg = angle_deg(sub(v[(k + n - 1) % n], v[k]), sub(v[(k + 1) % n], v[k]));
    if (!c.min_angle_at.found() || deg < c.min_angle_deg) {
      c.min_angle_deg = deg;
      c.min_angle_at = at;
    }
  }
  const double warp = n == 4 ? warp_deg(v) : 0;
  if (warp > MeshCheck::WARP_DEG) {
    ++c.warps;
    keep(c.warp_examples, MeshCheck::Warp{at, warp});
  }
  return area2;
}

// A part's near-miss distance: 10 x its tolerance, at most 4 (scaled).
double near_limit(const TJointInput& in, int part) { return std::min(10 * in.tolerance[part] * in.scale, 4.0); }

// The keys of the cells of side `cell` (from the low corner `lo`) that hold points within h
// of p: p's own cell and its neighbours on the sides p lies within h of; colliding keys once.
int cells_around(const Vec3& p, const double lo[3], double h, double cell, uint64_t around[8]) {
  int64_t from[3], to[3];
  for (int a = 0; a < 3; ++a) {
    const double k = std::floor(((&p.x)[a] - lo[a]) / cell), off = (&p.x)[a] - lo[a] - k * cell;
    from[a] = int64_t(k) - (off < h ? 1 : 0);
    to[a] = int64_t(k) + (off > cell - h ? 1 : 0);
  }
  int n = 0;
  for (int64_t x = from[0]; x <= to[0]; ++x)
    for (int64_t y = from[1]; y <= to[1]; ++y)
      for (int64_t z = from[2]; z <= to[2]; ++z) {
        const uint64_t k = cell_hash(0, x, y, z);
        if (std::find(around, around + n, k) == around + n) around[n++] = k;
      }
  return n;
}

// Every pair of representatives of different parts within `floor` or their parts' near-miss
// distances, found in cells of 4h (h: the largest distance, scaled): a point looks past its
// own cell only on the sides it lies within h of. `lo` is the scaled low corner.
void search_near_pairs(const TJointInput& in, const double lo[3], double h, double floor, MeshCheck& c) {
  const double s = in.scale;
  const double cell = 4 * h;
  const std::vector<Vec3>& pos = in.pos;
  auto index = [&](const Vec3& p, int a) { return std::floor(((&p.x)[a] - lo[a]) / cell); };
  auto key = [&](const Vec3& p) {
    return cell_hash(0, int64_t(index(p, 0)), int64_t(index(p, 1)), int64_t(index(p, 2)));
  };
  CellTable cells(pos.size());
  for (size_t i = 0; i < pos.size(); ++i)
    if (in.finite[i]) cells.count(key(pos[i]));
  size_t total = 0;
  cells.place(total);
  std::vector<uint32_t> order(total);
  for (size_t i = 0; i < pos.size(); ++i)
    if (in.finite[i]) order[cells.put(key(pos[i]))] = uint32_t(i);
  // Points in ranges on every core; each range's findings joined in order.
  struct Found {
    long count = 0;
    std::vector<MeshCheck::NearMiss> examples;
  };
  const size_t chunks = std::min<size_t>(64, pos.size() / 1024 + 1);
  std::vector<Found> found(chunks);
  for_each_range_on_all_cores(pos.size(), chunks, [&](size_t chunk, size_t begin, size_t end) {
    Found& out = found[chunk];
    uint64_t around[8];
    for (size_t i = begin; i < end; ++i) {
      if (!in.finite[i]) continue;
      const Vec3& p = pos[i];
      const int n = cells_around(p, lo, h, cell, around);
      for (int a = 0; a < n; ++a) {
        uint32_t first, last;
        if (!cells.find(around[a], first, last)) continue;
        for (uint32_t e = first; e < last; ++e) {
          const uint32_t j = order[e];
          const int pi = in.owner[i], pj = in.owner[j];
          if (j <= i || pi == pj) continue;
          const double d = norm(sub(pos[j], p));
          if (d > std::max({floor, near_limit(in, pi), near_limit(in, pj)})) continue;
          ++out.count;
          keep(out.examples,
               MeshCheck::NearMiss{long(i + 1), long(j + 1), pi, pj, d / s, p.x / s, p.y / s, p.z / s});
        }
      }
    }
  });
  for (const Found& f : found) {
    c.near_misses += f.count;
    for (const MeshCheck::NearMiss& m : f.examples) keep(c.near_examples, m);
  }
}

// Pairs of representatives of different parts closer than the pair's threshold:
// 10 x the larger of their parts' tolerances, and never less than 1e-9 of the model size.
// Works on the scaled positions of `in`; reports unscaled.
void find_near_misses(const TJointInput& in, MeshCheck& c) {
  const double s = in.scale;
  double lo[3], d2 = 0;
  for (int a = 0; a < 3; ++a) {
    lo[a] = c.lo[a] * s;
    d2 += (c.hi[a] * s - lo[a]) * (c.hi[a] * s - lo[a]);
  }
  const double size = std::sqrt(d2);
  if (!(size > 0)) return;
  const double floor = 1e-9 * size;
  double h = floor;
  for (size_t part = 0; part < in.tolerance.size(); ++part) h = std::max(h, near_limit(in, int(part)));
  c.near_threshold = h / s;  // reported also when one part leaves nothing to pair
  if (in.tolerance.size() < 2) return;
  search_near_pairs(in, lo, h, floor, c);
}

// The representatives (positions scaled, owners, points of other parts merged into them)
// and the finite bounding box; counts the non-finite points.
TJointInput gather_points(MeshCheck& c) {
  const std::vector<Grid*>& grids = Grid::gGrids;
  TJointInput in;
  in.scale = mesh_scale_for(grids);
  bool any = false;
  for (int gi = 0; gi < (int)grids.size(); ++gi) {
    const Grid* g = grids[gi];
    c.parts.push_back({g->name(), g->place(), {}});
    in.tolerance.push_back(std::fabs(g->tolerance()));
    for (const GridPt& p : g->mPts) {
      if (p.mapped_to) continue;
      const bool ok = finite(p);
      in.pos.push_back(ok ? scaled(p, in.scale) : Vec3{0, 0, 0});
      in.finite.push_back(ok);
      in.owner.push_back(gi);
      if (!ok) {
        ++c.non_finite.count;
        keep(c.non_finite.examples, MeshCheck::PointAt{(long)in.pos.size(), gi, p.x, p.y, p.z, {}, 0});
        continue;
      }
      const double v[3] = {p.x, p.y, p.z};
      for (int a = 0; a < 3; ++a) {
        c.lo[a] = any ? std::min(c.lo[a], v[a]) : v[a];
        c.hi[a] = any ? std::max(c.hi[a], v[a]) : v[a];
      }
      any = true;
    }
  }
  c.points = (long)in.pos.size();
  // Merged points by pair of parts: the representative's number names its part.
  for (int gi = 0; gi < (int)grids.size(); ++gi)
    for (const GridPt& p : grids[gi]->mPts) {
      if (!p.mapped_to) continue;
      const int64_t id = p.mapped_to->id;
      if (id < 1 || id > (int64_t)in.owner.size()) continue;
      const int other = in.owner[id - 1];
      ++c.merged[{std::min(gi, other), std::max(gi, other)}];
      if (other != gi) in.shared.push_back({id, gi});
    }
  std::sort(in.shared.begin(), in.shared.end());
  in.shared.erase(std::unique(in.shared.begin(), in.shared.end()), in.shared.end());
  return in;
}

}  // namespace

MeshCheck check_mesh() {
  MeshCheck c;
  const std::vector<Grid*>& grids = Grid::gGrids;
  const TJointInput in = gather_points(c);
  const double s = in.scale;

  EdgeUses edges;
  std::vector<Vec3> normals;
  normals.reserve(edges.uses.capacity() / 4);
  for_each_element([&](int gi, int k, int n, const GridPt* p, long number) {
    MeshCheck::Kinds& kinds = c.parts[gi].elements;
    edges.element(gi, k, number);
    long idx[4];
    const int raw = raw_corners(grids[gi], k, idx);
    const Where at{gi, k, number};
    if (raw > n && collapsed_by_design(grids[gi], idx, raw, s)) {
      ++c.designed;
      keep(c.designed_examples, at);
      if (n < 2) ++c.designed_dropped;
    } else if (raw > n) {
      ++c.collapsed;
      keep(c.collapsed_examples, at);
      if (n < 2) ++c.dropped;
    }
    Vec3 normal{0, 0, 0};
    if (n == 2) {
      ++kinds.bars;
    } else if (n > 2) {
      ++(n == 3 ? kinds.triangles : kinds.quads);
      edges.add_face(p, n, gi, k);
      if (std::all_of(p, p + n, [](const GridPt& q) { return finite(q); })) {
        Vec3 v[4];
        for (int j = 0; j < n; ++j) v[j] = scaled(p[j], s);
        normal = measure_face(v, n, at, c);
      }
    }
    normals.push_back(normal);
  });
  for (const MeshCheck::Part& part : c.parts) {
    c.total.bars += part.elements.bars;
    c.total.triangles += part.elements.triangles;
    c.total.quads += part.elements.quads;
  }
  classify_edges(edges, normals, c);
  std::vector<EdgeUse>().swap(edges.uses);  // freed before the point searches
  std::vector<Vec3>().swap(normals);
  find_near_misses(in, c);
  find_t_joints(in, c);
  return c;
}

std::vector<MeshCheck::Edge> mesh_free_edges() {
  EdgeUses edges;
  for_each_element([&](int gi, int k, int n, const GridPt* p, long number) {
    edges.element(gi, k, number);
    if (n == 3 || n == 4) edges.add_face(p, n, gi, k);
  });
  std::vector<MeshCheck::Edge> out;
  edges.for_each_edge([&](const EdgeUse* u, size_t n) {
    if (n == 1) out.push_back(edges.edge(u[0]));
  });
  return out;
}

std::vector<MeshCheck::Fold> mesh_folds() {
  const double s = mesh_scale_for(Grid::gGrids);
  EdgeUses edges;
  std::vector<Vec3> normals;
  for_each_element([&](int gi, int k, int n, const GridPt* p, long number) {
    edges.element(gi, k, number);
    Vec3 normal{0, 0, 0};
    if (n > 2) {
      edges.add_face(p, n, gi, k);
      if (std::all_of(p, p + n, [](const GridPt& q) { return finite(q); })) {
        Vec3 v[4];
        double longest = 0;
        for (int j = 0; j < n; ++j) v[j] = scaled(p[j], s);
        for (int j = 0; j < n; ++j) longest = std::max(longest, norm(sub(v[(j + 1) % n], v[j])));
        const Vec3 area2 = face_area2(v, n);
        if (face_has_area(area2, longest)) normal = area2;
      }
    }
    normals.push_back(normal);
  });
  std::vector<MeshCheck::Fold> out;
  edges.for_each_edge([&](const EdgeUse* u, size_t n) {
    if (n != 2 || u[0].forward() == u[1].forward()) return;
    if (const MeshCheck::Fold f = edges.fold(u, normals); f.at.found()) out.push_back(f);
  });
  return out;
}

std::vector<MeshCheck::Where> mesh_t_joint_elements() {
  MeshCheck c;
  const TJointInput in = gather_points(c);
  std::vector<MeshCheck::Where> out;
  find_t_joints(in, c, &out);
  return out;
}

// -- reports

namespace {

std::string fmt(const char* f, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, f, v);
  return buf;
}
std::string num(double v) { return fmt("%.9g", v); }
std::string str(long v) { return std::to_string(v); }

std::string name_of(const MeshCheck& c, int part) {
  return part >= 0 && part < (int)c.parts.size() ? c.parts[part].name : "?";
}
// "'name' made at FILE:LINE", or "'name'" when the place is not known.
std::string part_text(const MeshCheck& c, int part) {
  std::string s = "'" + name_of(c, part) + "'";
  if (part >= 0 && part < (int)c.parts.size() && !c.parts[part].place.empty())
    s += " made at " + c.parts[part].place;
  return s;
}

std::string where_text(const MeshCheck& c, const Where& w) {
  std::string s = w.number ? "element " + str(w.number) : "an element not written";
  return s + " (element " + str(w.element + 1) + " of part " + part_text(c, w.part) + ")";
}

std::string kinds_text(const MeshCheck::Kinds& k) {
  return str(k.total()) + " elements: " + str(k.bars) + " bars, " + str(k.triangles) + " triangles, " +
         str(k.quads) + " quadrilaterals";
}

std::string xyz_text(double x, double y, double z) { return num(x) + " " + num(y) + " " + num(z); }

std::string more(long count, size_t shown, const char* indent = "  ") {
  return count > (long)shown ? indent + std::string("...\n") : "";
}

std::string edge_lines(const MeshCheck& c, const char* what, long count,
                       const std::vector<MeshCheck::Edge>& ex) {
  std::string out = what + std::string(": ") + str(count) + "\n";
  for (const auto& e : ex) out += "  edge " + str(e.a) + "-" + str(e.b) + " of " + where_text(c, e.at) + "\n";
  return out + more(count, ex.size());
}

std::string element_lines(const MeshCheck& c, const std::string& what, long count,
                          const std::vector<Where>& ex) {
  std::string out = what + ": " + str(count) + "\n";
  for (const auto& w : ex) out += "  " + where_text(c, w) + "\n";
  return out + more(count, ex.size());
}

std::string fold_lines(const MeshCheck& c) {
  std::string out = "folded neighbours (normals turning by more than " + num(MeshCheck::FOLD_DEG) +
                    " degrees): " + str(c.folds) + "\n";
  for (const auto& f : c.fold_examples)
    out += "  edge " + str(f.a) + "-" + str(f.b) + " of " + where_text(c, f.at) + " and " +
           where_text(c, f.other) + ", " + fmt("%.4g", f.degrees) + " degrees\n";
  return out + more(c.folds, c.fold_examples.size());
}

std::string warp_lines(const MeshCheck& c) {
  std::string out = "warped quadrilaterals (halves turning by more than " + num(MeshCheck::WARP_DEG) +
                    " degrees): " + str(c.warps) + "\n";
  for (const auto& w : c.warp_examples)
    out += "  " + where_text(c, w.at) + ", " + fmt("%.4g", w.degrees) + " degrees\n";
  return out + more(c.warps, c.warp_examples.size());
}

std::string t_joint_lines(const MeshCheck& c) {
  std::string out =
      "T-joints (points of one part on an element of another, not merged to it): " + str(c.t_joints) + "\n";
  for (const auto& [pair, n] : c.t_joint_pairs) {
    out += "  points of " + part_text(c, pair.first) + " on part " + part_text(c, pair.second) + ": " +
           str(n.count) + "\n";
    for (const auto& p : n.examples)
      out += "    point " + str(p.point) + " at " + xyz_text(p.x, p.y, p.z) + " on " + where_text(c, p.at) +
             ", " + num(p.distance) + " off\n";
    out += more(n.count, n.examples.size(), "    ");
  }
  return out;
}

std::string non_finite_lines(const MeshCheck& c) {
  std::string out = "non-finite points: " + str(c.non_finite.count) + "\n";
  for (const auto& p : c.non_finite.examples)
    out += "  point " + str(p.point) + " of part " + part_text(c, p.part) + " at " + xyz_text(p.x, p.y, p.z) +
           "\n";
  return out + more(c.non_finite.count, c.non_finite.examples.size());
}

std::string near_lines(const MeshCheck& c) {
  std::string out = "near misses (points of different parts closer than " + num(c.near_threshold) +
                    ", not merged): " + str(c.near_misses) + "\n";
  for (const auto& m : c.near_examples)
    out += "  points " + str(m.a) + " (" + part_text(c, m.part_a) + ") and " + str(m.b) + " (" +
           part_text(c, m.part_b) + ") at " + xyz_text(m.x, m.y, m.z) + ", " + num(m.distance) + " apart\n";
  return out + more(c.near_misses, c.near_examples.size());
}

std::string json_str(const std::string& s) {
  std::string o = "\"";
  for (unsigned char ch : s) {
    if (ch == '"' || ch == '\\') {
      o += '\\';
      o += char(ch);
    } else if (ch < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", ch);
      o += buf;
    } else {
      o += char(ch);
    }
  }
  return o + "\"";
}
// JSON has no infinity or NaN: those become null.
std::string json_num(double v) { return std::isfinite(v) ? num(v) : "null"; }
std::string json_xyz(double x, double y, double z) {
  return "[" + json_num(x) + "," + json_num(y) + "," + json_num(z) + "]";
}

std::string json_part(const MeshCheck& c, int part) {
  const std::string place = part >= 0 && part < (int)c.parts.size() ? c.parts[part].place : "";
  return "{\"name\":" + json_str(name_of(c, part)) + ",\"place\":" + json_str(place) + "}";
}

std::string json_where(const MeshCheck& c, const Where& w) {
  if (!w.found()) return "null";
  const std::string place = w.part < (int)c.parts.size() ? c.parts[w.part].place : "";
  return "{\"part\":" + json_str(name_of(c, w.part)) + ",\"place\":" + json_str(place) +
         ",\"part_element\":" + str(w.element + 1) + ",\"element\":" + str(w.number) + "}";
}

std::string json_kinds(const MeshCheck::Kinds& k) {
  return "{\"bars\":" + str(k.bars) + ",\"triangles\":" + str(k.triangles) +
         ",\"quadrilaterals\":" + str(k.quads) + ",\"total\":" + str(k.total()) + "}";
}

// {"count":N, <extra>"examples":[each(example)...]}
template <class T, class F>
std::string json_list(long count, const std::vector<T>& ex, F each, const std::string& extra = "") {
  std::string o = "{\"count\":" + str(count) + "," + extra + "\"examples\":[";
  for (size_t i = 0; i < ex.size(); ++i) o += (i ? "," : "") + each(ex[i]);
  return o + "]}";
}

std::string json_edges(const MeshCheck& c, long count, const std::vector<MeshCheck::Edge>& ex) {
  return json_list(count, ex, [&](const MeshCheck::Edge& e) {
    return "{\"points\":[" + str(e.a) + "," + str(e.b) + "],\"at\":" + json_where(c, e.at) + "}";
  });
}

std::string json_elements(const MeshCheck& c, long count, const std::vector<Where>& ex,
                          const std::string& extra = "") {
  return json_list(
      count, ex, [&](const Where& w) { return json_where(c, w); }, extra);
}

std::string json_t_joints(const MeshCheck& c) {
  std::string o = "{\"count\":" + str(c.t_joints) + ",\"pairs\":[";
  bool first = true;
  for (const auto& [pair, n] : c.t_joint_pairs) {
    o += (first ? "" : ",") + std::string("{\"point_part\":") + json_part(c, pair.first) +
         ",\"element_part\":" + json_part(c, pair.second) + "," +
         json_list(n.count, n.examples, [&](const MeshCheck::PointAt& p) {
           return "{\"point\":" + str(p.point) + ",\"at\":" + json_xyz(p.x, p.y, p.z) +
                  ",\"element\":" + json_where(c, p.at) + ",\"distance\":" + json_num(p.distance) + "}";
         }).substr(1);
    first = false;
  }
  return o + "]}";
}

}  // namespace

std::string mesh_check_text(const MeshCheck& c) {
  std::string o = "points: " + str(c.points) + "\n";
  o += kinds_text(c.total) + "\n";
  for (size_t i = 0; i < c.parts.size(); ++i)
    o += "  part " + part_text(c, int(i)) + ": " + kinds_text(c.parts[i].elements) + "\n";
  long merged = 0;
  for (const auto& [pair, n] : c.merged) merged += n;
  o += "merged points: " + str(merged) + "\n";
  for (const auto& [pair, n] : c.merged)
    o += pair.first == pair.second
             ? "  within '" + name_of(c, pair.first) + "': " + str(n) + "\n"
             : "  '" + name_of(c, pair.first) + "' and '" + name_of(c, pair.second) + "': " + str(n) + "\n";
  for (CheckKind k : {CheckKind::NON_FINITE, CheckKind::FREE_EDGES, CheckKind::NON_MANIFOLD, CheckKind::FLIPS,
                      CheckKind::FOLDS, CheckKind::WARPS, CheckKind::T_JOINTS, CheckKind::COLLAPSED})
    o += check_kind_text(c, k);
  o += element_lines(c, "cells collapsed by their own part's lattice (transitions, poles; intended)",
                     c.designed, c.designed_examples);
  if (c.designed_dropped) o += "  of which " + str(c.designed_dropped) + " vanish\n";
  o += check_kind_text(c, CheckKind::ZERO_AREA);
  if (c.min_angle_at.found()) {
    o += "smallest angle: " + fmt("%.4g", c.min_angle_deg) + " degrees at " + where_text(c, c.min_angle_at) +
         "\n";
    o +=
        "largest aspect ratio: " + fmt("%.4g", c.max_aspect) + " at " + where_text(c, c.max_aspect_at) + "\n";
  }
  o += "bounding box: " + xyz_text(c.lo[0], c.lo[1], c.lo[2]) + "  to  " +
       xyz_text(c.hi[0], c.hi[1], c.hi[2]) + "\n";
  return o + check_kind_text(c, CheckKind::NEAR_MISSES);
}

std::string mesh_check_json(const MeshCheck& c) {
  std::string o = "{\"points\":" + str(c.points) + ",\"elements\":" + json_kinds(c.total) + ",\"parts\":[";
  for (size_t i = 0; i < c.parts.size(); ++i)
    o += (i ? "," : "") + std::string("{\"name\":") + json_str(c.parts[i].name) +
         ",\"place\":" + json_str(c.parts[i].place) + ",\"elements\":" + json_kinds(c.parts[i].elements) +
         "}";
  o += "],\"merged\":[";
  bool first = true;
  for (const auto& [pair, n] : c.merged) {
    o += (first ? "" : ",") + std::string("{\"parts\":[") + json_str(name_of(c, pair.first)) + "," +
         json_str(name_of(c, pair.second)) + "],\"points\":" + str(n) + "}";
    first = false;
  }
  o += "],\"non_finite\":" +
       json_list(c.non_finite.count, c.non_finite.examples, [&](const MeshCheck::PointAt& p) {
         return "{\"point\":" + str(p.point) + ",\"part\":" + json_part(c, p.part) +
                ",\"at\":" + json_xyz(p.x, p.y, p.z) + "}";
       });
  o += ",\"free_edges\":" + json_edges(c, c.free_edges, c.free_examples);
  o += ",\"nonmanifold_edges\":" + json_edges(c, c.nonmanifold_edges, c.nonmanifold_examples);
  o += ",\"opposite_orientation\":" + json_edges(c, c.flipped_edges, c.flipped_examples);
  o += ",\"folds\":" +
       json_list(
           c.folds, c.fold_examples,
           [&](const MeshCheck::Fold& f) {
             return "{\"points\":[" + str(f.a) + "," + str(f.b) + "],\"at\":" + json_where(c, f.at) +
                    ",\"other\":" + json_where(c, f.other) + ",\"degrees\":" + json_num(f.degrees) + "}";
           },
           "\"threshold_degrees\":" + num(MeshCheck::FOLD_DEG) + ",");
  o += ",\"warps\":" + json_list(
                           c.warps, c.warp_examples,
                           [&](const MeshCheck::Warp& w) {
                             return "{\"at\":" + json_where(c, w.at) + ",\"degrees\":" + json_num(w.degrees) +
                                    "}";
                           },
                           "\"threshold_degrees\":" + num(MeshCheck::WARP_DEG) + ",");
  o += ",\"t_joints\":" + json_t_joints(c);
  o += ",\"collapsed\":" + json_elements(c, c.collapsed, c.collapsed_examples);
  o += ",\"dropped\":" + str(c.dropped);
  o += ",\"collapsed_by_design\":" +
       json_elements(c, c.designed, c.designed_examples, "\"dropped\":" + str(c.designed_dropped) + ",");
  o += ",\"zero_area\":" + json_elements(c, c.zero_area, c.zero_area_examples);
  o += ",\"smallest_angle\":{\"degrees\":" + (c.min_angle_at.found() ? json_num(c.min_angle_deg) : "null") +
       ",\"at\":" + json_where(c, c.min_angle_at) + "}";
  o += ",\"largest_aspect_ratio\":{\"value\":" + (c.max_aspect_at.found() ? json_num(c.max_aspect) : "null") +
       ",\"at\":" + json_where(c, c.max_aspect_at) + "}";
  o += ",\"bounding_box\":{\"min\":" + json_xyz(c.lo[0], c.lo[1], c.lo[2]) +
       ",\"max\":" + json_xyz(c.hi[0], c.hi[1], c.hi[2]) + "}";
  o += ",\"near_misses\":" + json_list(
                                 c.near_misses, c.near_examples,
                                 [&](const MeshCheck::NearMiss& m) {
                                   return "{\"points\":[" + str(m.a) + "," + str(m.b) + "],\"parts\":[" +
                                          json_part(c, m.part_a) + "," + json_part(c, m.part_b) +
                                          "],\"at\":" + json_xyz(m.x, m.y, m.z) +
                                          ",\"distance\":" + json_num(m.distance) + "}";
                                 },
                                 "\"threshold\":" + json_num(c.near_threshold) + ",");
  return o + "}\n";
}

// -- finding kinds

namespace {
// ORDER CHECK_KINDS
const char* const KIND_NAMES[] = {"free-edges", "non-manifold", "flips",     "folds",     "warps",
                                  "t-joints",   "near-misses",  "collapsed", "zero-area", "non-finite"};
static_assert(sizeof KIND_NAMES / sizeof *KIND_NAMES == size_t(CheckKind::COUNT));
}  // namespace

const char* check_kind_name(CheckKind k) { return KIND_NAMES[int(k)]; }

bool find_check_kind(const std::string& word, CheckKind& k) {
  for (int i = 0; i < int(CheckKind::COUNT); ++i)
    if (word == KIND_NAMES[i]) return k = CheckKind(i), true;
  return false;
}

long check_kind_count(const MeshCheck& c, CheckKind k) {
  switch (k) {
    case CheckKind::FREE_EDGES: return c.free_edges;
    case CheckKind::NON_MANIFOLD: return c.nonmanifold_edges;
    case CheckKind::FLIPS: return c.flipped_edges;
    case CheckKind::FOLDS: return c.folds;
    case CheckKind::WARPS: return c.warps;
    case CheckKind::T_JOINTS: return c.t_joints;
    case CheckKind::NEAR_MISSES: return c.near_misses;
    case CheckKind::COLLAPSED: return c.collapsed;
    case CheckKind::ZERO_AREA: return c.zero_area;
    case CheckKind::NON_FINITE: return c.non_finite.count;
    case CheckKind::COUNT: break;
  }
  return 0;
}

std::string check_kind_text(const MeshCheck& c, CheckKind k) {
  switch (k) {
    case CheckKind::FREE_EDGES: return edge_lines(c, "free edges", c.free_edges, c.free_examples);
    case CheckKind::NON_MANIFOLD:
      return edge_lines(c, "non-manifold edges", c.nonmanifold_edges, c.nonmanifold_examples);
    case CheckKind::FLIPS:
      return edge_lines(c, "neighbours with opposite orientation", c.flipped_edges, c.flipped_examples);
    case CheckKind::FOLDS: return fold_lines(c);
    case CheckKind::WARPS: return warp_lines(c);
    case CheckKind::T_JOINTS: return t_joint_lines(c);
    case CheckKind::NEAR_MISSES: return near_lines(c);
    case CheckKind::COLLAPSED: {
      std::string o = element_lines(c, "collapsed elements (corners joined by merging)", c.collapsed,
                                    c.collapsed_examples);
      if (c.dropped)
        o += "  of which " + str(c.dropped) + " have fewer than two points left and are not written\n";
      return o;
    }
    case CheckKind::ZERO_AREA:
      return element_lines(c, "zero-area elements", c.zero_area, c.zero_area_examples);
    case CheckKind::NON_FINITE: return non_finite_lines(c);
    case CheckKind::COUNT: break;
  }
  return "";
}

std::string mesh_check_json_error(const std::string& why) { return "{\"error\":" + json_str(why) + "}\n"; }
