#include "grid/pelgrove_MxN.h"

#include "script/parameters.h"

#include <cassert>
#include <climits>
#include <cmath>

bool lattice_fits(long M, long N) {
  if (M < 0 || N < 0 || M >= INT_MAX || N >= INT_MAX) return false;
  return (M + 1) * (N + 1) <= INT_MAX && 2 * M * N <= INT_MAX;
}

// Grid's constructor has read the shared parameters; only the element type is left.
Grid_MxN::Grid_MxN(const std::string& name, int M, int N) : Grid(name), M(M), N(N) {
  assert(lattice_fits(M, N));
  load_element_type();
  mPts.resize(size_t(M + 1) * size_t(N + 1));
}

// element_type is truncated toward zero; a value no int holds selects no split at all
// (every element then reads as unusable), as any other unknown type does.
void Grid_MxN::load_element_type() {
  double t = gParameters["element_type"];
  element_type = (std::isfinite(t) && t > INT_MIN && t < INT_MAX) ? int(t) : -1;
}

void Grid_MxN::load_params() {
  load_element_type();
  Grid::load_params();
}

int Grid_MxN::num_elements() const {
  if (mDeleted) return 0;
  if (N == 0) return M;
  return element_type == 0 ? M * N : 2 * M * N;
}

// Cell (c, r) has corners p0 = (c, r), p1 = (c+1, r), p2 = (c+1, r+1), p3 = (c, r+1).
// With triangles, element k is half k % 2 of cell k / 2; the diagonal decides the halves:
//   p0-p2: (p0, p1, p2) (p0, p2, p3)     p1-p3: (p0, p1, p3) (p3, p1, p2)
int Grid_MxN::raw_element(int k, long* idx) const {
  if (k < 0) return -1;
  if (N == 0) {
    if (k >= M) return -1;
    idx[0] = k;
    idx[1] = k + 1;
    return 2;
  }
  if (M <= 0) return -1;

  const int cell = element_type == 0 ? k : k / 2;
  const int c = cell % M, r = cell / M;
  if (r >= N) return -1;
  const long p0 = long(r) * (M + 1) + c, p1 = p0 + 1;
  const long p3 = p0 + M + 1, p2 = p3 + 1;
  if (element_type == 0) {
    idx[0] = p0;
    idx[1] = p1;
    idx[2] = p2;
    idx[3] = p3;
    return 4;
  }

  bool diagonal02;
  switch (element_type) {
  case 1:
    diagonal02 = true;
    break;
  case 2:  // checkerboard
    diagonal02 = (c + r) % 2 == 0;
    break;
  case 3:
  case 4: {
    // Measured on the merged points, so the split follows the geometry after merging.
    // Type 4 keeps p0-p2 unless p1-p3 is at least 5 % shorter (0.95 squared).
    const double g = element_type == 3 ? 1.0 : 0.9025;
    diagonal02 = mapped_dist2(mPts[p3], mPts[p1]) > g * mapped_dist2(mPts[p2], mPts[p0]);
    break;
  }
  default:
    return -1;
  }

  const bool second = k % 2 != 0;
  if (diagonal02) {
    idx[0] = p0;
    idx[1] = second ? p2 : p1;
    idx[2] = second ? p3 : p2;
  } else {
    idx[0] = second ? p3 : p0;
    idx[1] = p1;
    idx[2] = second ? p2 : p3;
  }
  return 3;
}

int Grid_MxN::element(int k, long* idx) const {
  return Grid::fix_merged_indices(raw_element(k, idx), idx, mPts);
}

int Grid_MxN::element(int k, GridPt* pts) const {
  long idx[4];
  const int n = element(k, idx);
  assert(n<=4);
  for (int j = 0; j < n; ++j) pts[j] = effective(mPts[idx[j]]);
  return n;
}
