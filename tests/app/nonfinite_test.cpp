// Coordinates that are not finite (NaN, infinite, beyond the largest double) are refused
// where they arise: by the builder or placement that made them, by the reader of the file
// that holds them, and, last, by every writer.
#include "grid/Grid.h"
#include "meshio/dvk_import.h"
#include "meshio/formats.h"
#include "meshio/import_dxf.h"
#include "meshio/import_unv.h"
#include "meshio/import_vet.h"
#include "meshio/import_xpatch.h"
#include "support/batch_runner.h"
#include "support/import_runner.h"

#include <cmath>

using namespace batch_rows;

namespace {
// The builder's failure at `line`: every line of a message carries the place.
std::string failed(int line, const std::string& part, const std::string& builder, const std::string& usage,
                   const std::string& why) {
  const std::string at = "s.vmf:" + std::to_string(line) + ": ";
  return at + "ERROR: while parsing " + part + ", builder " + builder + " failed with message:\n" + at + usage +
         "\n" + at + why + "\n";
}
const std::string patch = "expecting M N  a b c d", expressions = "[<x expression>] [<y expression>] [<z expression>]";
}  // namespace

TEST(NonFinite, BuildersAndPlacementStopTheRun) {
  const char* const empty = "no title\n0 0 0\n";
  check({
      {"corner", RUN, script("plate p 1 1  0 0 0  1 0 0  1 [sqrt(0.5 - 0.6)] 0  0 1 0\n"), 1,
       failed(1, "p", "plate", patch, "corner c is not finite: 1 nan 0"), "", empty},
      {"curve end", RUN, script("set x [1/0]\nline l 2  0 0 0  [x] 0 0\n"), 1,
       failed(2, "l", "line", "expecting N  a b", "end b is not finite: inf 0 0"), "", empty},
      {"surface expression", RUN, script("plate a 1 1  0 0 0  1 0 0  1 1 0  0 1 0\npplate p 2 2 [u] [v] [1/(u - 0.5)]\n"),
       1, failed(2, "p", "pplate", "expecting M N  " + expressions, "point (1, 0) is not finite: 0.5 0 inf"), "",
       "no title\n4 "},
      {"curve expression", RUN, script("pline c 4 [s] [0] [1/(s - 0.5)]\n"), 1,
       failed(1, "c", "pline", "expecting N  " + expressions, "point 2 (s = 0.5) is not finite: 0.5 0 inf"), "", empty},
      {"placement", RUN, script("move 1e308 0 0\nplate p 2 1  0 0 0  1e308 0 0  1e308 1 0  0 1 0\n"), 1,
       "s.vmf:2: ERROR: placing part 'p': point (2, 0) is not finite after the transformation: inf 0 0\n", "", empty},
      {"units", RUN, script("set units 1e300\nplate p 1 1  0 0 0  1e10 0 0  1e10 1 0  0 1 0\n"), 1,
       "s.vmf:2: ERROR: placing part 'p': point (1, 0) is not finite after the transformation: inf 0 0\n", "", empty},
      {"import", RUN, {{"s.vmf", "import vet v.vet\n"}, {"v.vet", "1 0 0\n0 0 nan\n"}}, 1,
       failed(1, "vet", "import", "failed to import vertex-edge-triangle file:\ns.vmf:1: v.vet",
              "line 2: vertex 1 is not finite: 0 0 nan"), "", empty},
  }, true);
}

TEST(NonFinite, ReadersRefuseWithTheLine) {
  using Reader = bool (*)(std::string_view, std::string&);
  const Reader dvk = [](std::string_view bytes, std::string& why) { return DVK::import(bytes, why); };
  const std::string face = "0\nSECTION\n2\nENTITIES\n0\n3DFACE\n10\n";
  const struct { Reader read; std::string bytes, why; } rows[] = {
      {VET::import, "1 0 0\nnan 0 0\n", "line 2: vertex 1 is not finite: nan 0 0"},
      {VET::import, "1 0 0\n0 1e400 0\n", "line 2: vertex 1 is not finite: 0 inf 0"},
      {UNV::import, "    -1\n  2411\n 1\n0 0 -inf\n    -1\n", "line 4: node 1 is not finite: 0 0 -inf"},
      {XPATCH::import, "t\n1\np\n0\n1\n0 nan 0\n0\n", "line 6: vertex 1 is not finite: 0 nan 0"},
      {DXF::import, face + "inf\n", "line 7: the coordinate for group code 10 is not finite: 'inf'"},
      {DXF::import, face + "-1e400\n", "line 7: the coordinate for group code 10 is not finite: '-1e400'"},
      {dvk, "t\n1 0 1\n1 0 NaN 0\n1 a\n",
       "reading DVK file failed at point #1 (line 3): the point is not finite: 0 nan 0\n"},
      {VET::import, "1 0 0\n1e-400 0 0\n", ""},  // beneath the smallest double: read as 0
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.bytes);
    const ImportRun run = run_import(r.read, r.bytes);
    EXPECT_EQ(run.ok, r.why.empty());
    EXPECT_EQ(run.why, r.why);
    EXPECT_EQ(Grid::gGrids.size(), r.why.empty() ? 1u : 0u);
  }
  Grid::destroy_grids();
}

// A point no builder would make, set by hand: each writer alerts, writes nothing and keeps
// the old file.
TEST_F(ScriptTest, EveryWriterRefusesAPointThatIsNotFinite) {
  const std::string dir = make_temp_dir();
  for (const Mesh_Format& f : mesh_formats()) {
    SCOPED_TRACE(f.name);
    ASSERT_TRUE(build("line rail 1  0 0 1  1 0 1\nplate p 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n"));
    Grid::gGrids[1]->mPts[2].y = -std::nan("");
    const std::string path = dir + "/old." + f.name;
    write_file(path, "old");
    sink.clear();
    EXPECT_FALSE(f.write(path.c_str(), true));
    EXPECT_EQ(read_file(path), "old");
    ASSERT_EQ(sink.entries.size(), 1u);
    EXPECT_EQ(sink.entries[0].where.file, path);
    EXPECT_EQ(sink.entries[0].text, "not written: point 5 (part 'p') is not finite: 0 nan 0");
    std::filesystem::remove(path);
    EXPECT_TRUE(dir_entries(dir).empty());
  }
}
