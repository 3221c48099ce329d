#include "meshio/formats.h"

#include "meshio/bdf.h"
#include "meshio/dvk_export.h"
#include "meshio/inp.h"
#include "meshio/msh.h"
#include "meshio/obj.h"
#include "meshio/stl.h"
#include "meshio/unv_export.h"
#include "meshio/vbf.h"
#include "meshio/vtu.h"

#include <cctype>

namespace {
const Mesh_Format FORMATS[] = {
    {"dvk", "*.dvk", "ascii mesh file (.dvk)", "dovrekin ascii...", "dovrekin", export_dvk_mesh},
    {"vbf", "*.vbf", "binary mesh file (.vbf)", "VOR-N binary ...", "binary", export_vbf_mesh},
    {"vtu", "*.vtu", "VTK XML unstructured grid (.vtu), parts as cell data", "VTK XML unstructured grid (.vtu)...", "vtu", export_vtu_mesh},
    {"msh", "*.msh", "Gmsh 4.1 ascii mesh (.msh), one physical group per part", "Gmsh 4.1 ascii mesh (.msh)...", "msh", export_msh_mesh},
    {"stl", "*.stl", "binary STL (.stl), triangles only", "binary STL (.stl)...", "stl", export_stl_mesh},
    {"obj", "*.obj", "Wavefront OBJ (.obj), one group per part", "Wavefront OBJ (.obj)...", "obj", export_obj_mesh},
    {"inp", "*.inp", "input deck (.inp): element and node set and shell section per part", "input deck (.inp)...", "inp", export_inp_mesh},
    {"bdf", "*.bdf", "bulk data, free field (.bdf), one property id per part", "bulk data (.bdf)...", "bdf", export_bdf_mesh},
    {"unv", "*.unv", "universal file (.unv), one group per part", "universal file (.unv)...", "unv", export_unv_mesh},
};
}  // namespace

std::span<const Mesh_Format> mesh_formats() { return FORMATS; }

const Mesh_Format* find_mesh_format(const std::string& name) {
  for (const Mesh_Format& f : FORMATS)
    if (name == f.name) return &f;
  return nullptr;
}

namespace {
// The extension of the name's last component, lower case; "" for none.
std::string extension(const std::string& path) {
  const size_t dot = path.find_last_of("./");
  if (dot == std::string::npos || path[dot] != '.') return "";
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = (char)std::tolower((unsigned char)c);
  return ext;
}
}  // namespace

const Mesh_Format& mesh_format_for_path(const std::string& path) {
  const Mesh_Format* f = find_mesh_format(extension(path));
  return f ? *f : FORMATS[0];
}

std::string unknown_extension_warning(const std::string& path) {
  const std::string ext = extension(path);
  if (ext.empty() || find_mesh_format(ext)) return "";
  return "no writer makes '." + ext + "' files: '" + path + "' gets the " + FORMATS[0].description +
         "; choose a format with --format NAME or the output name's extension: " + mesh_format_names();
}

std::string mesh_format_names() {
  std::string names;
  for (const Mesh_Format& f : FORMATS) names += (names.empty() ? "" : ", ") + std::string(f.name);
  return names;
}
