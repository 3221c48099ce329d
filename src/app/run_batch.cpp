#include "app/run_batch.h"

#include "builders/import.h"
#include "grid/Grid.h"
#include "grid/memory.h"
#include "interp/interp.h"
#include "interp/library.h"
#include "interp/model_run.h"
#include "merge/mesh_check.h"
#include "util/atomic_file.h"
#include "util/message.h"
#include "util/progress.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <new>
#include <string>

namespace {

// "FILE: TEXT": the message concerns the file as a whole.
void report_file_error(const std::string& path, const std::string& text) {
  MessageLocationGuard restore;
  set_message_location({path, 0});
  alert_text(text);
}

// Why a mesh could not be written at `path`: a missing or unwritable directory is found
// by looking; otherwise the error the writer ran into (a full disk), when it left one.
std::string write_error_text(const std::string& path, int write_errno) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  struct stat st = {};
  if (stat(dir.c_str(), &st) != 0) return std::strerror(errno);
  if (!S_ISDIR(st.st_mode)) return std::strerror(ENOTDIR);
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
  if (write_errno != 0) return std::strerror(write_errno);
  return "the write failed";
}

}  // namespace

// A run that stopped for lack of memory left an unfinished model: no mesh is written
// for it, so no output file stands for a model the script did not make.
bool run_batch(const char* input, const char* output, const Mesh_Format& format,
               const MeshReports& reports, const BatchPicture& picture) {
  ProgressReporter progress;  // a line on standard error for phases longer than a second
  const ModelRun run = run_model_file(input);
  if (!run.read) {
    if (reports.check == MeshReports::JSON) std::cout << mesh_check_json_error(run.why) << std::flush;
    return false;
  }
  const bool ran = run.ran, clean = run.clean;
  bool written = false;
  // Files the run read: writing over one would lose the script's own input.
  const std::string clash = script_file_clash(output);
  if (!clash.empty()) {
    report_file_error(input, std::string("the mesh is not written to '") + output + "': " + clash);
  } else if (out_of_memory()) {
    alert_text(std::string(output) + " not written: the model does not fit in memory");
  } else {
    try {
      progress_phase(std::string("writing ") + output);
      errno = 0;
      written = format.write(output, true);
      const int write_errno = errno;
      progress_done();
      if (!written) report_file_error(output, "cannot write the mesh: " + write_error_text(output, write_errno));
    } catch (const std::bad_alloc&) {
      alert_text(std::string("out of memory while writing ") + output);
    }
  }
  if (out_of_memory() && reports.check == MeshReports::JSON)
    std::cout << mesh_check_json_error("the model does not fit in memory") << std::flush;
  const bool drawn = !picture || (written && ran && clean && picture());
  bool same = !out_of_memory() && report_mesh(reports);
  Grid::destroy_grids();
  return written && ran && clean && same && drawn;
}

std::string script_file_clash(const std::string& path) {
  std::string clash;
  for (const auto& [files, verb] : {std::pair{&included_files(), "included"}, std::pair{&imported_files(), "imported"}})
    for (const std::string& f : *files)
      if (same_file(path, f)) clash = "it is '" + f + "', which the script " + verb;
  return clash;
}

std::string output_clash(const std::string& output, const std::vector<BatchInput>& inputs) {
  for (const BatchInput& in : inputs)
    if (same_file(output, in.path))
      return "the output '" + output + "' is " + in.role + " ('" + in.path + "'); the mesh is not written over it";
  return "";
}

namespace {
std::string format_info() {
  std::string info = "the value names the format of the --run output file:";
  for (const Mesh_Format& f : mesh_formats()) {
    info += "\n" + std::string(f.name) + "  " + f.description;
    if (&f == &mesh_formats()[0]) info += " (the default)";
  }
  return info + "\nwithout --format, an output name ending in one of these extensions chooses it";
}
}  // namespace

CLO_format::CLO_format(const std::string& name) : CLO_t(name, format_info()) {
  values[0] = mesh_formats()[0].name;
}

bool CLO_format::operator()(int i, int& argc, char** argv) {
  if (!CLO_t::operator()(i, argc, argv)) return false;
  if (!find_mesh_format(values[0]))
    fail(("unknown format '" + values[0] + "'; the formats are " + mesh_format_names()).c_str(), 2);
  return true;
}

const Mesh_Format& CLO_format::format() const {
  const Mesh_Format* f = find_mesh_format(values[0]);
  return f ? *f : mesh_formats()[0];
}
