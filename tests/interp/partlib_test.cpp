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
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kPartsFile = std::string(PELGROVE_SOURCE_DIR) + "/share/etc/pelgrove/10-parts.vmf";
const double kPi = 3.141592653589793;

// What the merged mesh of all parts looks like, over effective point identities.
struct MeshCheck {
  long points = 0;          // Grid::grid_point_count()
  long faces = 0;           // surface elements left after merge reduction
  long bars = 0;
  long edges = 0;           // distinct edges of the surface elements
  long boundary_edges = 0;  // used by one surface element
  long bad_edges = 0;       // used by more than two, or twice in the same direction
  long face_vertices = 0;   // distinct points used by surface elements
  GridPt lo, hi;            // bounds of the representatives
  double volume = 0;        // sum of a.(b x c)/6 over the surface triangles
  double area_z = 0;        // z component of the summed area vectors
  double flux_xy = 0;       // flux of the field (x, y, 0) through the surface
  std::map<const GridPt*, int> bar_ends;  // how many bars meet at each point

  long euler() const { return face_vertices - edges + faces; }
};

struct Vec {
  double x, y, z;
};
Vec sub(const GridPt& a, const GridPt& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec cross(const Vec& a, const Vec& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

void add_triangle(MeshCheck& m, const GridPt& a, const GridPt& b, const GridPt& c) {
  Vec area = cross(sub(b, a), sub(c, a));  // twice the area vector
  m.volume += (a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x)) / 6;
  m.area_z += area.z / 2;
  double cx = (a.x + b.x + c.x) / 3, cy = (a.y + b.y + c.y) / 3;
  m.flux_xy += (cx * area.x + cy * area.y) / 2;
}

MeshCheck check_mesh() {
  MeshCheck m;
  m.points = Grid::grid_point_count();
  bool first = true;
  for (Grid* g : Grid::gGrids) {
    for (const GridPt& p : g->mPts) {
      if (p.mapped_to) continue;
      if (first) m.lo = m.hi = p;
      first = false;
      m.lo.x = std::min(m.lo.x, p.x), m.lo.y = std::min(m.lo.y, p.y), m.lo.z = std::min(m.lo.z, p.z);
      m.hi.x = std::max(m.hi.x, p.x), m.hi.y = std::max(m.hi.y, p.y), m.hi.z = std::max(m.hi.z, p.z);
    }
  }

  std::map<std::pair<const GridPt*, const GridPt*>, int> directed;
  std::set<const GridPt*> used;
  for (Grid* g : Grid::gGrids) {
    for (int i = 0; i < g->num_elements(); ++i) {
      long idx[4];
      int n = g->element(i, idx);
      if (n < 2) continue;
      const GridPt* p[4];
      for (int k = 0; k < n; ++k) p[k] = &effective(g->point((int)idx[k]));
      if (n == 2) {
        ++m.bars;
        ++m.bar_ends[p[0]];
        ++m.bar_ends[p[1]];
        continue;
      }
      ++m.faces;
      for (int k = 0; k < n; ++k) {
        used.insert(p[k]);
        ++directed[{p[k], p[(k + 1) % n]}];
      }
      for (int k = 1; k + 1 < n; ++k) add_triangle(m, *p[0], *p[k], *p[k + 1]);
    }
  }
  m.face_vertices = (long)used.size();
  std::set<std::pair<const GridPt*, const GridPt*>> seen;
  for (const auto& [edge, count] : directed) {
    auto key = std::minmax(edge.first, edge.second);
    if (!seen.insert(key).second) continue;
    ++m.edges;
    auto back = directed.find({edge.second, edge.first});
    int forward = count, backward = back == directed.end() ? 0 : back->second;
    if (forward + backward == 1) ++m.boundary_edges;
    else if (forward != 1 || backward != 1) ++m.bad_edges;
  }
  return m;
}

class PartLibrary : public ScriptTest {
protected:
  // Library definitions live for the process; each case leaves them as it found them.
  void SetUp() override {
    ScriptTest::SetUp();
    mLibraries = gLibraries, mArgs = gLibraries_args, mOrigin = gLibraries_origin;
    ASSERT_TRUE(include_file(kPartsFile));
    ASSERT_TRUE(alerts().empty());
  }
  void TearDown() override {
    gLibraries = mLibraries, gLibraries_args = mArgs, gLibraries_origin = mOrigin;
    ScriptTest::TearDown();
  }
  // A whole run, merged and numbered, as the program makes it.
  bool build(const std::string& script) {
    std::string text = script;
    return start_script(text, "parts.vmf");
  }
  void expect_bounds(const MeshCheck& m, const Vec& lo, const Vec& hi) {
    const double eps = 1e-9 * (1 + std::fabs(hi.x - lo.x) + std::fabs(hi.y - lo.y) + std::fabs(hi.z - lo.z));
    EXPECT_NEAR(m.lo.x, lo.x, eps);
    EXPECT_NEAR(m.lo.y, lo.y, eps);
    EXPECT_NEAR(m.lo.z, lo.z, eps);
    EXPECT_NEAR(m.hi.x, hi.x, eps);
    EXPECT_NEAR(m.hi.y, hi.y, eps);
    EXPECT_NEAR(m.hi.z, hi.z, eps);
  }

private:
  std::map<std::string, std::string> mLibraries;
  std::map<std::string, int> mArgs;
  std::map<std::string, MessageLocation> mOrigin;
};

// Area of the regular n-gon inscribed in a circle of radius r.
double polygon_area(int n, double r) { return n / 2.0 * r * r * std::sin(2 * kPi / n); }

struct ClosedRow {
  const char* id;
  const char* script;
  long points;
  int euler;  // 2 for a sphere-like surface, 0 for a torus
  Vec lo, hi;
  double volume_min, volume_max;
};

TEST_F(PartLibrary, ClosedPartsAreWatertightAndOutwardFacing) {
  const double octagon = polygon_area(8, 1);
  const ClosedRow rows[] = {
      {"box", "box 2 1 0.5 4", 6 * 16 + 2, 2, {0, 0, 0}, {2, 1, 0.5}, 1, 1},
      {"box in millimetres", "set units 1000 box 1 1 1 2", 26, 2, {0, 0, 0}, {1000, 1000, 1000}, 1e9, 1e9},
      {"cube of one cell", "box 1 1 1 1", 8, 2, {0, 0, 0}, {1, 1, 1}, 1, 1},
      // wall 8 x 4 rows, each cap 8 more points and its centre
      {"tube", "tube 1 2 2 8 3", 8 * 4 + 2 * 9, 2, {-1, -1, 0}, {1, 1, 2}, 2 * octagon, 2 * octagon},
      {"frustum", "frustum 1 0.5 1 2 8 2", 8 * 3 + 2 * 9, 2, {-1, -1, 0}, {1, 1, 1},
       (octagon + octagon / 4 + octagon / 2) / 3, (octagon + octagon / 4 + octagon / 2) / 3},
      // wall 8 x 3 rows and the apex, base 8 more points and its centre
      {"cone", "cone 1 2 2 8 3", 8 * 3 + 1 + 9, 2, {-1, -1, 0}, {1, 1, 2}, octagon * 2 / 3, octagon * 2 / 3},
      {"ball", "ball 1 6 8", 5 * 8 + 2, 2, {-1, -1, -1}, {1, 1, 1}, 0.6 * 4 * kPi / 3, 4 * kPi / 3},
      {"torus", "torus 3 1 12 8", 12 * 8, 0, {-4, -4, -1}, {4, 4, 1}, 0.75 * 2 * kPi * kPi * 3, 2 * kPi * kPi * 3},
  };
  for (const char* element_type : {"quads", "tri_uni", "tri_best"}) {
    for (const auto& row : rows) {
      SCOPED_TRACE(std::string(row.id) + " with " + element_type);
      sink.clear();
      ASSERT_TRUE(build(std::string("set element_type ") + element_type + "\n" + row.script));
      EXPECT_TRUE(sink.entries.empty());
      MeshCheck m = check_mesh();
      EXPECT_EQ(m.points, row.points);
      EXPECT_EQ(m.face_vertices, row.points) << "every point belongs to the surface";
      EXPECT_EQ(m.boundary_edges, 0);
      EXPECT_EQ(m.bad_edges, 0) << "each edge is shared by two elements in opposite directions";
      EXPECT_EQ(m.euler(), row.euler);
      expect_bounds(m, row.lo, row.hi);
      const double eps = 1e-9 * row.volume_max;
      EXPECT_GE(m.volume, row.volume_min - eps) << "outward normals enclose a positive volume";
      EXPECT_LE(m.volume, row.volume_max + eps);
    }
  }
}

struct OpenRow {
  const char* id;
  const char* script;
  long points;
  long boundary_edges;
  int euler;  // 1 for a disk, 0 for an annulus or an open tube
  Vec lo, hi;
  double area_z, flux_xy;
};

TEST_F(PartLibrary, OpenPartsAreConformingWithTheirBoundaryOnTheirRims) {
  const OpenRow rows[] = {
      {"disk", "disk 1 3 12", 12 * 3 + 1, 12, 1, {-1, -1, 0}, {1, 1, 0}, polygon_area(12, 1), 0},
      {"annulus", "annulus 0.5 1 2 16", 16 * 3, 32, 0, {-1, -1, 0}, {1, 1, 0},
       polygon_area(16, 1) - polygon_area(16, 0.5), 0},
      // Across the duct the rows have 2, 3 and 4 cells: 3 + 4 + 5 points on each of the
      // four sides, less the 3 points of each of the four shared corner lines.
      {"duct with transition", "duct 2 1 3 2 4 2", 4 * 12 - 4 * 3, 4 * 2 + 4 * 4, 0, {0, 0, 0}, {2, 1, 3}, 0,
       2 * (2 * 1 * 3)},
      {"duct without transition", "duct 1 1 1 3 3 2", 4 * 3 * 3, 4 * 3 * 2, 0, {0, 0, 0}, {1, 1, 1}, 0, 2},
  };
  for (const char* element_type : {"quads", "tri_alt"}) {
    for (const auto& row : rows) {
      SCOPED_TRACE(std::string(row.id) + " with " + element_type);
      sink.clear();
      ASSERT_TRUE(build(std::string("set element_type ") + element_type + "\n" + row.script));
      EXPECT_TRUE(sink.entries.empty());
      MeshCheck m = check_mesh();
      EXPECT_EQ(m.points, row.points);
      EXPECT_EQ(m.face_vertices, row.points);
      EXPECT_EQ(m.boundary_edges, row.boundary_edges);
      EXPECT_EQ(m.bad_edges, 0);
      EXPECT_EQ(m.euler(), row.euler);
      expect_bounds(m, row.lo, row.hi);
      EXPECT_NEAR(m.area_z, row.area_z, 1e-9) << "faces +z";
      EXPECT_NEAR(m.flux_xy, row.flux_xy, 1e-9) << "sides face outward";
    }
  }
}

TEST_F(PartLibrary, CircleIsAClosedChainOfBars) {
  ASSERT_TRUE(build("circle 2 16"));
  MeshCheck m = check_mesh();
  EXPECT_EQ(m.bars, 16);
  EXPECT_EQ(m.points, 16);
  ASSERT_EQ(m.bar_ends.size(), 16u);
  for (const auto& [point, ends] : m.bar_ends) EXPECT_EQ(ends, 2);
  expect_bounds(m, {-2, -2, 0}, {2, 2, 0});
}

TEST_F(PartLibrary, PartsArePlacedByTheCurrentFrame) {
  // rz 90 acts first, then the move: x in [0, 1], y in [0, 2] turns to x in [-2, 0], y in [0, 1].
  ASSERT_TRUE(build("mx 10 rz 90 box 1 2 3 1"));
  MeshCheck m = check_mesh();
  EXPECT_EQ(m.boundary_edges, 0);
  expect_bounds(m, {8, 0, 0}, {10, 1, 3});
  EXPECT_NEAR(m.volume, 6, 1e-9);
}

TEST_F(PartLibrary, PartsLeaveNoStateBehind) {
  ASSERT_TRUE(run("mx 1 begin crate"));
  const auto before = gParameters;
  const std::string transformation = gTransformation;
  ASSERT_TRUE(run("box 1 1 1 2 torus 3 1 6 4 frustum 1 0 1 1 6 1"));
  auto after = gParameters;
  // Arguments stay bound, and the pass number "0" of the loops inside is left at 0.
  for (const char* arg : {"0", "1", "2", "3", "4", "5", "6"}) after.erase(arg);
  EXPECT_EQ(after, before);
  EXPECT_EQ(gTransformation, transformation);
  EXPECT_TRUE(var_stack.empty());
  EXPECT_EQ(part_name, "crate");
  for (Grid* g : Grid::gGrids) {
    EXPECT_GT(g->ptolerance(), 0) << g->name() << ": raised while it was built";
    EXPECT_LT(g->tolerance(), 1e-6) << g->name();
  }

  reset_script_state();
  ASSERT_TRUE(run("set tolerance 0.25 box 1 1 1 1"));
  for (Grid* g : Grid::gGrids) EXPECT_EQ(g->tolerance(), 0.25) << g->name() << ": a larger one is kept";
}

TEST_F(PartLibrary, PiecesAreNamedUnderTheEnclosingName) {
  ASSERT_TRUE(build("begin crate box 1 1 1 1 begin pipe tube 1 1 1 4 1"));
  std::vector<std::string> names;
  for (Grid* g : Grid::gGrids) names.push_back(g->name());
  EXPECT_EQ(names, (std::vector<std::string>{"crate.bottom", "crate.top", "crate.front", "crate.back",
                                             "crate.left", "crate.right", "pipe.wall", "pipe.bottom",
                                             "pipe.top"}));
}

TEST_F(PartLibrary, EveryPartDocumentsItsArguments) {
  const char* parts[] = {"box", "disk", "annulus", "frustum", "cone", "tube", "ball", "torus", "duct", "circle"};
  for (const char* part : parts) {
    SCOPED_TRACE(part);
    ASSERT_TRUE(is_library_function(part));
    EXPECT_EQ(gLibraries[std::string(part) + "_doc"].rfind(std::string(" ") + part + " <", 0), 0u);
    EXPECT_GT(gLibraries_args[part], 0);
  }
}

TEST_F(PartLibrary, LoadingTheLibrarySetsNoParameters) {
  const auto before = gParameters;
  ASSERT_TRUE(include_file(kPartsFile));
  EXPECT_EQ(gParameters, before);
}

}  // namespace
