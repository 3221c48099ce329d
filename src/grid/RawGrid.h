// RawGrid: a part with explicit element records, made by the importers.
#pragma once

#include "grid/Grid.h"
#include "grid/MeshStructs.h"

#include <vector>

class RawGrid : public Grid {
public:
  explicit RawGrid(const std::string& name);
  int dimension() const override { return 2; }
  int num_elements() const override;
  int element(int k, long* idx) const override;
  int element(int k, GridPt* pts) const override;

  std::vector<Mesh::Element> elements;  // point numbers are 1-based indices into mPts
};
