#include "app/mesh_reports.h"

#include "grid/Grid.h"
#include "merge/PtMerger.h"
#include "merge/mesh_check.h"
#include "meshio/dvk.h"
#include "script/parameters.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
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
    flatten_grids(out);
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

bool report_mesh(const MeshReports& reports) {
  if (reports.check == MeshReports::TEXT) std::cout << mesh_check_text(check_mesh());
  if (reports.check == MeshReports::JSON) std::cout << mesh_check_json(check_mesh());
  std::cout << std::flush;
  if (reports.compare.empty()) return true;
  FlatMesh ref;
  std::string error;
  if (!load_reference_mesh(reports.compare, ref, error)) {
    std::cerr << "pelgrove: " << error << "\n";
    return false;
  }
  FlatMesh model;
  if (!flatten_grids(model)) {
    std::cerr << "pelgrove: the mesh is not numbered; nothing to compare\n";
    return false;
  }
  const double tol = reports.tolerance >= 0 ? reports.tolerance : default_compare_tolerance(ref);
  const MeshComparison r = compare_meshes(model, ref, tol);
  char within[32];
  std::snprintf(within, sizeof within, "%.9g", tol);
  std::cout << "compare with " << reports.compare << " (points within " << within << "): ";
  if (r.differences == 0) {
    std::cout << "the meshes match (" << model.points() << " points, " << model.elements() << " elements, "
              << model.names.size() << " groups)\n";
    return true;
  }
  std::cout << r.differences << (r.differences == 1 ? " difference\n" : " differences\n");
  for (const auto& d : r.first) std::cout << "  " << d << "\n";
  if (r.differences > (long)r.first.size()) std::cout << "  ... and " << r.differences - (long)r.first.size() << " more\n";
  return false;
}
