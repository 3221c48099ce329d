// run_batch: batch mode — run one script headless and write its mesh in the chosen format.
#pragma once

#include "app/mesh_reports.h"
#include "meshio/formats.h"
#include "util/CLO.h"

#include <functional>
#include <string>
#include <vector>

// Reads `input`, runs it from a clean state, writes the merged mesh to `output`.
// True only when the file was written and the run raised no alert and ended on no failure;
// the mesh of what was built is written in every case but an unreadable input and a run
// that stopped for lack of memory.
// `reports` are printed after the mesh was written; a comparison that finds differences
// makes the result false too.
// `picture`, when given, is called after the mesh was written by a run that ended on no
// alert and no failure, before the reports, while the parts are still there; its false
// makes the result false.
using BatchPicture = std::function<bool()>;
bool run_batch(const char* input, const char* output, const Mesh_Format& format = mesh_formats()[0],
               const MeshReports& reports = {}, const BatchPicture& picture = nullptr);

// A file the run reads, and what it is to the run ("the script").
// Why `path` may not be written after the run, "" when it may: it is a file the script included
// or imported ("it is 'parts.vmf', which the script included").
std::string script_file_clash(const std::string& path);

struct BatchInput {
  std::string path, role;
};
// Why the mesh may not be written to `output`, "" when it may: it is one of `inputs` (the
// same file, however named; links followed).
std::string output_clash(const std::string& output, const std::vector<BatchInput>& inputs);

// --format <name>: the writer of the --run output file, listed in the help. An unknown
// name ends the process with status 2 after the help and the valid names.
class CLO_format : public CLO_t<std::string, 1> {
public:
  explicit CLO_format(const std::string& name);
  bool operator()(int i, int& argc, char** argv) override;
  // The chosen writer: the first of the table when the option was not given.
  const Mesh_Format& format() const;
};
