#include "merge/mesh_check.h"

#include "interp/interp.h"
#include "support/test_support.h"

#include <cmath>
#include <string>

namespace {

using MeshCheckTest = ScriptTest;

// Unit squares, quadrilaterals, corners given as four "x y z" triples.
std::string square(const std::string& name, const std::string& corners, int n = 1) {
  return "plate " + name + " " + std::to_string(n) + " " + std::to_string(n) + " " + corners + "\n";
}
const std::string A = "0 0 0  1 0 0  1 1 0  0 1 0";       // normal +z
const std::string B = "1 0 0  2 0 0  2 1 0  1 1 0";       // beside A, same way round
const std::string B_FLIPPED = "1 0 0  1 1 0  2 1 0  2 0 0";

struct Case {
  const char* what;
  std::string script;
  long quads, triangles, free_edges, nonmanifold, flipped, collapsed, near_misses, merged;
};

TEST_F(MeshCheckTest, FindingsOnHandMadeMeshes) {
  const std::string quads = "set element_type quads\n";
  const Case cases[] = {
      {"one square: four free edges", quads + square("a", A), 1, 0, 4, 0, 0, 0, 0, 0},
      {"two squares sharing an edge", quads + square("a", A) + square("b", B), 2, 0, 6, 0, 0, 0, 0, 2},
      {"a flipped neighbour", quads + square("a", A) + square("b", B_FLIPPED), 2, 0, 6, 0, 1, 0, 0, 2},
      {"three squares on one edge", quads + square("a", A) + square("b", B) + square("c", "1 0 0  1 1 0  1 1 1  1 0 1"),
       3, 0, 9, 1, 0, 0, 0, 4},
      {"a collapsed quadrilateral becomes a triangle", quads + square("a", "0 0 0  1 0 0  1 1 0  1 1 0"), 0, 1, 3,
       0, 0, 1, 0, 1},
      {"a near miss under a tolerance", quads + "set tolerance 1e-7\n" + square("a", A) +
           square("b", "1.0000005 0 0  2 0 0  2 1 0  1.0000005 1 0"), 2, 0, 8, 0, 0, 0, 2, 0},
      {"the closed box", "include " PELGROVE_SOURCE_DIR "/examples/box.vmf\n", 384, 0, 0, 0, 0, 0, 0, 100},
  };
  for (const Case& c : cases) {
    std::string text = c.script;
    start_script(text, "check.vmf");
    const MeshCheck m = check_mesh();
    EXPECT_EQ((std::vector<long>{m.total.quads, m.total.triangles, m.free_edges, m.nonmanifold_edges, m.flipped_edges,
                                 m.collapsed, m.near_misses}),
              (std::vector<long>{c.quads, c.triangles, c.free_edges, c.nonmanifold, c.flipped, c.collapsed,
                                 c.near_misses})) << c.what;
    EXPECT_GE(m.near_threshold, 1e-9 * std::sqrt(2.0)) << c.what;  // reported even for one part
    long merged = 0;
    for (const auto& [pair, n] : m.merged) merged += n;
    EXPECT_EQ(merged, c.merged) << c.what;
    EXPECT_TRUE(alerts().empty()) << c.what;
  }
}

TEST_F(MeshCheckTest, ReportNamesWhereAndWhat) {
  std::string text = "set element_type quads\nset tolerance 1e-7\n" + square("left", A) +
                     square("right", "1.0000005 0 0  2 0 0  2 1 0  1.0000005 1 0") +
                     square("skew", "0 0 1  10 0 1  10 0.1 1  0 0.1 1");
  start_script(text, "check.vmf");
  const MeshCheck m = check_mesh();
  const std::string report = mesh_check_text(m);
  EXPECT_NE(report.find("points 2 ('left') and 5 ('right') at 1 0 0, 5e-07 apart"), std::string::npos) << report;
  EXPECT_NE(report.find("largest aspect ratio: 100 at element 3 (part 'skew', its element 1)"), std::string::npos)
      << report;
  EXPECT_NE(report.find("smallest angle: 90 degrees"), std::string::npos) << report;
  const std::string json = mesh_check_json(m);
  EXPECT_NE(json.find("\"near_misses\":{\"threshold\":1e-06,\"count\":2"), std::string::npos) << json;
  EXPECT_NE(json.find("\"bounding_box\":{\"min\":[0,0,0],\"max\":[10,1,1]}"), std::string::npos) << json;
}

}  // namespace
