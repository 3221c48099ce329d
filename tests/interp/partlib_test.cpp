// The standard part library: every part is built through a script and its merged mesh
// is checked for watertightness, topology, point count, extent and orientation.
#include "grid/Grid.h"
#include "grid/part_names.h"
#include "interp/placement.h"
#include "merge/mesh_check.h"
#include "support/script_runner.h"

namespace {

const std::string kPartsFile = std::string(PELGROVE_SOURCE_DIR) + "/share/etc/pelgrove/10-parts.vmf";

// Signed volume of the cones from a point below the centre of the bounds: the volume of a
// closed surface; A/3 for a flat surface of area A facing +z; 2/3 of the enclosed volume for an
// open duct along z whose walls face outward.
double cone_volume(const MeshCheck& m) {
  const double o[3] = {(m.lo[0] + m.hi[0]) / 2, (m.lo[1] + m.hi[1]) / 2, m.lo[2] - 1};
  double volume = 0;
  for (Grid* g : Grid::gGrids)
    for (int i = 0; i < g->num_elements(); ++i) {
      GridPt p[4];
      const int n = g->element(i, p);
      for (GridPt& q : p) q.x -= o[0], q.y -= o[1], q.z -= o[2];
      for (int k = 1; k + 1 < n; ++k) {
        const GridPt &a = p[0], &b = p[k], &c = p[k + 1];
        volume += (a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x)) / 6;
      }
    }
  return volume;
}

class PartLibrary : public ScriptRuns {
protected:
  void SetUp() override {
    ScriptRuns::SetUp();
    const auto before = gParameters;
    ASSERT_TRUE(include_file(kPartsFile));
    ASSERT_TRUE(alerts().empty());
    ASSERT_EQ(gParameters, before) << "loading the library sets no parameters";
  }
};

// Area of the regular n-gon inscribed in a circle of radius r.
double polygon_area(int n, double r) { return n / 2.0 * r * r * std::sin(2 * M_PI / n); }

// A tube wall of radius 1 and height 2 closed by two hemispheres.
const char* const kCapsule =
    "set tolerance 1e-9 set ptolerance 1e-9\n"
    "begin wall cylinder 12 3  1 0 0  1 360 0  1 360 2  1 0 2\n"
    "push_matrix mz 2 dome 1 90 4 12 pop_matrix  rx 180 dome 1 90 4 12\n";
// A pipe of radius 0.5 with a bend of radius 2 through 90 degrees, capped at both ends.
const char* const kPipeBend =
    "set tolerance 1e-9 set ptolerance 1e-9\n"
    "begin pipe cylinder 12 2  0.5 0 -1  0.5 360 -1  0.5 360 0  0.5 0 0\n"
    "push_matrix mz -1 rx 180 disk 0.5 2 12 pop_matrix\n"
    "elbow 2 0.5 90 6 12\n"
    "move 2 0 2 ry 90 cylinder 12 2  0.5 0 0  0.5 360 0  0.5 360 1  0.5 0 1\n"
    "mz 1 disk 0.5 2 12\n";
// A drum of radius 1 from z = -1 to 1 with a blind nozzle: the shell around a window of
// +-22.5 degrees and +-0.4 in z, at the window's lattice steps (7.5 degrees, 0.4/3).
const char* const kVessel =
    "set tolerance 1e-9 set ptolerance 1e-9\n"
    "begin shell cylinder 48 4  1 0 -1  1 360 -1  1 360 -0.4  1 0 -0.4\n"
    "cylinder 48 4  1 0 0.4  1 360 0.4  1 360 1  1 0 1\n"
    "cylinder 42 6  1 22.5 -0.4  1 337.5 -0.4  1 337.5 0.4  1 22.5 0.4\n"
    "nozzle 1 0.2 0.4 22.5 0.4 6 3 3\n"
    "push_matrix mx 1.4 ry 90 rz 45 disk 0.2 2 24 pop_matrix\n"
    "push_matrix mz 1 disk 1 4 48 pop_matrix  mz -1 rx 180 disk 1 4 48\n";

// euler: 2 for a sphere-like surface, 1 for a disk, 0 for a torus, an annulus, an open tube or a closed chain
struct PartRow {
  const char *id, *script;
  long points, boundary_edges;
  int euler;
  double lo[3], hi[3];
  double volume_min, volume_max;
};

TEST_F(PartLibrary, PartsAreConformingWithTheirExtentAndOrientation) {
  const double oct = polygon_area(8, 1), dodecagon = polygon_area(12, 1);
  const double ring = polygon_area(16, 1) - polygon_area(16, 0.5);
  const double s3 = std::sqrt(3.0), pipe = polygon_area(12, 0.5), shell = polygon_area(48, 1);
  const PartRow rows[] = {
      {"box", "box 2 1 0.5 4", 6 * 16 + 2, 0, 2, {0, 0, 0}, {2, 1, 0.5}, 1, 1},
      {"box in millimetres", "set units 1000 box 1 1 1 2", 26, 0, 2, {0, 0, 0}, {1000, 1000, 1000}, 1e9, 1e9},
      {"cube of one cell", "box 1 1 1 1", 8, 0, 2, {0, 0, 0}, {1, 1, 1}, 1, 1},
      // rz 90 acts first, then the move: x in [0, 1], y in [0, 2] turns to x in [-2, 0], y in [0, 1]
      {"box placed by the frame", "mx 10 rz 90 box 1 2 3 1", 8, 0, 2, {8, 0, 0}, {10, 1, 3}, 6, 6},
      // wall 8 x 4 rows, each cap 8 more points and its centre
      {"tube", "tube 1 2 2 8 3", 8 * 4 + 2 * 9, 0, 2, {-1, -1, 0}, {1, 1, 2}, 2 * oct, 2 * oct},
      {"frustum", "frustum 1 0.5 1 2 8 2", 8 * 3 + 2 * 9, 0, 2, {-1, -1, 0}, {1, 1, 1}, 7 * oct / 12, 7 * oct / 12},
      // wall 8 x 3 rows and the apex, base 8 more points and its centre
      {"cone", "cone 1 2 2 8 3", 8 * 3 + 1 + 9, 0, 2, {-1, -1, 0}, {1, 1, 2}, oct * 2 / 3, oct * 2 / 3},
      {"ball", "ball 1 6 8", 5 * 8 + 2, 0, 2, {-1, -1, -1}, {1, 1, 1}, 0.6 * 4 * M_PI / 3, 4 * M_PI / 3},
      {"torus", "torus 3 1 12 8", 12 * 8, 0, 0, {-4, -4, -1}, {4, 4, 1}, 0.75 * 6 * M_PI * M_PI, 6 * M_PI * M_PI},
      {"disk", "disk 1 3 12", 12 * 3 + 1, 12, 1, {-1, -1, 0}, {1, 1, 0}, dodecagon / 3, dodecagon / 3},
      {"annulus", "annulus 0.5 1 2 16", 16 * 3, 32, 0, {-1, -1, 0}, {1, 1, 0}, ring / 3, ring / 3},
      // Across the duct the rows have 2, 3 and 4 cells: 3 + 4 + 5 points on each of the
      // four sides, less the 3 points of each of the four shared corner lines.
      {"duct with transition", "duct 2 1 3 2 4 2", 4 * 12 - 4 * 3, 4 * 2 + 4 * 4, 0, {0, 0, 0}, {2, 1, 3}, 4, 4},
      {"duct without transition", "duct 1 1 1 3 3 2", 4 * 3 * 3, 4 * 3 * 2, 0, {0, 0, 0}, {1, 1, 1}, 2. / 3, 2. / 3},
      {"circle: a closed chain of bars", "circle 2 16", 16, 0, 0, {-2, -2, 0}, {2, 2, 0}, 0, 0},
      // Open parts joined to tube walls of their divisions and closed, so that every rim is
      // shown to merge. The cap of height 1 on a sphere of radius 2 is closed by the cone to
      // the point below its rim's plane: the volume of the cap and a third of its rim's polygon.
      {"dome: a shallow cap", "dome 2 60 3 12", 12 * 3 + 1, 12, 1, {-s3, -s3, 1}, {s3, s3, 2},
       0.85 * 5 * M_PI / 3 + 3, 5 * M_PI / 3 + 3},
      {"dome: a whole sphere", "dome 1 180 6 8", 5 * 8 + 2, 0, 2, {-1, -1, -1}, {1, 1, 1}, 0.6 * 4 * M_PI / 3,
       4 * M_PI / 3},
      // wall 12 x 4 rows, each hemisphere 12 x 3 more rows and its pole
      {"dome: hemispheres closing a tube wall", kCapsule, 12 * 4 + 2 * 37, 0, 2, {-1, -1, -1}, {1, 1, 3},
       2 * dodecagon + 0.8 * 4 * M_PI / 3, 2 * dodecagon + 4 * M_PI / 3},
      // tube wall 12 x 3 rows, a cap of 12 + 1 points, the bend 6 more rows, the wall after
      // it 2 more rows and its cap; volume: two straight prisms and the bend's quarter torus
      {"elbow between tube walls", kPipeBend, 12 * 3 + 13 + 12 * 6 + 12 * 2 + 13, 0, 2, {-0.5, -0.5, -1}, {3, 0.5, 2.5},
       2 * pipe + 0.9 * pipe * M_PI, 2 * pipe + pipe * M_PI},
      // shell bands 2 x 48 x 5 and 43 x 5 points, the window's 3 rings and the pipe's 3 rows of
      // 24, its cap 24 + 1, the end disks 48 x 3 + 1 each
      {"nozzle in a capped shell", kVessel, 2 * 48 * 5 + 43 * 5 + 3 * 24 + 3 * 24 + 25 + 2 * 145, 0, 2,
       {-1, -1, -1}, {1.4, 1, 1}, 2 * shell, 2 * shell + M_PI * 0.2 * 0.2 * 0.45},
  };
  for (const char* element_type : {"quads", "tri_uni", "tri_best", "tri_alt"}) {
    for (const auto& row : rows) {
      SCOPED_TRACE(std::string(row.id) + " with " + element_type);
      sink.clear();
      std::string script = std::string("set element_type ") + element_type + "\n" + row.script;
      ASSERT_TRUE(start_script(script, "parts.vmf"));  // a whole run, merged and numbered
      EXPECT_TRUE(sink.entries.empty());
      const MeshCheck m = check_mesh();
      EXPECT_EQ(m.points, row.points);
      EXPECT_EQ(m.free_edges, row.boundary_edges);
      EXPECT_EQ(m.nonmanifold_edges + m.flipped_edges, 0) << "inner edges shared by two faces, opposite ways";
      const long faces = m.total.triangles + m.total.quads;
      const long edges = (3 * m.total.triangles + 4 * m.total.quads + m.free_edges) / 2 + m.total.bars;
      EXPECT_EQ(m.points - edges + faces, row.euler) << "and no point outside the elements";
      for (int a = 0; a < 3; ++a) {
        const double eps = 1e-9 * (1 + row.hi[0] - row.lo[0] + row.hi[1] - row.lo[1] + row.hi[2] - row.lo[2]);
        EXPECT_NEAR(m.lo[a], row.lo[a], eps);
        EXPECT_NEAR(m.hi[a], row.hi[a], eps);
      }
      const double volume = cone_volume(m);
      EXPECT_GE(volume, row.volume_min - 1e-9 * (1 + row.volume_max)) << "elements face outward";
      EXPECT_LE(volume, row.volume_max + 1e-9 * (1 + row.volume_max));
    }
  }
}

TEST_F(PartLibrary, PartsNameTheirPiecesAndLeaveNoStateBehind) {
  ASSERT_TRUE(run("mx 1 begin crate"));
  const auto before = gParameters;
  const std::string transformation = gTransformation.text();
  ASSERT_TRUE(run("box 1 1 1 2 torus 3 1 6 4 frustum 1 0 1 1 6 1 begin pipe tube 1 1 1 4 1"));
  auto after = gParameters;
  // Arguments stay bound, and the pass number "0" of the loops inside is left at 0.
  for (const char* arg : {"0", "1", "2", "3", "4", "5", "6"}) after.erase(arg);
  EXPECT_EQ(after, before);
  EXPECT_EQ(gTransformation.text(), transformation);
  EXPECT_TRUE(var_stack.empty());
  EXPECT_EQ(part_name, "pipe");
  std::string names;
  for (Grid* g : Grid::gGrids) {
    names += g->name() + " ";
    EXPECT_GT(g->ptolerance(), 0) << g->name() << ": raised while it was built";
    EXPECT_LT(g->tolerance(), 1e-6) << g->name();
  }
  EXPECT_EQ(names, "crate.bottom crate.top crate.front crate.back crate.left crate.right crate.band crate.band "
                   "crate.band crate.band crate.wall crate.bottom pipe.wall pipe.bottom pipe.top ");

  reset_script_state();
  ASSERT_TRUE(run("set tolerance 0.25 box 1 1 1 1"));
  for (Grid* g : Grid::gGrids) EXPECT_EQ(g->tolerance(), 0.25) << g->name() << ": a larger one is kept";
}

}  // namespace
