#include "meshio/flat_mesh.h"

#include "grid/Grid.h"

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

std::vector<long> elements_by_group(const FlatMesh& m, bool by_kind) {
  const size_t keys = m.names.size() * 5 + 5;
  std::vector<long> start(keys + 1, 0);
  auto key = [&](long e) { return size_t(m.group[e]) * 5 + (by_kind ? size_t(m.count[e]) : 0); };
  for (long e = 0; e < m.elements(); ++e) ++start[key(e) + 1];
  for (size_t k = 0; k < keys; ++k) start[k + 1] += start[k];
  std::vector<long> order(m.elements());
  for (long e = 0; e < m.elements(); ++e) order[start[key(e)]++] = e;
  return order;
}
