#include "builders/import.h"
#include "grid/RawGrid.h"
#include "interp/interp.h"
#include "support/test_support.h"

#include <iostream>
#include <sstream>

namespace {

class ImportBuilder : public ScriptTest {};

const std::string DATA = PELGROVE_TEST_DATA;

}  // namespace

TEST_F(ImportBuilder, MessagesForTypesAndFileNames) {
  const struct {
    const char* script;
    std::string alert;
  } rows[] = {
      {"import dxf", "ERROR: while parsing dxf, builder import failed with message:\nexpected name of dxf file."},
      {"import vet", "ERROR: while parsing vet, builder import failed with message:\n"
                     "expected name of vertex-edge-triangle (vet) file."},
      {"import myfile", "ERROR: while parsing myfile, builder import failed with message:\n"
                        "import type is unknown:\n'myfile' and no file name found"},
      {"import stl part.stl", "ERROR: while parsing stl, builder import failed with message:\n"
                              "import type is unknown:\n'stl'"},
      // a script that names its parts hands the part name over as the type
      {"begin hull\nimport dxf part.dxf", "ERROR: while parsing hull, builder import failed with message:\n"
                                          "import type is unknown:\n'hull'"},
      {"import gds /no/such.gds", "ERROR: while parsing gds, builder import failed with message:\n"
                                  "failed to import GDS-II file:\n/no/such.gds\nthe file cannot be opened"},
      {"import unv /no/such.unv", "ERROR: while parsing unv, builder import failed with message:\n"
                                  "failed to import SDRC universal file:\n/no/such.unv\nthe file cannot be opened"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.script);
    reset_script_state();
    sink.clear();
    EXPECT_FALSE(run(r.script));
    EXPECT_EQ(alerts(), std::vector<std::string>{r.alert});
    EXPECT_TRUE(Grid::gGrids.empty());
  }
}

// Each type reaches its reader; the parts made are those of the file.
TEST_F(ImportBuilder, EachTypeReadsItsFile) {
  const struct {
    std::string script;
    size_t parts;
    std::string last;
  } rows[] = {
      {"import vet " + DATA + "/square.vet", 1, "surface"},
      {"import xpatch " + DATA + "/square.xpatch", 2, "wing"},
      {"import dxf " + DATA + "/square.dxf", 3, "rail"},
      {"import unv " + DATA + "/cube.unv", 1, "Ungrouped"},
      {"import dvk " + DATA + "/dvk_three_groups.dvk", 3, "wire"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.script);
    reset_script_state();
    std::ostringstream quiet;
    std::streambuf* out = std::cout.rdbuf(quiet.rdbuf());
    std::streambuf* err = std::cerr.rdbuf(quiet.rdbuf());
    const bool ok = run(r.script);
    std::cout.rdbuf(out);
    std::cerr.rdbuf(err);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(alerts().empty());
    ASSERT_EQ(Grid::gGrids.size(), r.parts);
    EXPECT_EQ(Grid::gGrids.back()->name(), r.last);
  }
}
