#include "app/mesh_reports.h"

#include "grid/Grid.h"
#include "merge/PtMerger.h"
#include "meshio/dvk.h"
#include "script/parameters.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

namespace {

// Sends a standard stream elsewhere for the lifetime of the object.
class Redirect {
public:
  Redirect(std::ostream& s, std::streambuf* to) : mStream(s), mOld(s.rdbuf(to)) {}
  ~Redirect() { mStream.rdbuf(mOld); }

private:
  std::ostream& mStream;
  std::streambuf* mOld;
};

}  // namespace

bool load_reference_mesh(const std::string& path, FlatMesh& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open reference mesh '" + path + "': " + std::strerror(errno);
    return false;
  }
  std::vector<Grid*> model;
  model.swap(Grid::gGrids);
  std::ostringstream said, progress;
  bool ok;
  {
    Redirect quiet(std::cout, progress.rdbuf()), caught(std::cerr, said.rdbuf());
    ok = DVK::import(in);
  }
  if (ok) {
    for (Grid* g : Grid::gGrids) {
      g->tolerance(0);
      g->ptolerance(0);
    }
    merge_grid_pts();
    renumber_grid_pts();
    out = flatten_grids();
  } else {
    std::string why = said.str();
    while (!why.empty() && why.back() == '\n') why.pop_back();
    error = "cannot read reference mesh '" + path + "'" + (why.empty() ? std::string() : ": " + why);
  }
  Grid::destroy_grids();
  Grid::gGrids.swap(model);
  return ok;
}

double default_compare_tolerance(const FlatMesh& model) {
  double size = 0;
  for (double v : model.xyz) size = std::max(size, std::fabs(v));
  auto it = gParameters.find("tolerance");
  const double tol = it != gParameters.end() ? std::fabs(it->second) : 0;
  return std::max(tol, 1e-12 * size);
}
