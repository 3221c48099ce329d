#include "app/mesh_reports.h"

#include "grid/Grid.h"
#include "merge/merge.h"
#include "merge/mesh_check.h"
#include "meshio/dvk_import.h"
#include "script/parameters.h"
#include "util/message.h"
#include "util/nearest_name.h"
#include "util/script_output.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include <sys/stat.h>

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
  struct stat st;  // a FIFO would block the open, a device never end
  if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    error = "cannot read reference mesh '" + path + "': not a regular file";
    return false;
  }
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
    const bool was = set_script_output_to_stderr(false);
    ok = DVK::import(in);
    set_script_output_to_stderr(was);
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

namespace {

// Says on standard error what the check found of the kinds that fail the run.
bool passes(const MeshCheck& c, const std::vector<CheckKind>& fail_on) {
  bool ok = true;
  for (CheckKind k : fail_on) {
    const long n = check_kind_count(c, k);
    if (n == 0) continue;
    std::cerr << "pelgrove: --fail-on " << check_kind_name(k) << ": the mesh check found " << n << "\n"
              << check_kind_text(c, k);
    ok = false;
  }
  return ok;
}

bool report_comparison(const MeshReports& reports, std::ostream& out) {
  FlatMesh ref;
  std::string error;
  if (!load_reference_mesh(reports.compare, ref, error)) {
    std::cerr << "pelgrove: " << cut_long_words(error) << "\n";
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
  out << "compare with " << reports.compare << " (points within " << within << "): ";
  if (r.differences == 0) {
    out << "the meshes match (" << model.points() << " points, " << model.elements() << " elements, "
        << model.names.size() << " groups)\n";
    return true;
  }
  out << r.differences << (r.differences == 1 ? " difference\n" : " differences\n");
  for (const auto& d : r.first) out << "  " << d << "\n";
  if (r.differences > (long)r.first.size()) out << "  ... and " << r.differences - (long)r.first.size() << " more\n";
  return false;
}

}  // namespace

bool report_mesh(const MeshReports& reports) {
  bool ok = true;
  if (reports.check != MeshReports::NONE || !reports.fail_on.empty()) {
    const MeshCheck c = check_mesh();
    if (reports.check == MeshReports::TEXT) std::cout << mesh_check_text(c);
    if (reports.check == MeshReports::JSON) std::cout << mesh_check_json(c);
    std::cout << std::flush;
    ok = passes(c, reports.fail_on);
  }
  if (reports.compare.empty()) return ok;
  const bool same = report_comparison(reports, reports.check == MeshReports::JSON ? std::cerr : std::cout);
  return same && ok;
}

bool parse_check_kinds(const std::string& list, std::vector<CheckKind>& kinds, std::string& unknown) {
  kinds.clear();
  size_t start = 0;
  do {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    const std::string word = list.substr(start, comma - start);
    CheckKind k;
    if (word == "any") {
      for (int i = 0; i < int(CheckKind::COUNT); ++i) kinds.push_back(CheckKind(i));
    } else if (find_check_kind(word, k)) {
      kinds.push_back(k);
    } else {
      unknown = word;
      return false;
    }
    start = comma + 1;
  } while (start <= list.size());
  std::sort(kinds.begin(), kinds.end());
  kinds.erase(std::unique(kinds.begin(), kinds.end()), kinds.end());
  return true;
}

namespace {
std::string kind_names() {
  std::string s;
  for (int i = 0; i < int(CheckKind::COUNT); ++i) s += check_kind_name(CheckKind(i)) + std::string(", ");
  return s + "any";
}
}  // namespace

CLO_fail_on::CLO_fail_on(const std::string& name)
    : CLO_t(name, "the value, a comma list of finding kinds, runs the mesh check after the run and\n"
                  "exits 1 when it finds any of them (said on standard error); the kinds:\n" + kind_names()) {}

bool CLO_fail_on::operator()(int i, int& argc, char** argv) {
  if (!CLO_t::operator()(i, argc, argv)) return false;
  std::string unknown;
  if (!parse_check_kinds(values[0], mKinds, unknown)) {
    NearestName near(unknown);
    for (int k = 0; k < int(CheckKind::COUNT); ++k) near.consider(check_kind_name(CheckKind(k)));
    std::string hint = near.hint();
    if (!hint.empty()) hint.insert(1, "\t");  // indented as the line before
    fail(("unknown finding kind '" + unknown + "'; the kinds are " + kind_names() + hint).c_str(), 2);
  }
  return true;
}
