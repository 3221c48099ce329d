#include "grid/RawGrid.h"

RawGrid::RawGrid(const std::string& name) : Grid(name) {}

int RawGrid::num_elements() const { return mDeleted ? 0 : (int)elements.size(); }

// Volume elements (tetrahedra, hexahedra of some imports) stay in the part but are no
// surface elements: they are reported as unusable (0), as are records of more than four
// points and records with a point number outside the grid.
int RawGrid::element(int k, long* idx) const {
  if (k < 0 || k >= (int)elements.size()) return 0;
  const Mesh::Element& e = elements[k];
  const uint32_t n = Mesh::npts(e);
  if (n > 4 || Mesh::dimensionality(e) > 2) return 0;
  for (uint32_t j = 0; j < n; ++j) idx[j] = long(e.pts[j]) - 1;
  return Grid::fix_merged_indices((int)n, idx, mPts);
}

int RawGrid::element(int k, GridPt* pts) const {
  long idx[4];
  int n = element(k, idx);
  for (int j = 0; j < n; ++j) pts[j] = effective(mPts[idx[j]]);
  return n;
}
