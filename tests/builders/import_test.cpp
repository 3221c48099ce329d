// The import builder: its messages for types and file names, and each type reaching its reader.
#include "builders/import.h"
#include "support/import_runner.h"
#include "support/test_support.h"

using ImportBuilder = ScriptTest;
static const std::string DATA = PELGROVE_TEST_DATA;

TEST_F(ImportBuilder, MessagesForTypesAndFileNames) {
  const struct { const char* script; const char* part; const char* reason; } rows[] = {
      {"import dxf", "dxf", "expected name of dxf file."},
      {"import vet", "vet", "expected name of vertex-edge-triangle (vet) file."},
      {"import myfile", "myfile", "import type is unknown:\n'myfile' and no file name found"},
      {"import stl part.stl", "stl", "import type is unknown:\n'stl'"},
      // a script that names its parts hands the part name over as the type
      {"begin hull\nimport dxf part.dxf", "hull", "import type is unknown:\n'hull'"},
      {"import gds /no/such.gds", "gds", "failed to import GDS-II file:\n/no/such.gds\nthe file cannot be opened"},
      {"import unv /no/such.unv", "unv",
       "failed to import SDRC universal file:\n/no/such.unv\nthe file cannot be opened"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.script);
    reset_script_state();
    sink.clear();
    EXPECT_FALSE(run(r.script));
    EXPECT_EQ(alerts(), std::vector<std::string>{"ERROR: while parsing " + std::string(r.part) +
                                                 ", builder import failed with message:\n" + r.reason});
    EXPECT_TRUE(Grid::gGrids.empty());
  }
}

// Each type reaches its reader; the parts made are those of the file.
TEST_F(ImportBuilder, EachTypeReadsItsFile) {
  const struct { std::string script; size_t parts; std::string last; } rows[] = {
      {"import vet " + DATA + "/square.vet", 1, "surface"},
      {"import xpatch " + DATA + "/square.xpatch", 2, "wing"},
      {"import dxf " + DATA + "/square.dxf", 3, "rail"},
      {"import unv " + DATA + "/cube.unv", 1, "Ungrouped"},
      {"import dvk " + DATA + "/dvk_three_groups.dvk", 3, "wire"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.script);
    reset_script_state();
    StreamCapture out(std::cout), err(std::cerr);
    EXPECT_TRUE(run(r.script));
    EXPECT_TRUE(alerts().empty());
    ASSERT_EQ(Grid::gGrids.size(), r.parts);
    EXPECT_EQ(Grid::gGrids.back()->name(), r.last);
  }
}
