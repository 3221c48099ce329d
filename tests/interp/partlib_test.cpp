// The standard part library: every part is built through a script and its merged mesh
// is checked for watertightness, topology, point count, extent and orientation.
#include "support/test_support.h"

#include "grid/Grid.h"
#include "interp/interp.h"
#include "interp/library.h"
#include "interp/params.h"
#include "interp/placement.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kPartsFile = std::string(PELGROVE_SOURCE_DIR) + "/share/etc/pelgrove/10-parts.vmf";
const double kPi = 3.141592653589793;

struct Vec { double x, y, z; };
const double kInf = std::numeric_limits<double>::infinity();

// The merged mesh of all parts, over effective point identities.
struct MeshCheck {
  long points = 0, faces = 0, edges = 0, boundary_edges = 0, used = 0;  // used: points of any element
  long bad = 0;  // edges used by more than two elements or twice in one direction; open bar chains
  Vec lo{kInf, kInf, kInf}, hi{-kInf, -kInf, -kInf};
  // Signed volume of the cones from a point below the centre of the bounds: the volume of a
  // closed surface; A/3 for a flat surface of area A facing +z; 2/3 of the enclosed volume for
  // an open duct along z whose walls face outward.
  double volume = 0;
};

MeshCheck check_mesh() {
  MeshCheck m;
  m.points = Grid::grid_point_count();
  for (Grid* g : Grid::gGrids)
    for (const GridPt& p : g->mPts) {
      if (p.mapped_to) continue;
      m.lo = {std::min(m.lo.x, p.x), std::min(m.lo.y, p.y), std::min(m.lo.z, p.z)};
      m.hi = {std::max(m.hi.x, p.x), std::max(m.hi.y, p.y), std::max(m.hi.z, p.z)};
    }
  const Vec o{(m.lo.x + m.hi.x) / 2, (m.lo.y + m.hi.y) / 2, m.lo.z - 1};
  std::map<std::pair<const GridPt*, const GridPt*>, int> directed;
  std::map<const GridPt*, int> bar_ends;
  std::set<const GridPt*> used;
  for (Grid* g : Grid::gGrids)
    for (int i = 0; i < g->num_elements(); ++i) {
      long idx[4];
      int n = g->element(i, idx);
      if (n < 2) continue;
      const GridPt* p[4];
      for (int k = 0; k < n; ++k) used.insert(p[k] = &effective(g->point((int)idx[k])));
      if (n == 2) {
        ++bar_ends[p[0]], ++bar_ends[p[1]], ++m.edges;
        continue;
      }
      ++m.faces;
      for (int k = 0; k < n; ++k) ++directed[{p[k], p[(k + 1) % n]}];
      for (int k = 1; k + 1 < n; ++k) {
        Vec a{p[0]->x - o.x, p[0]->y - o.y, p[0]->z - o.z}, b{p[k]->x - o.x, p[k]->y - o.y, p[k]->z - o.z},
            c{p[k + 1]->x - o.x, p[k + 1]->y - o.y, p[k + 1]->z - o.z};
        m.volume += (a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x)) / 6;
      }
    }
  m.used = (long)used.size();
  for (const auto& [point, ends] : bar_ends) m.bad += ends != 2;
  for (const auto& [edge, count] : directed) {
    auto back = directed.find({edge.second, edge.first});
    int backward = back == directed.end() ? 0 : back->second;
    if (back != directed.end() && edge.second < edge.first) continue;  // counted from the other side
    ++m.edges;
    if (count + backward == 1) ++m.boundary_edges;
    else if (count != 1 || backward != 1) ++m.bad;
  }
  return m;
}

class PartLibrary : public ScriptTest {
protected:
  // Library definitions live for the process; each case leaves them as it found them.
  void SetUp() override {
    ScriptTest::SetUp();
    mLibraries = gLibraries, mArgs = gLibraries_args, mOrigin = gLibraries_origin;
    const auto before = gParameters;
    ASSERT_TRUE(include_file(kPartsFile));
    ASSERT_TRUE(alerts().empty());
    ASSERT_EQ(gParameters, before) << "loading the library sets no parameters";
  }
  void TearDown() override {
    gLibraries = mLibraries, gLibraries_args = mArgs, gLibraries_origin = mOrigin;
    ScriptTest::TearDown();
  }

private:
  std::map<std::string, std::string> mLibraries;
  std::map<std::string, int> mArgs;
  std::map<std::string, MessageLocation> mOrigin;
};

// Area of the regular n-gon inscribed in a circle of radius r.
double polygon_area(int n, double r) { return n / 2.0 * r * r * std::sin(2 * kPi / n); }

// euler: 2 for a sphere-like surface, 1 for a disk, 0 for a torus, an annulus, an open tube or a closed chain
struct PartRow {
  const char *id, *script;
  long points, boundary_edges;
  int euler;
  Vec lo, hi;
  double volume_min, volume_max;
};

TEST_F(PartLibrary, PartsAreConformingWithTheirExtentAndOrientation) {
  const double oct = polygon_area(8, 1), dodecagon = polygon_area(12, 1);
  const double ring = polygon_area(16, 1) - polygon_area(16, 0.5);
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
      {"ball", "ball 1 6 8", 5 * 8 + 2, 0, 2, {-1, -1, -1}, {1, 1, 1}, 0.6 * 4 * kPi / 3, 4 * kPi / 3},
      {"torus", "torus 3 1 12 8", 12 * 8, 0, 0, {-4, -4, -1}, {4, 4, 1}, 0.75 * 6 * kPi * kPi, 6 * kPi * kPi},
      {"disk", "disk 1 3 12", 12 * 3 + 1, 12, 1, {-1, -1, 0}, {1, 1, 0}, dodecagon / 3, dodecagon / 3},
      {"annulus", "annulus 0.5 1 2 16", 16 * 3, 32, 0, {-1, -1, 0}, {1, 1, 0}, ring / 3, ring / 3},
      // Across the duct the rows have 2, 3 and 4 cells: 3 + 4 + 5 points on each of the
      // four sides, less the 3 points of each of the four shared corner lines.
      {"duct with transition", "duct 2 1 3 2 4 2", 4 * 12 - 4 * 3, 4 * 2 + 4 * 4, 0, {0, 0, 0}, {2, 1, 3}, 4, 4},
      {"duct without transition", "duct 1 1 1 3 3 2", 4 * 3 * 3, 4 * 3 * 2, 0, {0, 0, 0}, {1, 1, 1}, 2. / 3, 2. / 3},
      {"circle: a closed chain of bars", "circle 2 16", 16, 0, 0, {-2, -2, 0}, {2, 2, 0}, 0, 0},
  };
  for (const char* element_type : {"quads", "tri_uni", "tri_best", "tri_alt"}) {
    for (const auto& row : rows) {
      SCOPED_TRACE(std::string(row.id) + " with " + element_type);
      sink.clear();
      std::string script = std::string("set element_type ") + element_type + "\n" + row.script;
      ASSERT_TRUE(start_script(script, "parts.vmf"));  // a whole run, merged and numbered
      EXPECT_TRUE(sink.entries.empty());
      MeshCheck m = check_mesh();
      EXPECT_EQ(m.points, row.points);
      EXPECT_EQ(m.used, row.points) << "every point belongs to an element";
      EXPECT_EQ(m.boundary_edges, row.boundary_edges);
      EXPECT_EQ(m.bad, 0) << "each inner edge is shared by two elements in opposite directions";
      EXPECT_EQ(m.used - m.edges + m.faces, row.euler);
      const double eps = 1e-9 * (1 + row.hi.x - row.lo.x + row.hi.y - row.lo.y + row.hi.z - row.lo.z);
      for (auto [got, want] : {std::pair{m.lo.x, row.lo.x}, {m.lo.y, row.lo.y}, {m.lo.z, row.lo.z},
                               {m.hi.x, row.hi.x}, {m.hi.y, row.hi.y}, {m.hi.z, row.hi.z}})
        EXPECT_NEAR(got, want, eps);
      EXPECT_GE(m.volume, row.volume_min - 1e-9 * (1 + row.volume_max)) << "elements face outward";
      EXPECT_LE(m.volume, row.volume_max + 1e-9 * (1 + row.volume_max));
    }
  }
}

TEST_F(PartLibrary, PartsNameTheirPiecesAndLeaveNoStateBehind) {
  ASSERT_TRUE(run("mx 1 begin crate"));
  const auto before = gParameters;
  const std::string transformation = gTransformation;
  ASSERT_TRUE(run("box 1 1 1 2 torus 3 1 6 4 frustum 1 0 1 1 6 1 begin pipe tube 1 1 1 4 1"));
  auto after = gParameters;
  // Arguments stay bound, and the pass number "0" of the loops inside is left at 0.
  for (const char* arg : {"0", "1", "2", "3", "4", "5", "6"}) after.erase(arg);
  EXPECT_EQ(after, before);
  EXPECT_EQ(gTransformation, transformation);
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
