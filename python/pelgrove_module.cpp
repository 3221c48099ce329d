// pelgrove (Python): runs a model as batch mode does and hands its mesh to Python as numpy
// arrays. The core keeps one model in global state, so every call into it holds one lock,
// with the GIL released; a Mesh owns the parts its run made (out of Grid::gGrids) so that
// the program's own writers and mesh check can still read them after later runs.
#include "builders/builders.h"
#include "grid/Grid.h"
#include "grid/part_properties.h"
#include "interp/interp.h"
#include "interp/library.h"
#include "interp/model_run.h"
#include "interp/params.h"
#include "interp/placement.h"
#include "merge/mesh_check.h"
#include "meshio/flat_mesh.h"
#include "meshio/formats.h"
#include "script/parameters.h"
#include "script/scriptstream.h"
#include "util/message.h"
#include "util/paths.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <dlfcn.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

std::mutex gCore;  // held by every call into the core

bool is_dir(const std::string& path) {
  struct stat st = {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
bool is_file(const std::string& path) {
  struct stat st = {};
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// The default library directory: under $VORN_HOME when set, else the share/ of the tree the
// module lies in (build/python/ in a build, lib/python3/dist-packages/ installed), else
// where the program would look.
std::string default_library_dir() {
  const std::string tail = "/share/etc/pelgrove";
  if (getenv("VORN_HOME")) return VORN_DIR() + tail;
  Dl_info info = {};
  if (dladdr((void*)&default_library_dir, &info) && info.dli_fname) {
    std::string dir = info.dli_fname;
    for (int up = 0; up < 5 && dir.rfind('/') != std::string::npos; ++up) {
      dir.erase(dir.rfind('/'));
      if (is_dir(dir + tail)) return dir + tail;
    }
  }
  return VORN_DIR() + tail;
}

// What loading libraries leaves behind; restored before a run asks for other libraries.
struct LibraryState {
  std::map<std::string, std::string> functions, expressions;
  std::map<std::string, int> args;
  std::map<std::string, MessageLocation> origins;
  std::map<std::string, double> preloaded;
  std::vector<Placement> matrices;
  std::vector<std::map<std::string, double>> frames;

  static LibraryState save() {
    return {gLibraries, stored_expressions, gLibraries_args, gLibraries_origin, gParameters_preloaded,
            matrix_stack, gParameterFrames};
  }
  void restore() const {
    gLibraries = functions;
    stored_expressions = expressions;
    gLibraries_args = args;
    gLibraries_origin = origins;
    gParameters_preloaded = preloaded;
    matrix_stack = matrices;
    gParameterFrames = frames;
    keep_startup_state();
  }
};

// Loaded once: the command table and the default library directory; then the libraries the
// last run asked for on top.
struct Session {
  bool started = false;
  LibraryState base;
  std::vector<std::string> extra;
  bool extra_loaded = false;
};
Session gSession;

// Captures the messages of one call and restores the previous sink.
struct Capture {
  CaptureSink sink;
  MessageSink* previous = &message_sink();
  Capture() { set_message_sink(&sink); }
  ~Capture() { set_message_sink(previous == &sink ? nullptr : previous); }
};

// Library loading prints its progress ("preloading ... ok"); the module keeps it quiet.
bool load_quietly(const std::vector<std::string>& dirs, const std::vector<std::string>& files) {
  std::ostringstream said;
  std::streambuf* out = std::cout.rdbuf(said.rdbuf());
  bool ok = load_libraries(dirs, true);
  if (!files.empty()) ok = load_library_files(files) && ok;
  std::cout.rdbuf(out);
  return ok;
}

// Brings the libraries to `wanted` (directories and files, loaded as --L and --l); false
// when one of them failed to load.
bool prepare_libraries(const std::vector<std::string>& wanted) {
  if (!gSession.started) {
    map_builders("");
    map_commands();
    std::ostringstream said;
    std::streambuf* out = std::cout.rdbuf(said.rdbuf());
    load_libraries({default_library_dir()});
    std::cout.rdbuf(out);
    gSession.base = LibraryState::save();
    gSession.started = gSession.extra_loaded = true;
  }
  if (gSession.extra_loaded && wanted == gSession.extra) return true;
  gSession.base.restore();
  gSession.extra = wanted;
  std::vector<std::string> dirs, files;
  for (const std::string& w : wanted) (is_dir(w) ? dirs : files).push_back(w);
  gSession.extra_loaded = wanted.empty() || load_quietly(dirs, files);
  return gSession.extra_loaded;
}

struct Message {
  std::string kind, file, text;
  int line;
};

std::vector<Message> messages_of(const CaptureSink& sink) {
  std::vector<Message> out;
  for (const CaptureSink::Entry& e : sink.entries)
    out.push_back({e.kind, e.where.file, e.text, e.where.line});
  return out;
}

std::string message_line(const Message& m) {
  return message_prefix({m.file, m.line}) + (m.kind == "warning" ? "warning: " : "") + m.text;
}

// The parts one run made, moved out of Grid::gGrids; put back, with the run's solver element
// names, while a writer or the check reads them.
struct Model {
  std::vector<Grid*> grids;
  std::string element_names[5];  // the solver element types the run set (element_name)
  ~Model() {
    py::gil_scoped_release free;
    std::lock_guard<std::mutex> lock(gCore);
    for (auto it = grids.rbegin(); it != grids.rend(); ++it) delete *it;
  }
  template <class Fn>
  auto with_grids(Fn&& fn) {
    py::gil_scoped_release free;
    std::lock_guard<std::mutex> lock(gCore);
    struct Swap {
      Model* m;
      void operator()() {
        Grid::gGrids.swap(m->grids);
        for (int k = 2; k <= 4; ++k) {
          std::string current = solver_element_name(k);
          set_solver_element_name(k, m->element_names[k]);
          m->element_names[k] = current;
        }
      }
      ~Swap() { (*this)(); }
    } swap{this};
    swap();
    return fn();
  }
};

// A run's outcome before it becomes Python objects (built without the GIL).
struct Outcome {
  std::vector<Message> messages;
  bool ok = false;
  std::string pin_error;
  FlatMesh flat;
  std::vector<std::array<double, 4>> colors;  // per group
  std::vector<double> thickness;              // per group
  std::shared_ptr<Model> model;
};

// A colour channel as the decimal the script wrote (0.2, not 0.200000003).
double as_double(float f) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.7g", f);
  return std::strtod(buf, nullptr);
}

const char* const kKinds[5] = {"", "", "line", "triangle", "quad"};

Outcome run_core(const std::string& text, bool is_path, const std::vector<std::string>& pins,
                 const std::vector<std::string>& libraries) {
  Outcome out;
  std::lock_guard<std::mutex> lock(gCore);
  Capture capture;
  bool libraries_ok = prepare_libraries(libraries);
  // Pins are read as --D reads them: after the libraries, against their parameters.
  gPinnedParameters.clear();
  reset_params();
  for (const std::string& p : pins)
    if (!pin_param(p, out.pin_error)) {
      gPinnedParameters.clear();
      return out;
    }
  ModelRun run;
  if (is_path) {
    run = run_model_file(text.c_str());
  } else {
    std::string script = text;
    run = run_model_text(script, "script");
  }
  gPinnedParameters.clear();
  out.ok = run.ok() && libraries_ok && flatten_grids(out.flat);
  out.messages = messages_of(capture.sink);
  if (!out.ok) {
    Grid::destroy_grids();
    return out;
  }
  out.colors.resize(out.flat.names.size(), {0, 0, 0, 1});
  out.thickness.resize(out.flat.names.size(), 0);
  std::vector<bool> seen(out.flat.names.size());
  std::map<std::string, size_t> group;
  for (size_t i = 0; i < out.flat.names.size(); ++i) group[out.flat.names[i]] = i;
  for (const Grid* g : Grid::gGrids) {
    auto it = group.find(g->name());
    if (it == group.end() || seen[it->second]) continue;
    seen[it->second] = true;
    const float* c = g->color();
    out.colors[it->second] = {as_double(c[0]), as_double(c[1]), as_double(c[2]), as_double(c[3])};
    out.thickness[it->second] = g->thickness();
  }
  out.model = std::make_shared<Model>();
  for (int k = 2; k <= 4; ++k) out.model->element_names[k] = solver_element_name(k);
  out.model->grids.swap(Grid::gGrids);
  return out;
}

// The mesh of one successful run.
struct Mesh {
  py::array_t<double> points;
  py::dict cells, cell_parts, colors, thickness;
  py::list parts, messages;
  std::shared_ptr<Model> model;
};

py::object script_error;

py::list message_list(const std::vector<Message>& ms) {
  py::list out;
  for (const Message& m : ms)
    out.append(py::dict(py::arg("kind") = m.kind, py::arg("file") = m.file, py::arg("line") = m.line,
                        py::arg("text") = m.text));
  return out;
}

[[noreturn]] void raise_script_error(const std::vector<Message>& ms) {
  const Message* first = nullptr;
  for (const Message& m : ms)
    if (!first && m.kind != "warning") first = &m;
  std::string text = first ? message_line(*first) : "the run failed";
  py::object e = script_error(text);
  e.attr("messages") = message_list(ms);
  e.attr("file") = first ? py::cast(first->file) : py::none();
  e.attr("line") = first ? py::cast(first->line) : py::none();
  PyErr_SetObject(script_error.ptr(), e.ptr());
  throw py::error_already_set();
}

// A pin's text: numbers with every digit a double holds, strings as given ("[2*n]").
std::string pin_text(const py::handle& value) {
  if (py::isinstance<py::str>(value)) return value.cast<std::string>();
  if (py::isinstance<py::bool_>(value) || !(py::isinstance<py::int_>(value) || py::isinstance<py::float_>(value)))
    throw py::type_error("a pinned value is a number or a string");
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", value.cast<double>());
  return buf;
}

Mesh run(const py::object& script, const py::dict& D, const py::object& tolerance, const py::object& libraries) {
  std::string text;
  bool is_path = false;
  if (py::isinstance(script, py::module_::import("os").attr("PathLike"))) {
    text = py::str(py::module_::import("os").attr("fspath")(script)).cast<std::string>();
    is_path = true;
  } else {
    text = script.cast<std::string>();
    // One line naming a file is that file; anything else is the script's text.
    is_path = text.find('\n') == std::string::npos && is_file(text);
  }
  std::vector<std::string> pins, libs;
  for (auto [name, value] : D) pins.push_back(py::str(name).cast<std::string>() + "=" + pin_text(value));
  if (!tolerance.is_none()) pins.push_back("tolerance=" + pin_text(tolerance));
  if (!libraries.is_none())
    for (const py::handle& l : libraries)
      libs.push_back(py::str(py::module_::import("os").attr("fspath")(l)).cast<std::string>());
  Outcome out;
  {
    py::gil_scoped_release free;
    out = run_core(text, is_path, pins, libs);
  }
  if (!out.pin_error.empty()) throw py::value_error("D: " + out.pin_error);
  if (!out.ok) raise_script_error(out.messages);

  const FlatMesh& f = out.flat;
  Mesh m;
  m.points = py::array_t<double>({(py::ssize_t)f.points(), (py::ssize_t)3});
  std::copy(f.xyz.begin(), f.xyz.end(), m.points.mutable_data());
  long per_kind[5] = {0, 0, 0, 0, 0};
  for (int n : f.count) ++per_kind[n];
  std::map<int, std::pair<py::array_t<long>, py::array_t<int>>> blocks;
  for (int n = 2; n <= 4; ++n)
    if (per_kind[n])
      blocks[n] = {py::array_t<long>({(py::ssize_t)per_kind[n], (py::ssize_t)n}), py::array_t<int>(per_kind[n])};
  long filled[5] = {0, 0, 0, 0, 0};
  for (long e = 0; e < f.elements(); ++e) {
    const int n = f.count[e];
    auto& [conn, part] = blocks[n];
    const long k = filled[n]++;
    std::copy_n(f.element(e), n, conn.mutable_data() + k * n);
    part.mutable_data()[k] = f.group[e];
  }
  for (auto& [n, block] : blocks) {
    m.cells[kKinds[n]] = block.first;
    m.cell_parts[kKinds[n]] = block.second;
  }
  for (size_t i = 0; i < f.names.size(); ++i) {
    m.parts.append(f.names[i]);
    const auto& c = out.colors[i];
    m.colors[py::str(f.names[i])] = py::make_tuple(c[0], c[1], c[2], c[3]);
    if (out.thickness[i] != 0) m.thickness[py::str(f.names[i])] = out.thickness[i];
  }
  m.messages = message_list(out.messages);
  m.model = out.model;
  return m;
}

void write_mesh(Mesh& m, const std::string& path, const py::object& format) {
  const Mesh_Format* f = &mesh_format_for_path(path);
  if (!format.is_none()) {
    f = find_mesh_format(format.cast<std::string>());
    if (!f)
      throw py::value_error("unknown format '" + format.cast<std::string>() + "'; the formats are " +
                            mesh_format_names());
  }
  int error = 0;
  const bool written = m.model->with_grids([&] {
    errno = 0;
    const bool ok = f->write(path.c_str(), true);
    error = errno;
    return ok;
  });
  if (!written) {
    const std::string why =
        "cannot write the mesh to '" + path + "'" + (error ? std::string(": ") + std::strerror(error) : "");
    PyErr_SetString(PyExc_OSError, why.c_str());
    throw py::error_already_set();
  }
}

py::object mesh_report(Mesh& m) {
  const std::string json = m.model->with_grids([] { return mesh_check_json(check_mesh()); });
  return py::module_::import("json").attr("loads")(json);
}

// meshio's cell blocks in this mesh's kind order, the part index as cell data and the part
// names as field data ([index, dimension]).
py::object to_meshio(const Mesh& m) {
  py::module_ meshio = py::module_::import("meshio"), np = py::module_::import("numpy");
  py::list blocks, part_data;
  std::vector<int> dim(py::len(m.parts), 0);
  for (auto [kind, conn] : m.cells) {
    blocks.append(py::make_tuple(kind, conn));
    py::array_t<int> part = m.cell_parts[kind].cast<py::array_t<int>>();
    part_data.append(part);
    const int d = py::str(kind).cast<std::string>() == "line" ? 1 : 2;
    for (py::ssize_t i = 0; i < part.size(); ++i) dim[part.data()[i]] = std::max(dim[part.data()[i]], d);
  }
  py::dict field_data;
  for (size_t i = 0; i < dim.size(); ++i) field_data[m.parts[i]] = np.attr("array")(py::make_tuple((int)i, dim[i]));
  py::dict cell_data;
  cell_data["part"] = part_data;
  return meshio.attr("Mesh")(m.points, blocks, py::arg("cell_data") = cell_data, py::arg("field_data") = field_data);
}

}  // namespace

PYBIND11_MODULE(pelgrove, mod) {
  mod.doc() = "Runs pelgrove scripts as batch mode does and returns their meshes as numpy arrays.";
  script_error =
      py::reinterpret_borrow<py::object>(PyErr_NewException("pelgrove.ScriptError", PyExc_RuntimeError, nullptr));
  mod.attr("ScriptError") = script_error;
  mod.attr("formats") = [] {
    py::list names;
    for (const Mesh_Format& f : mesh_formats()) names.append(f.name);
    return names;
  }();
  py::class_<Mesh>(mod, "Mesh", "The merged, numbered mesh of one run, numbered as its written file.")
      .def_readonly("points", &Mesh::points, "N x 3 coordinates; row k is point k+1 of a .dvk file")
      .def_readonly("cells", &Mesh::cells, "kind ('line', 'triangle', 'quad') -> K x n point indices (from 0)")
      .def_readonly("cell_parts", &Mesh::cell_parts, "kind -> K part indices into parts")
      .def_readonly("parts", &Mesh::parts, "part names, as the groups of a .dvk file")
      .def_readonly("colors", &Mesh::colors, "part name -> (r, g, b, a)")
      .def_readonly("thickness", &Mesh::thickness, "part name -> thickness, for parts that have one")
      .def_readonly("messages", &Mesh::messages, "the run's warnings: dicts of kind, file, line, text")
      .def("write", &write_mesh, py::arg("path"), py::arg("format") = py::none(),
           "Writes the mesh with the program's writer for `format` (else the file name's extension).")
      .def("check", &mesh_report, "The mesh check's report (as --check=json prints it) as a dict.")
      .def("to_meshio", &to_meshio, "The mesh as a meshio.Mesh: cell data 'part', part names as field data.")
      .def("__repr__", [](const Mesh& m) {
        long n = 0;
        for (auto [kind, conn] : m.cells) n += (long)py::len(conn);
        return "<pelgrove.Mesh " + std::to_string(m.points.shape(0)) + " points, " + std::to_string(n) + " elements, " +
               std::to_string(py::len(m.parts)) + " parts>";
      });
  mod.def("run", &run, py::arg("script"), py::arg("D") = py::dict(), py::arg("tolerance") = py::none(),
          py::arg("libraries") = py::none(),
          "Runs a script (its text, or the path of its file) from a clean state as batch mode does.\n"
          "D pins parameters as --D (numbers, or strings such as '[2*n]'); tolerance pins the merge\n"
          "tolerance; libraries are extra library directories (--L) or files (--l).\n"
          "Raises ScriptError (with .messages, .file, .line) when the run fails.");
}
