// pelgrove: start-up — options, builders and commands, libraries, then batch or interactive mode.
#include "app/run_batch.h"
#include "builders/builders.h"
#include "interp/interp.h"
#include "interp/library.h"
#include "interp/listing.h"
#include "interp/params.h"
#include "ui/offscreen_image.h"
#include "ui/ui.h"
#include "util/CLO.h"
#include "util/atomic_file.h"
#include "util/message.h"
#include "util/paths.h"
#include "util/progress.h"
#include "util/script_output.h"

#include <cmath>
#include <iostream>
#include <sstream>
#include <string>

CLO_v<std::string> clo_lib_file("--l", "the value specifies a specific library file to load");
CLO_v<std::string> clo_lib_dir("--L",
    "the value specifies a directory of library files to load\n"
    "as well as the default '$VORN_HOME/share/etc/pelgrove'");
CLO_t<std::string, 2> clo_run("--run",
    "the two values specify input.vmf output.dvk and runs the input script without starting the User Interface");
CLO_format clo_format("--format");
CLO_help clo_help("--h");
CLO_t<std::string, 1> clo_list("--list",
    "the value names a table to print and exit: builders, commands, functions, parts or parameters");

CLO_v<std::string> clo_define("--D",
    "the value, name=value, pins a parameter for the whole run: the script's own set leaves it;\n"
    "the value may be a [bracketed expression], evaluated after the libraries are loaded (repeatable)");
CLO_flag clo_check("--check", "after the run, print a report on the mesh: counts, merged points, free and\n"
    "non-manifold edges, orientation, collapsed elements, shape extremes, near misses");
CLO_flag clo_check_json("--check=json", "the same report as one JSON object, alone on standard output: what the\n"
    "run prints (print, importers, library loading) goes to standard error");
CLO_fail_on clo_fail_on("--fail-on");
CLO_t<std::string, 1> clo_compare("--compare",
    "the value names a reference mesh (.dvk): after the run, compare the mesh with it and\n"
    "exit 1 on any difference");
CLO_t<double, 1> clo_tol("--tol", "the distance within which --compare takes two points as one\n"
    "(default: the run's tolerance, at least 1e-12 of the model's size)");

namespace {
// --view <side> and --size <WxH>: how --image draws; a value that is none ends the process
// with status 2 after the help and what is wrong.
class CLO_view : public CLO_t<std::string, 1> {
public:
  CLO_view() : CLO_t("--view", std::string("the value is the side the --image picture looks from: ") + image_view_names() +
                                   "\n(default iso: along (-1,-1,-1), z up; x, -x, y, -y: from that side, z up;\nz: down, y up)") {}
  bool operator()(int i, int& argc, char** argv) override {
    if (!CLO_t::operator()(i, argc, argv)) return false;
    if (!parse_image_view(values[0], view))
      fail(("unknown view '" + values[0] + "'; the views are " + image_view_names()).c_str(), 2);
    return true;
  }
  ImageView view = ImageView::ISO;
};
class CLO_size : public CLO_t<std::string, 1> {
public:
  CLO_size() : CLO_t("--size", "the value WxH is the size of the --image picture in pixels (default 800x600)") {}
  bool operator()(int i, int& argc, char** argv) override {
    if (!CLO_t::operator()(i, argc, argv)) return false;
    if (!parse_image_size(values[0], width, height))
      fail(("the size '" + values[0] + "' is not WxH with whole numbers from 1 to " +
            std::to_string(kMaxImageSide)).c_str(), 2);
    return true;
  }
  int width = 800, height = 600;
};
}  // namespace

CLO_t<std::string, 1> clo_image("--image", "the value names a PNG file: after --run, the model is drawn into it as the viewer\n"
    "first shows it (part colours, element edges, lighting; free edges in red with --check)\n"
    "with the axis triad, without a window or an X server; not drawn when the run fails");
CLO_view clo_view;
CLO_size clo_size;
CLO_flag clo_dark_edges("--dark-edges", "the --image picture outlines the elements in a dark shade of the part colour\n"
    "(as the viewer's setting of that name), so the mesh reads on any colour");

namespace {
// Where --image may not write, "" when it may: over one of the run's own files.
std::string image_clash(const std::vector<BatchInput>& inputs) {
  const std::string& image = clo_image.value(0);
  for (const BatchInput& in : inputs)
    if (same_file(image, in.path))
      return "--image: the picture '" + image + "' is " + in.role + " ('" + in.path + "'); it is not written over it";
  return "";
}

// What makes the command line unusable before anything runs, "" when nothing does: a --tol
// that is no distance, an output that is one of the run's own inputs.
std::string command_line_error() {
  if (clo_tol.invoked() && !(std::isfinite(clo_tol.value(0)) && clo_tol.value(0) >= 0))
    return "--tol: the distance must be a number of 0 or more";
  if (!clo_image.invoked() && (clo_view.invoked() || clo_size.invoked() || clo_dark_edges.invoked()))
    return std::string(clo_view.invoked() ? "--view" : clo_size.invoked() ? "--size" : "--dark-edges") +
           ": it sets the picture of --image, which is not given";
  if (clo_image.invoked() && !clo_run.invoked()) return "--image: pictures are drawn after a batch run: give --run";
  if (!clo_run.invoked()) return "";
  std::vector<BatchInput> inputs = {{clo_run.value(0), "the script"}};
  if (clo_compare.invoked()) inputs.push_back({clo_compare.value(0), "the reference mesh of --compare"});
  for (const std::string& f : clo_lib_file.values) inputs.push_back({f, "a library file (--l)"});
  const std::string clash = output_clash(clo_run.value(1), inputs);
  if (!clash.empty()) return "--run: " + clash;
  if (!clo_image.invoked()) return "";
  inputs.push_back({clo_run.value(1), "the mesh output of --run"});
  return image_clash(inputs);
}
}  // namespace

namespace {
// Loads the libraries, then reads the --D pins. What the libraries print is held back until
// the pins are read: a refused pin prints nothing on standard output, and a --list table or a
// --check report stays free of it. Returns false, with `pin_error` set, on a refused pin;
// `libraries_ok` is false when a library the user named failed to load.
bool load_libraries_and_pins(bool& libraries_ok, std::string& pin_error) {
  std::ostringstream loading;
  std::streambuf* out = std::cout.rdbuf(loading.rdbuf());
  // The default directory loads as it always has; what the user named must load, or a
  // batch run fails, and a name that does not exist is warned about.
  const std::vector<std::string>& dirs = clo_lib_dir.values;
  load_libraries({dirs.front()});
  libraries_ok = load_libraries({dirs.begin() + 1, dirs.end()}, true);
  if (!clo_lib_file.values.empty()) libraries_ok = load_library_files(clo_lib_file.values) && libraries_ok;
  for (const std::string& d : clo_define.values)
    if (!pin_param(d, pin_error)) break;
  std::cout.rdbuf(out);
  if (!pin_error.empty()) return false;
  const bool quiet = clo_list.invoked() || clo_check.invoked();
  if (!quiet) script_output() << loading.str() << std::flush;
  return true;
}

MeshReports requested_reports() {
  MeshReports reports;
  if (clo_check.invoked()) reports.check = MeshReports::TEXT;
  if (clo_check_json.invoked()) reports.check = MeshReports::JSON;
  if (clo_compare.invoked()) reports.compare = clo_compare.value(0);
  if (clo_tol.invoked()) reports.tolerance = clo_tol.value(0);
  reports.fail_on = clo_fail_on.kinds();
  return reports;
}

// Draws the --image picture after the run; false, with an alert naming the file, when it is not.
bool draw_requested_picture(const MeshReports& reports) {
  const ImageRequest request{clo_image.value(0), clo_view.view, clo_size.width, clo_size.height,
                             reports.check != MeshReports::NONE, clo_dark_edges.invoked()};
  std::string error = script_file_clash(request.path);
  if (!error.empty()) error = "the picture is not written: " + error;
  progress_phase("drawing " + request.path);
  const bool drawn = error.empty() && write_parts_image(request, error);
  progress_done();
  if (!drawn) {
    MessageLocationGuard restore;
    set_message_location({request.path, 0});
    alert_text(error);
  }
  return drawn;
}

bool run_batch_mode(const MeshReports& reports) {
  const std::string& output = clo_run.value(1);
  BatchPicture picture;
  if (clo_image.invoked()) picture = [&reports] { return draw_requested_picture(reports); };
  return run_batch(clo_run.value(0).c_str(), output.c_str(),
                   clo_format.invoked() ? clo_format.format() : mesh_format_for_path(output), reports, picture);
}
}  // namespace

int main(int argc, char** argv) {
  clo_lib_dir.values.push_back(VORN_DIR() + "/share/etc/pelgrove");
  if (!CLO::process_options(argc, argv, true) || clo_help.invoked()) return 1;
  const std::string refused = command_line_error();
  if (!refused.empty()) {
    alert_text(refused);
    return 2;
  }
  if (clo_run.invoked() && !clo_format.invoked()) {
    const std::string unknown = unknown_extension_warning(clo_run.value(1));
    if (!unknown.empty()) warning_text(unknown);
  }
  map_builders("");
  map_commands();
  // A JSON report holds standard output alone: what the run prints goes to standard error.
  set_script_output_to_stderr(clo_check_json.invoked());
  bool libraries_ok = true;
  std::string pin_error;
  if (!load_libraries_and_pins(libraries_ok, pin_error)) {
    alert_text("--D: " + pin_error);
    return 2;
  }
  if (clo_list.invoked()) return print_listing(clo_list.value(0), std::cout, std::cerr);
  if (clo_run.invoked()) return run_batch_mode(requested_reports()) && libraries_ok ? 0 : 1;
  return run_interactive(argc, argv);
}
