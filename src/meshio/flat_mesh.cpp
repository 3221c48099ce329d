#include "meshio/flat_mesh.h"

#include "grid/Grid.h"
#include "meshio/text_writer.h"

#include <algorithm>
#include <map>
#include <set>

bool flatten_grids(FlatMesh& m) {
  m = FlatMesh();
  size_t all = 0, elements = 0;
  for (const Grid* g : Grid::gGrids) {
    all += g->mPts.size();
    elements += (size_t)g->num_elements();
  }
  m.xyz.reserve(3 * all);
  m.count.reserve(elements);
  m.group.reserve(elements);
  m.pts.reserve(4 * elements);
  long np = 0;
  for (const Grid* g : Grid::gGrids)
    for (const GridPt& p : g->mPts) {
      if (p.mapped_to) continue;
      if (p.id != ++np) {
        m = FlatMesh();
        return false;
      }
      m.xyz.insert(m.xyz.end(), {p.x, p.y, p.z});
    }
  std::map<std::string, int> group_of;
  for (const Grid* g : Grid::gGrids) {
    const int ne = g->num_elements();
    int group = -1;  // looked up at the grid's first written element
    for (int k = 0; k < ne; ++k) {
      long idx[4];
      const int n = g->element(k, idx);
      if (n < 2) continue;
      if (group < 0) {
        auto [it, added] = group_of.emplace(g->name(), (int)m.names.size());
        if (added) m.names.push_back(g->name());
        group = it->second;
      }
      m.count.push_back(n);
      m.group.push_back(group);
      for (int j = 0; j < 4; ++j) m.pts.push_back(j < n ? long(effective(g->mPts[idx[j]]).id - 1) : -1);
    }
  }
  // Names without elements still name groups, after the others in name order.
  std::set<std::string> empty;
  for (const Grid* g : Grid::gGrids)
    if (!group_of.count(g->name())) empty.insert(g->name());
  m.names.insert(m.names.end(), empty.begin(), empty.end());
  return true;
}

namespace {

// Counts a run of points and checks that its representatives are numbered consecutively;
// false when they are not. Runs sit side by side and are counted on several threads, so
// the counts are kept locally and stored once.
bool count_points(PartRun& r) {
  const GridPts& pts = r.grid->mPts;
  long c = 0, first = 0;
  bool consecutive = true;
  for (int i = r.begin; i < r.end; ++i) {
    const GridPt& p = pts[i];
    if (p.mapped_to) continue;
    if (c == 0) first = long(p.id - 1);
    consecutive = consecutive && p.id == first + c + 1;
    ++c;
  }
  r.first = first;
  r.count[0] = c;
  return consecutive;
}

void count_elements(PartRun& r, RunBounds* bounds_out) {
  const Grid& g = *r.grid;
  long idx[4], count[5] = {};
  RunBounds bounds[5];
  for (int k = r.begin; k < r.end; ++k) {
    const int n = g.element(k, idx);
    if (n < 2) continue;
    if (++count[n] == 1 && bounds_out) {
      const GridPt& p = effective(g.mPts[idx[0]]);
      bounds[n].first[0] = p.x, bounds[n].first[1] = p.y, bounds[n].first[2] = p.z;
    }
    if (!bounds_out) continue;
    RunBounds& b = bounds[n];
    for (int j = 0; j < n; ++j) {
      const GridPt& p = effective(g.mPts[idx[j]]);
      const double c[3] = {p.x, p.y, p.z};
      for (int a = 0; a < 3; ++a) {
        b.lo[a] = c[a] < b.lo[a] ? c[a] : b.lo[a];
        b.hi[a] = b.hi[a] < c[a] ? c[a] : b.hi[a];
      }
    }
  }
  std::copy(count, count + 5, r.count);
  if (bounds_out) std::copy(bounds, bounds + 5, bounds_out);
}

}  // namespace

bool layout_grids(PartLayout& L, bool with_bounds) {
  L = PartLayout();
  for (const Grid* g : Grid::gGrids) {
    const int n = (int)g->mPts.size();
    for (int b = 0; b < n; b += PART_RUN_ITEMS) L.points.push_back({g, b, std::min(n, b + PART_RUN_ITEMS), 0, -1, {}});
  }
  for (const Grid* g : Grid::gGrids) {
    const int n = g->num_elements();
    for (int b = 0; b < n; b += PART_RUN_ITEMS)
      L.elements.push_back({g, b, std::min(n, b + PART_RUN_ITEMS), 0, -1, {}});
  }
  if (with_bounds) L.bounds.resize(5 * L.elements.size());
  const size_t npr = L.points.size();
  std::vector<char> consecutive(npr, 1);
  for_each_on_cores(npr + L.elements.size(), [&](size_t i) {
    if (i < npr)
      consecutive[i] = count_points(L.points[i]);
    else
      count_elements(L.elements[i - npr], with_bounds ? &L.bounds[5 * (i - npr)] : nullptr);
  });

  for (size_t i = 0; i < npr; ++i) {
    const PartRun& r = L.points[i];
    if (r.count[0] == 0) continue;
    if (!consecutive[i] || r.first != L.np) {
      L = PartLayout();
      return false;
    }
    L.np += r.count[0];
  }

  // Groups numbered at the first written element of a name, as flatten_grids does.
  std::map<std::string, int> group_of;
  size_t kept = 0;
  for (size_t i = 0; i < L.elements.size(); ++i) {
    PartRun r = L.elements[i];
    if (r.elements() == 0) continue;
    auto [it, added] = group_of.emplace(r.grid->name(), (int)L.names.size());
    if (added) L.names.push_back(r.grid->name());
    r.group = it->second;
    r.first = L.ne;
    L.ne += r.elements();
    L.elements[kept] = r;
    if (with_bounds) std::copy_n(&L.bounds[5 * i], 5, &L.bounds[5 * kept]);
    ++kept;
  }
  L.elements.resize(kept);
  if (with_bounds) L.bounds.resize(5 * kept);
  std::set<std::string> empty;
  for (const Grid* g : Grid::gGrids)
    if (!group_of.count(g->name())) empty.insert(g->name());
  L.names.insert(L.names.end(), empty.begin(), empty.end());
  return true;
}
