#include "meshio/formats.h"

#include "meshio/dvk.h"
#include "meshio/vbf.h"

namespace {
const Mesh_Format FORMATS[] = {
    {"dvk", "*.dvk", "ascii mesh file (.dvk)", export_dvk_mesh},
    {"vbf", "*.vbf", "binary mesh file (.vbf)", export_vbf_mesh},
};
}  // namespace

std::span<const Mesh_Format> mesh_formats() { return FORMATS; }

const Mesh_Format* find_mesh_format(const std::string& name) {
  for (const Mesh_Format& f : FORMATS)
    if (name == f.name) return &f;
  return nullptr;
}

std::string mesh_format_names() {
  std::string names;
  for (const Mesh_Format& f : FORMATS) names += (names.empty() ? "" : ", ") + std::string(f.name);
  return names;
}
