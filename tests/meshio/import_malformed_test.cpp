#include "interp/interp.h"
#include "support/test_support.h"

#include "grid/Grid.h"

#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>

namespace {

const std::map<std::string, std::string> FAILED = {
    {"vet", "failed to import vertex-edge-triangle file:\n"}, {"dxf", "failed to import dxf file:\n"},
    {"unv", "failed to import SDRC universal file:\n"},       {"gds", "failed to import GDS-II file:\n"},
    {"dvk", "failed to import dovrekin file:\n"},             {"xpatch", "failed to import xpatch facet file:\n"}};

class ImportMalformed : public ScriptTest {};

}  // namespace

// Every file of the corpus (its extension names the importer) fails the import with a
// message naming the file and what was wrong, and leaves only the part made before it.
TEST_F(ImportMalformed, EveryFileFailsWithAReasonAndLeavesNoPart) {
  const std::filesystem::path dir = PELGROVE_TEST_DATA "/malformed";
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string path = entry.path().string(), type = entry.path().extension().string().substr(1);
    SCOPED_TRACE(path);
    ASSERT_TRUE(FAILED.count(type)) << "unknown importer";
    ++files;
    reset_script_state();
    sink.clear();
    std::ostringstream quiet;
    std::streambuf* out = std::cout.rdbuf(quiet.rdbuf());
    std::streambuf* err = std::cerr.rdbuf(quiet.rdbuf());
    const bool ok = run("line before 1  0 0 0  1 0 0\nimport " + type + " " + path + "\n");
    std::cout.rdbuf(out);
    std::cerr.rdbuf(err);
    EXPECT_FALSE(ok);
    ASSERT_EQ(alerts().size(), 1u);
    const std::string head = "ERROR: while parsing " + type + ", builder import failed with message:\n" +
                             FAILED.at(type) + path + "\n";
    EXPECT_EQ(alerts()[0].substr(0, head.size()), head);
    EXPECT_GT(alerts()[0].size(), head.size() + 8) << "no reason given";
    ASSERT_EQ(Grid::gGrids.size(), 1u);
    EXPECT_EQ(Grid::gGrids[0]->name(), "before");
  }
  EXPECT_GE(files, 31u);
}
