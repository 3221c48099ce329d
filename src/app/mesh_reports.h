// mesh_reports: what batch mode can say about the mesh after a run — the soundness
// report (--check) and the comparison with a golden mesh file (--compare).
#pragma once

#include "merge/mesh_check.h"
#include "meshio/mesh_compare.h"
#include "util/CLO.h"

#include <string>
#include <vector>

// What to report after a batch run.
struct MeshReports {
  enum Check { NONE, TEXT, JSON } check = NONE;
  std::string compare;  // reference mesh file, or empty
  double tolerance = -1;  // for the comparison; negative: default_compare_tolerance
  std::vector<CheckKind> fail_on;  // findings that fail the run
};
// Prints the requested reports on standard output (problems reading the reference on
// standard error; with a JSON check, standard output holds that object alone and the
// comparison goes to standard error). False when the mesh differs from the reference or it
// cannot be read, or when the check finds something of a kind in `fail_on` (said on
// standard error).
bool report_mesh(const MeshReports& reports);

// --fail-on <kinds>: a comma list of finding kinds, or "any". An unknown kind ends the
// process with status 2 after the help and the valid kinds.
class CLO_fail_on : public CLO_t<std::string, 1> {
public:
  explicit CLO_fail_on(const std::string& name);
  bool operator()(int i, int& argc, char** argv) override;
  const std::vector<CheckKind>& kinds() const { return mKinds; }

private:
  std::vector<CheckKind> mKinds;
};
// The kinds the word list names (a comma list, or "any"); false with the first unknown word.
bool parse_check_kinds(const std::string& list, std::vector<CheckKind>& kinds, std::string& unknown);

// Reads a reference .dvk file aside from the model's parts: its groups' point copies are
// joined and it is numbered and grouped as an export would. False with `error` on failure.
bool load_reference_mesh(const std::string& path, FlatMesh& out, std::string& error);

// The default distance within which two points are the same: the run's `tolerance`, but
// never less than what 14 significant digits in a .dvk file can hold of the model's size.
double default_compare_tolerance(const FlatMesh& model);
