// pelgrove_MxN: the structured M-by-N lattice every built-in generator makes.
// Point (i, j) is mPts[j*(M+1)+i]; elements are computed on demand from the lattice
// position as quadrilaterals or triangles (element_type), or bars when N = 0.
#pragma once

#include "grid/Grid.h"

class Grid_MxN : public Grid {
public:
  Grid_MxN(const std::string& name, int M, int N);
  void load_params() override;
  int dimension() const override { return N != 0 ? 2 : 1; }
  int num_elements() const override;
  // Indices before merge reduction: 2, 3 or 4, or -1 out of range.
  int raw_element(int k, long* idx) const;
  int element(int k, long* idx) const override;
  int element(int k, GridPt* pts) const override;

  int M = 0;
  int N = 0;
  int element_type = 0;

private:
  void load_element_type();
};

// True when an M x N lattice (M, N >= 0) can be indexed with int: its (M+1)*(N+1) points
// and up to 2*M*N elements. Builders check this before making a grid.
bool lattice_fits(long M, long N);
