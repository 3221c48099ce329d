#include "merge/mesh_check.h"

#include "grid/pelgrove_MxN.h"
#include "interp/interp.h"
#include "merge/merge.h"
#include "support/test_support.h"

#include <cmath>
#include <string>

namespace {

using MeshCheckTest = ScriptTest;

// Unit squares, quadrilaterals, corners given as four "x y z" triples.
std::string square(const std::string& name, const std::string& corners, int n = 1) {
  return "plate " + name + " " + std::to_string(n) + " " + std::to_string(n) + " " + corners + "\n";
}
const std::string A = "0 0 0  1 0 0  1 1 0  0 1 0";  // normal +z
const std::string B = "1 0 0  2 0 0  2 1 0  1 1 0";  // beside A, same way round
const std::string B_FLIPPED = "1 0 0  1 1 0  2 1 0  2 0 0";
const std::string B_FOLDED = "1 0 0  0.1 0 0.1  0.1 1 0.1  1 1 0";  // turned back over A
const std::string SKIN = "0 0 5  4 0 5  4 1 5  0 1 5";              // a 4 x 1 strip at z = 5
const std::string STIFFENER = "line stiff 1  1.5 0 5  1.5 0 6\n";   // foot between the skin's nodes

struct Case {
  const char* what;
  std::string script;
  // quads, triangles, free, non-manifold, flipped, folds, warps, t-joints, collapsed, by design,
  // near misses, merged points
  std::vector<long> counts;
};

TEST_F(MeshCheckTest, FindingsOnHandMadeMeshes) {
  const std::string quads = "set element_type quads\n";
  const Case cases[] = {
      {"one square: four free edges", quads + square("a", A), {1, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"two squares sharing an edge", quads + square("a", A) + square("b", B),
       {2, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 2}},
      {"a flipped neighbour", quads + square("a", A) + square("b", B_FLIPPED),
       {2, 0, 6, 0, 1, 0, 0, 0, 0, 0, 0, 2}},
      {"a neighbour folded back by 174 degrees", quads + square("a", A) + square("b", B_FOLDED),
       {2, 0, 6, 0, 0, 1, 0, 0, 0, 0, 0, 2}},
      {"three squares on one edge", quads + square("a", A) + square("b", B) + square("c", "1 0 0  1 1 0  1 1 1  1 0 1"),
       {3, 0, 9, 1, 0, 0, 0, 0, 0, 0, 0, 4}},
      {"a corner lifted by one: warped", quads + square("w", "0 0 0  1 0 0  1 1 1  0 1 0"),
       {1, 0, 4, 0, 0, 0, 1, 0, 0, 0, 0, 0}},
      {"a corner lifted by 0.1: within the warp angle", quads + square("w", "0 0 0  1 0 0  1 1 0.1  0 1 0"),
       {1, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"a stiffener's foot between the skin's nodes", quads + "plate skin 4 1 " + SKIN + "\n" + STIFFENER,
       {4, 0, 10, 0, 0, 0, 0, 1, 0, 0, 0, 0}},
      {"a stiffener's foot inside a skin element, and a bar of the skin's plane across it",
       quads + "plate skin 4 1 " + SKIN + "\nline stiff 1  1.5 0.5 5  1.5 0.5 6\nline bar 1  0.5 0.5 5  1.5 1.5 5\n",
       {4, 0, 10, 0, 0, 0, 0, 3, 0, 0, 0, 0}},
      {"a stiffener on a skin node is merged", quads + "plate skin 4 1 " + SKIN + "\nline stiff 1  1 0 5  1 0 6\n",
       {4, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
      {"a corner given twice: collapsed by design", quads + square("a", "0 0 0  1 0 0  1 1 0  1 1 0"),
       {0, 1, 3, 0, 0, 0, 0, 0, 0, 1, 0, 1}},
      {"corners joined by the tolerance: collapsed by merging",
       quads + "set ptolerance 0.01\n" + square("a", "0 0 0  1 0 0  1 1 0  1.001 1 0"),
       {0, 1, 3, 0, 0, 0, 0, 0, 1, 0, 0, 1}},
      {"a 2:4 transition collapses its cells by design", quads + "plate t 2:4 1  0 0 0  1 0 0  1 1 0  0 1 0\n",
       {2, 2, 8, 0, 0, 0, 0, 0, 0, 2, 0, 2}},
      {"a near miss under a tolerance",
       quads + "set tolerance 1e-7\n" + square("a", A) + square("b", "1.0000005 0 0  2 0 0  2 1 0  1.0000005 1 0"),
       {2, 0, 8, 0, 0, 0, 0, 0, 0, 0, 2, 0}},
      {"the closed box", "include " PELGROVE_SOURCE_DIR "/examples/box.vmf\n",
       {384, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(build(c.script));
    const MeshCheck m = check_mesh();
    long merged = 0;
    for (const auto& [pair, n] : m.merged) merged += n;
    EXPECT_EQ((std::vector<long>{m.total.quads, m.total.triangles, m.free_edges, m.nonmanifold_edges,
                                 m.flipped_edges, m.folds, m.warps, m.t_joints, m.collapsed, m.designed,
                                 m.near_misses, merged}),
              c.counts);
    EXPECT_GE(m.near_threshold, 1e-9 * std::sqrt(2.0));  // reported even for one part
    EXPECT_TRUE(alerts().empty());
  }
}

// The same triangles, a flat pair and a tilted pair, at every magnitude a double holds:
// angles, areas and distances do not overflow or vanish.
TEST_F(MeshCheckTest, GeometryHoldsAtEveryScale) {
  for (const char* s : {"1e-300", "1e-150", "1", "1e80", "1e160", "1e300"}) {
    SCOPED_TRACE(s);
    const std::string x = s, y = std::string("[2*") + s + "]";
    ASSERT_TRUE(build("set element_type tri0\nplate p 1 1  0 0 0  " + x + " 0 0  " + x + " " + x + " 0  0 " +
                      x + " 0\nplate w 1 1  0 0 " + y + "  " + x + " 0 " + y + "  " + x + " " + x + " [3*" +
                      s + "]  0 " + x + " " + y + "\n"));
    const MeshCheck m = check_mesh();
    EXPECT_NEAR(m.min_angle_deg, std::atan(1 / std::sqrt(2.0)) * 180 / M_PI, 1e-9);  // in the tilted pair
    EXPECT_EQ(m.zero_area, 0);
    EXPECT_EQ(m.folds, 0);
    EXPECT_NEAR(m.near_threshold / std::stod(s), 1e-9 * std::sqrt(11.0), 1e-15);  // the box is 1 x 1 x 3
  }
}

// A point with a NaN coordinate (which no builder makes) is counted and kept out of the
// geometry.
TEST_F(MeshCheckTest, NonFinitePointsAreCounted) {
  ASSERT_TRUE(build("plate a 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n"));
  Grid_MxN* g = new Grid_MxN("bad", 1, 1);
  const double corners[4][3] = {{2, 0, 0}, {3, 0, 0}, {2, NAN, 0}, {2, 1, INFINITY}};
  for (int k = 0; k < 4; ++k) g->mPts[k] = GridPt{corners[k][0], corners[k][1], corners[k][2]};
  merge_grid_pts();
  renumber_grid_pts();
  const MeshCheck m = check_mesh();
  EXPECT_EQ(m.non_finite.count, 2);
  EXPECT_EQ(m.hi[0], 3);  // the box of the finite points
  EXPECT_EQ(check_kind_count(m, CheckKind::NON_FINITE), 2);
  const std::string text = mesh_check_text(m);
  EXPECT_TRUE(contains(text, "non-finite points: 2\n  point 7 of part 'bad' at 2 nan 0\n")) << text;
  EXPECT_TRUE(contains(mesh_check_json(m), "\"non_finite\":{\"count\":2,\"examples\":[{\"point\":7,\"part\":"
                                           "{\"name\":\"bad\",\"place\":\"\"},\"at\":[2,null,0]}"));
}

TEST_F(MeshCheckTest, ReportNamesWhereAndWhat) {
  const std::string included = make_temp_dir() + "/parts.vmf";
  write_file(included, "# a part\n" + square("inc", "0 0 3  1 0 3  1 1 3  0 1 3"));
  ASSERT_TRUE(build("set element_type quads\nset tolerance 1e-7\n" + square("left", A) +
                    square("right", "1.0000005 0 0  2 0 0  2 1 0  1.0000005 1 0") +
                    square("skew", "0 0 1  10 0 1  10 0.1 1  0 0.1 1") +
                    "include " + included + "\n" +
                    "define nozzle 0 {\n  plate 1 1  0 0 2  1 0 2  1 1 2  0 1 2\n}\nbegin n nozzle\n"));
  const MeshCheck m = check_mesh();
  const std::string report = mesh_check_text(m);
  for (const char* line :
       {"points 2 ('left' made at test.vmf:3) and 5 ('right' made at test.vmf:4) at 1 0 0, 5e-07 apart",
        "largest aspect ratio: 100 at element 3 (element 1 of part 'skew' made at test.vmf:5)",
        "smallest angle: 90 degrees",
        "  part 'n' made at test.vmf:10 (in 'nozzle' at test.vmf:8): 1 elements"})
    EXPECT_TRUE(contains(report, line)) << line << "\n" << report;
  EXPECT_TRUE(contains(report, "  part 'inc' made at test.vmf:6 (in " + included + ":2): 1 elements")) << report;
  const std::string json = mesh_check_json(m);
  EXPECT_TRUE(contains(json, "\"near_misses\":{\"count\":2,\"threshold\":1e-06,")) << json;
  EXPECT_TRUE(contains(json, "\"bounding_box\":{\"min\":[0,0,0],\"max\":[10,1,3]}")) << json;
}

}  // namespace
