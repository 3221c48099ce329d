#include "builders/import.h"

#include "grid/Grid.h"
#include "meshio/dvk_import.h"
#include "meshio/import_dxf.h"
#include "meshio/import_gds.h"
#include "meshio/import_unv.h"
#include "meshio/import_vet.h"
#include "meshio/import_xpatch.h"
#include "script/scriptstream.h"

#include <algorithm>

namespace {

struct Importer {
  const char* type;
  bool (*read)(const std::string& name, std::string& why);
  const char* no_name;  // message when no file name follows
  const char* failed;   // message when the reader fails, followed by the file name
};

const Importer IMPORTERS[] = {
    {"vet", import_vet, "expected name of vertex-edge-triangle (vet) file.",
     "failed to import vertex-edge-triangle file:\n"},
    {"dxf", import_dxf, "expected name of dxf file.", "failed to import dxf file:\n"},
    {"unv", import_unv, "expected name of SDRC universal file.", "failed to import SDRC universal file:\n"},
    {"gds", import_gds, "expected name of GDS-II file.", "failed to import GDS-II file:\n"},
    {"dvk", import_dvk, "expected name of dovrekin file.", "failed to import dovrekin file:\n"},
    {"xpatch", import_xpatch, "expected name of xpatch facet file.", "failed to import xpatch facet file:\n"},
};

// Parts a reader made before it failed are removed; the readers stage their parts, so
// this only guards the rule that a failed import leaves the part list as it was.
void remove_parts_after(size_t count) {
  while (Grid::gGrids.size() > count) delete Grid::gGrids.back();
}

}  // namespace

// import <type> <file>
bool import_geom(std::string type, scriptstream& in, std::string& message) {
  std::string file;
  for (const Importer& imp : IMPORTERS) {
    if (type != imp.type) continue;
    in >> file;
    if (file.empty()) {
      message = imp.no_name;
      return false;
    }
    std::vector<std::string>& named = imported_files();
    if (std::find(named.begin(), named.end(), file) == named.end()) named.push_back(file);
    const size_t before = Grid::gGrids.size();
    std::string why;
    if (imp.read(file, why)) return true;
    remove_parts_after(before);
    while (!why.empty() && why.back() == '\n') why.pop_back();
    message = imp.failed + file + (why.empty() ? "" : "\n" + why);
    return false;
  }
  message = "import type is unknown:\n'" + type + "'";
  in >> file;
  if (file.empty()) message += " and no file name found";
  return false;
}

std::vector<std::string>& imported_files() {
  static std::vector<std::string> files;
  return files;
}
