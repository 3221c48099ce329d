// Shared by the fuzz targets: quiet standard streams, and the invariants every import
// must keep whatever the input: a failed import leaves no part, and every element of a
// part names only points of that part.
#pragma once

#include "grid/Grid.h"
#include "grid/RawGrid.h"

#include <cstdlib>
#include <iostream>

// Progress words and warnings would flood the fuzzer's output.
inline void silence_streams() {
  static bool done = false;
  if (done) return;
  std::cout.rdbuf(nullptr);
  std::cerr.rdbuf(nullptr);
  done = true;
}

inline void check_import(bool ok) {
  if (!ok && !Grid::gGrids.empty()) std::abort();
  for (const Grid* g : Grid::gGrids) {
    const RawGrid* raw = dynamic_cast<const RawGrid*>(g);
    if (!raw) std::abort();
    const size_t n = raw->mPts.size();
    for (const Mesh::Element& e : raw->elements) {
      const uint32_t count = Mesh::npts(e);
      if (count < 2 || count > 8) std::abort();
      for (uint32_t j = 0; j < count; ++j)
        if (e.pts[j] < 1 || e.pts[j] > n) std::abort();
    }
    long idx[4];
    for (int k = 0; k < raw->num_elements(); ++k) raw->element(k, idx);
  }
  Grid::destroy_grids();
}
