#include "grid/Grid.h"
#include "grid/part_names.h"

#include "grid/part_properties.h"
#include "script/parameters.h"

#include <algorithm>
#include <cassert>
#include <iterator>

std::vector<Grid*> Grid::gGrids;

double mapped_dist2(const GridPt& a, const GridPt& b) {
  const GridPt& p = effective(a);
  const GridPt& q = effective(b);
  double dx = p.x - q.x, dy = p.y - q.y, dz = p.z - q.z;
  return dx * dx + dy * dy + dz * dz;
}

Grid::Grid(const std::string& name) : mName(clean_part_name(name)) {
  Grid::load_params();
  gGrids.push_back(this);
}

// Searched from the end: parts are destroyed newest first, so this stays constant time
// even for imports that make many thousands of parts.
Grid::~Grid() {
  auto it = std::find(gGrids.rbegin(), gGrids.rend(), this);
  if (it != gGrids.rend()) gGrids.erase(std::next(it).base());
}

// Missing entries are created with 0 by the map's index operator, so a part made
// after the table was emptied still reads a defined value.
void Grid::load_params() {
  mTolerance = gParameters["tolerance"];
  mPtolerance = gParameters["ptolerance"];
  mColor[0] = float(gParameters["color.r"]);
  mColor[1] = float(gParameters["color.g"]);
  mColor[2] = float(gParameters["color.b"]);
  mColor[3] = float(gParameters["color.a"]);
  mThickness = gParameters["thickness"];
  mMaterial = part_material;
}

int Grid::as_merged_pts(int i, GridPt* out) const {
  const GridPt& p = mPts[i];
  out[0] = p;
  if (!p.mapped_to) return 1;
  out[1] = *p.mapped_to;
  return 2;
}

// Each destructor removes its own entry, so deleting from the end empties the list.
void Grid::destroy_grids() {
  while (!gGrids.empty()) delete gGrids.back();
}

long Grid::grid_point_count() {
  long n = 0;
  for (const Grid* g : gGrids)
    for (const GridPt& p : g->mPts)
      if (!p.mapped_to) ++n;
  return n;
}

// element(i, long*) reports the same count as element(i, GridPt*) without copying points.
long Grid::good_element_count() {
  long n = 0;
  long idx[4];
  for (const Grid* g : gGrids) {
    int ne = g->num_elements();
    for (int i = 0; i < ne; ++i)
      if (g->element(i, idx) >= 2) ++n;
  }
  return n;
}

// Reduces an element whose corners were merged. Points are compared by the identity of
// their representatives; the indices written back stay the grid's own.
int Grid::fix_merged_indices(int N, long* idx, const GridPts& pts) {
  const GridPt* p[4];
  assert(N<=(int)(sizeof(p)/sizeof(p[0])));
  if (N < 2 || N > 4) return 0;
  // An index outside the grid (a damaged imported record) makes the element unusable.
  const long size = (long)pts.size();
  for (int k = 0; k < N; ++k) {
    if (idx[k] < 0 || idx[k] >= size) return 0;
    p[k] = &effective(pts[idx[k]]);
  }
  switch (N) {
  case 2:
    return p[0] == p[1] ? 1 : 2;
  case 3:
    return (p[0] == p[1] || p[1] == p[2] || p[0] == p[2]) ? 1 : 3;
  default:
    if (p[0] == p[2] || p[1] == p[3]) return 1;  // a diagonal collapsed
    if ((p[0] == p[1] && p[2] == p[3]) || (p[1] == p[2] && p[3] == p[0])) return 1;  // two points left
    if (p[0] == p[1]) {
      idx[1] = idx[2];
      idx[2] = idx[3];
      return 3;
    }
    if (p[1] == p[2]) {
      idx[2] = idx[3];
      return 3;
    }
    if (p[2] == p[3] || p[0] == p[3]) return 3;
    return 4;
  }
}

// A merged point copies its representative's id as it stands now; a representative
// visited later still holds 0 here, so exports number elements from effective points.
void renumber_grid_pts() {
  int64_t counter = 0;
  for (Grid* g : Grid::gGrids)
    for (GridPt& p : g->mPts)
      p.id = p.mapped_to ? p.mapped_to->id : ++counter;
}
