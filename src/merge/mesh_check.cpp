#include "merge/mesh_check.h"

#include "grid/Grid.h"
#include "grid/RawGrid.h"
#include "grid/pelgrove_MxN.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <unordered_map>

namespace {

using Where = MeshCheck::Where;

struct Vec {
  double x, y, z;
};
Vec sub(const GridPt& a, const GridPt& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec cross(const Vec& a, const Vec& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double norm(const Vec& a) { return std::sqrt(dot(a, a)); }

// Corners an element had before merging: -1 when the grid cannot say.
int raw_corner_count(const Grid* g, int k) {
  long idx[4];
  if (auto m = dynamic_cast<const Grid_MxN*>(g)) return m->raw_element(k, idx);
  if (auto r = dynamic_cast<const RawGrid*>(g))
    return k < (int)r->elements.size() ? (int)Mesh::npts(r->elements[k]) : -1;
  return -1;
}

template <class T>
void keep(std::vector<T>& examples, const T& v) {
  if (examples.size() < MeshCheck::EXAMPLES) examples.push_back(v);
}

// One directed edge of a face.
struct EdgeUse {
  int64_t lo, hi;
  bool forward;  // traversed lo -> hi
  int part;
  int element;
  long number;
  bool operator<(const EdgeUse& o) const { return lo != o.lo ? lo < o.lo : hi < o.hi; }
};

// Calls f(first, count) for each run of uses of one edge, after sorting them by edge.
template <class F>
void for_each_edge(std::vector<EdgeUse>& uses, F f) {
  std::sort(uses.begin(), uses.end());
  for (size_t i = 0; i < uses.size();) {
    size_t j = i + 1;
    while (j < uses.size() && uses[j].lo == uses[i].lo && uses[j].hi == uses[i].hi) ++j;
    f(&uses[i], j - i);
    i = j;
  }
}

MeshCheck::Edge edge_of(const EdgeUse& u) { return {u.lo, u.hi, Where{u.part, u.element, u.number}}; }

void classify_edges(std::vector<EdgeUse>& uses, MeshCheck& c) {
  for_each_edge(uses, [&](const EdgeUse* u, size_t n) {
    if (n == 1) {
      ++c.free_edges;
      keep(c.free_examples, edge_of(u[0]));
    } else if (n > 2) {
      ++c.nonmanifold_edges;
      keep(c.nonmanifold_examples, edge_of(u[0]));
    } else if (u[0].forward == u[1].forward) {
      ++c.flipped_edges;
      keep(c.flipped_examples, MeshCheck::Edge{u[0].lo, u[0].hi, Where{u[1].part, u[1].element, u[1].number}});
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

// Room for the edge uses of every element as a quadrilateral.
void reserve_edge_uses(std::vector<EdgeUse>& uses) {
  size_t n = 0;
  for (const Grid* g : Grid::gGrids) n += size_t(std::max(0, g->num_elements()));
  uses.reserve(4 * n);
}

// The edges of a face, each as it is traversed.
void add_face_edges(std::vector<EdgeUse>& uses, const GridPt* p, int n, int part, int element, long number) {
  for (int j = 0; j < n; ++j) {
    const int64_t a = p[j].id, b = p[(j + 1) % n].id;
    uses.push_back({std::min(a, b), std::max(a, b), a < b, part, element, number});
  }
}

// Shape of one face: angles, aspect ratio, area.
void measure_face(const GridPt* p, int n, const Where& at, MeshCheck& c) {
  double shortest = std::numeric_limits<double>::infinity(), longest = 0;
  for (int k = 0; k < n; ++k) {
    const double len = norm(sub(p[(k + 1) % n], p[k]));
    shortest = std::min(shortest, len);
    longest = std::max(longest, len);
  }
  const Vec area2 = n == 3 ? cross(sub(p[1], p[0]), sub(p[2], p[0])) : cross(sub(p[2], p[0]), sub(p[3], p[1]));
  if (!(0.5 * norm(area2) > 1e-12 * longest * longest)) {
    ++c.zero_area;
    keep(c.zero_area_examples, at);
    return;  // its angles and aspect say nothing more
  }
  const double aspect = longest / shortest;
  if (aspect > c.max_aspect) {
    c.max_aspect = aspect;
    c.max_aspect_at = at;
  }
  for (int k = 0; k < n; ++k) {
    const Vec a = sub(p[(k + n - 1) % n], p[k]), b = sub(p[(k + 1) % n], p[k]);
    const double deg = std::atan2(norm(cross(a, b)), dot(a, b)) * (180.0 / M_PI);
    if (!c.min_angle_at.found() || deg < c.min_angle_deg) {
      c.min_angle_deg = deg;
      c.min_angle_at = at;
    }
  }
}

// Representative points with the part that holds them, indexed by point number - 1.
struct Rep {
  const GridPt* pt;
  int part;
};

struct CellKey {
  int64_t x, y, z;
  bool operator==(const CellKey& o) const { return x == o.x && y == o.y && z == o.z; }
};
struct CellHash {
  size_t operator()(const CellKey& k) const {
    uint64_t h = uint64_t(k.x) * 0x9E3779B97F4A7C15ull;
    h ^= uint64_t(k.y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
    h ^= uint64_t(k.z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
    return size_t(h);
  }
};

// Pairs of representatives of different parts closer than the pair's threshold:
// 10 x the larger of their parts' tolerances, and never less than 1e-9 of the model size.
void find_near_misses(const std::vector<Rep>& reps, const std::vector<double>& part_tol, MeshCheck& c) {
  const double size = std::sqrt((c.hi[0] - c.lo[0]) * (c.hi[0] - c.lo[0]) +
                                (c.hi[1] - c.lo[1]) * (c.hi[1] - c.lo[1]) +
                                (c.hi[2] - c.lo[2]) * (c.hi[2] - c.lo[2]));
  if (!(size > 0) || !std::isfinite(size)) return;
  const double floor = 1e-9 * size;
  double h = floor;
  for (double t : part_tol) h = std::max(h, 10 * t);
  c.near_threshold = h;  // reported also when one part leaves nothing to pair
  if (part_tol.size() < 2) return;
  auto cell_of = [&](const GridPt& p) {
    return CellKey{int64_t(std::floor((p.x - c.lo[0]) / h)), int64_t(std::floor((p.y - c.lo[1]) / h)),
                   int64_t(std::floor((p.z - c.lo[2]) / h))};
  };
  std::unordered_map<CellKey, std::vector<uint32_t>, CellHash> cells;
  cells.reserve(reps.size());
  for (size_t i = 0; i < reps.size(); ++i) cells[cell_of(*reps[i].pt)].push_back(uint32_t(i));
  for (size_t i = 0; i < reps.size(); ++i) {
    const GridPt& p = *reps[i].pt;
    const CellKey k = cell_of(p);
    for (int64_t dx = -1; dx <= 1; ++dx)
      for (int64_t dy = -1; dy <= 1; ++dy)
        for (int64_t dz = -1; dz <= 1; ++dz) {
          auto it = cells.find(CellKey{k.x + dx, k.y + dy, k.z + dz});
          if (it == cells.end()) continue;
          for (uint32_t j : it->second) {
            if (j <= i || reps[j].part == reps[i].part) continue;
            const double limit = std::max({floor, 10 * part_tol[reps[i].part], 10 * part_tol[reps[j].part]});
            const double d = norm(sub(*reps[j].pt, p));
            if (d > limit) continue;
            ++c.near_misses;
            keep(c.near_examples, MeshCheck::NearMiss{long(i + 1), long(j + 1), reps[i].part, reps[j].part, d,
                                                      p.x, p.y, p.z});
          }
        }
  }
}

}  // namespace

MeshCheck check_mesh() {
  MeshCheck c;
  const std::vector<Grid*>& grids = Grid::gGrids;
  std::vector<Rep> reps;
  std::vector<double> part_tol;
  bool any = false;
  for (int gi = 0; gi < (int)grids.size(); ++gi) {
    const Grid* g = grids[gi];
    c.parts.push_back({g->name(), {}});
    part_tol.push_back(std::fabs(g->tolerance()));
    for (const GridPt& p : g->mPts) {
      if (p.mapped_to) continue;
      reps.push_back({&p, gi});
      const double v[3] = {p.x, p.y, p.z};
      for (int a = 0; a < 3; ++a) {
        c.lo[a] = any ? std::min(c.lo[a], v[a]) : v[a];
        c.hi[a] = any ? std::max(c.hi[a], v[a]) : v[a];
      }
      any = true;
    }
  }
  c.points = (long)reps.size();

  // Merged points by pair of parts: the representative's number names its part.
  for (int gi = 0; gi < (int)grids.size(); ++gi)
    for (const GridPt& p : grids[gi]->mPts) {
      if (!p.mapped_to) continue;
      const int64_t id = p.mapped_to->id;
      if (id < 1 || id > (int64_t)reps.size()) continue;
      const int other = reps[id - 1].part;
      ++c.merged[{std::min(gi, other), std::max(gi, other)}];
    }

  std::vector<EdgeUse> uses;
  reserve_edge_uses(uses);
  for_each_element([&](int gi, int k, int n, const GridPt* p, long number) {
    MeshCheck::Kinds& kinds = c.parts[gi].elements;
    const int raw = raw_corner_count(grids[gi], k);
    const Where at{gi, k, number};
    if (raw > n) {
      ++c.collapsed;
      keep(c.collapsed_examples, at);
      if (n < 2) ++c.dropped;
    }
    if (n < 2) return;
    if (n == 2) {
      ++kinds.bars;
      return;
    }
    ++(n == 3 ? kinds.triangles : kinds.quads);
    add_face_edges(uses, p, n, gi, k, number);
    measure_face(p, n, at, c);
  });
  for (const MeshCheck::Part& part : c.parts) {
    c.total.bars += part.elements.bars;
    c.total.triangles += part.elements.triangles;
    c.total.quads += part.elements.quads;
  }
  classify_edges(uses, c);
  find_near_misses(reps, part_tol, c);
  return c;
}

std::vector<MeshCheck::Edge> mesh_free_edges() {
  std::vector<EdgeUse> uses;
  reserve_edge_uses(uses);
  for_each_element([&](int gi, int k, int n, const GridPt* p, long number) {
    if (n == 3 || n == 4) add_face_edges(uses, p, n, gi, k, number);
  });
  std::vector<MeshCheck::Edge> out;
  for_each_edge(uses, [&](const EdgeUse* u, size_t n) {
    if (n == 1) out.push_back(edge_of(u[0]));
  });
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

std::string name_of(const MeshCheck& c, int part) {
  return part >= 0 && part < (int)c.parts.size() ? c.parts[part].name : "?";
}

std::string where_text(const MeshCheck& c, const Where& w) {
  std::string s = w.number ? "element " + std::to_string(w.number) : "an element not written";
  return s + " (part '" + name_of(c, w.part) + "', its element " + std::to_string(w.element + 1) + ")";
}

std::string kinds_text(const MeshCheck::Kinds& k) {
  return std::to_string(k.total()) + " elements: " + std::to_string(k.bars) + " bars, " +
         std::to_string(k.triangles) + " triangles, " + std::to_string(k.quads) + " quadrilaterals";
}

void edge_lines(std::string& out, const MeshCheck& c, const char* what, long count,
                const std::vector<MeshCheck::Edge>& ex) {
  out += what + std::string(": ") + std::to_string(count) + "\n";
  for (const auto& e : ex)
    out += "  edge " + std::to_string(e.a) + "-" + std::to_string(e.b) + " of " + where_text(c, e.at) + "\n";
  if (count > (long)ex.size()) out += "  ...\n";
}

void element_lines(std::string& out, const MeshCheck& c, const char* what, long count,
                   const std::vector<Where>& ex) {
  out += what + std::string(": ") + std::to_string(count) + "\n";
  for (const auto& w : ex) out += "  " + where_text(c, w) + "\n";
  if (count > (long)ex.size()) out += "  ...\n";
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

std::string json_where(const MeshCheck& c, const Where& w) {
  if (!w.found()) return "null";
  return "{\"part\":" + json_str(name_of(c, w.part)) + ",\"part_element\":" + std::to_string(w.element + 1) +
         ",\"element\":" + std::to_string(w.number) + "}";
}

std::string json_kinds(const MeshCheck::Kinds& k) {
  return "{\"bars\":" + std::to_string(k.bars) + ",\"triangles\":" + std::to_string(k.triangles) +
         ",\"quadrilaterals\":" + std::to_string(k.quads) + ",\"total\":" + std::to_string(k.total()) + "}";
}

std::string json_edges(const MeshCheck& c, long count, const std::vector<MeshCheck::Edge>& ex) {
  std::string o = "{\"count\":" + std::to_string(count) + ",\"examples\":[";
  for (size_t i = 0; i < ex.size(); ++i)
    o += (i ? "," : "") + std::string("{\"points\":[") + std::to_string(ex[i].a) + "," + std::to_string(ex[i].b) +
         "],\"at\":" + json_where(c, ex[i].at) + "}";
  return o + "]}";
}

std::string json_elements(const MeshCheck& c, long count, const std::vector<Where>& ex) {
  std::string o = "{\"count\":" + std::to_string(count) + ",\"examples\":[";
  for (size_t i = 0; i < ex.size(); ++i) o += (i ? "," : "") + json_where(c, ex[i]);
  return o + "]}";
}

}  // namespace

std::string mesh_check_text(const MeshCheck& c) {
  std::string o = "points: " + std::to_string(c.points) + "\n";
  o += kinds_text(c.total) + "\n";
  for (const auto& p : c.parts) o += "  part '" + p.name + "': " + kinds_text(p.elements) + "\n";
  long merged = 0;
  for (const auto& [pair, n] : c.merged) merged += n;
  o += "merged points: " + std::to_string(merged) + "\n";
  for (const auto& [pair, n] : c.merged)
    o += pair.first == pair.second
             ? "  within '" + name_of(c, pair.first) + "': " + std::to_string(n) + "\n"
             : "  '" + name_of(c, pair.first) + "' and '" + name_of(c, pair.second) + "': " + std::to_string(n) + "\n";
  edge_lines(o, c, "free edges", c.free_edges, c.free_examples);
  edge_lines(o, c, "non-manifold edges", c.nonmanifold_edges, c.nonmanifold_examples);
  edge_lines(o, c, "neighbours with opposite orientation", c.flipped_edges, c.flipped_examples);
  element_lines(o, c, "collapsed elements", c.collapsed, c.collapsed_examples);
  if (c.dropped) o += "  of which " + std::to_string(c.dropped) + " have fewer than two points left and are not written\n";
  element_lines(o, c, "zero-area elements", c.zero_area, c.zero_area_examples);
  if (c.min_angle_at.found()) {
    o += "smallest angle: " + fmt("%.4g", c.min_angle_deg) + " degrees at " + where_text(c, c.min_angle_at) + "\n";
    o += "largest aspect ratio: " + fmt("%.4g", c.max_aspect) + " at " + where_text(c, c.max_aspect_at) + "\n";
  }
  o += "bounding box: " + num(c.lo[0]) + " " + num(c.lo[1]) + " " + num(c.lo[2]) + "  to  " + num(c.hi[0]) + " " +
       num(c.hi[1]) + " " + num(c.hi[2]) + "\n";
  o += "near misses (points of different parts closer than " + num(c.near_threshold) +
       ", not merged): " + std::to_string(c.near_misses) + "\n";
  for (const auto& m : c.near_examples)
    o += "  points " + std::to_string(m.a) + " ('" + name_of(c, m.part_a) + "') and " + std::to_string(m.b) +
         " ('" + name_of(c, m.part_b) + "') at " + num(m.x) + " " + num(m.y) + " " + num(m.z) + ", " +
         num(m.distance) + " apart\n";
  if (c.near_misses > (long)c.near_examples.size()) o += "  ...\n";
  return o;
}

std::string mesh_check_json(const MeshCheck& c) {
  std::string o = "{\"points\":" + std::to_string(c.points) + ",\"elements\":" + json_kinds(c.total) + ",\"parts\":[";
  for (size_t i = 0; i < c.parts.size(); ++i)
    o += (i ? "," : "") + std::string("{\"name\":") + json_str(c.parts[i].name) +
         ",\"elements\":" + json_kinds(c.parts[i].elements) + "}";
  o += "],\"merged\":[";
  bool first = true;
  for (const auto& [pair, n] : c.merged) {
    o += (first ? "" : ",") + std::string("{\"parts\":[") + json_str(name_of(c, pair.first)) + "," +
         json_str(name_of(c, pair.second)) + "],\"points\":" + std::to_string(n) + "}";
    first = false;
  }
  o += "],\"free_edges\":" + json_edges(c, c.free_edges, c.free_examples);
  o += ",\"nonmanifold_edges\":" + json_edges(c, c.nonmanifold_edges, c.nonmanifold_examples);
  o += ",\"opposite_orientation\":" + json_edges(c, c.flipped_edges, c.flipped_examples);
  o += ",\"collapsed\":" + json_elements(c, c.collapsed, c.collapsed_examples);
  o += ",\"dropped\":" + std::to_string(c.dropped);
  o += ",\"zero_area\":" + json_elements(c, c.zero_area, c.zero_area_examples);
  o += ",\"smallest_angle\":{\"degrees\":" + (c.min_angle_at.found() ? json_num(c.min_angle_deg) : "null") +
       ",\"at\":" + json_where(c, c.min_angle_at) + "}";
  o += ",\"largest_aspect_ratio\":{\"value\":" + (c.max_aspect_at.found() ? json_num(c.max_aspect) : "null") +
       ",\"at\":" + json_where(c, c.max_aspect_at) + "}";
  o += ",\"bounding_box\":{\"min\":[" + json_num(c.lo[0]) + "," + json_num(c.lo[1]) + "," + json_num(c.lo[2]) +
       "],\"max\":[" + json_num(c.hi[0]) + "," + json_num(c.hi[1]) + "," + json_num(c.hi[2]) + "]}";
  o += ",\"near_misses\":{\"threshold\":" + json_num(c.near_threshold) + ",\"count\":" + std::to_string(c.near_misses) +
       ",\"examples\":[";
  for (size_t i = 0; i < c.near_examples.size(); ++i) {
    const auto& m = c.near_examples[i];
    o += (i ? "," : "") + std::string("{\"points\":[") + std::to_string(m.a) + "," + std::to_string(m.b) +
         "],\"parts\":[" + json_str(name_of(c, m.part_a)) + "," + json_str(name_of(c, m.part_b)) +
         "],\"at\":[" + json_num(m.x) + "," + json_num(m.y) + "," + json_num(m.z) + "],\"distance\":" +
         json_num(m.distance) + "}";
  }
  return o + "]}}\n";
}
