// Picking without a display: the element and point numbers against the writers' numbering,
// rays through pixels against the camera's projection, and the script line of a place.
#include "grid/Grid.h"
#include "meshio/flat_mesh.h"
#include "support/gl_support.h"
#include "support/test_support.h"
#include "ui/pick_info.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Pick : ScriptTest {};

}  // namespace

// Every written element found by its number has the points the writers give it, and its number
// back; every point number leads to its point. Merged, collapsed, deleted and bar parts mixed.
TEST_F(Pick, NumbersMatchTheWrittenMesh) {
  ASSERT_TRUE(build("set element_type quads\nplate a 2 2  0 0 0  1 0 0  1 1 0  0 1 0\n"
                    "plate z 2 2  5 5 5  5 5 5  5 5 5  5 5 5\n"  // every element collapses
                    "line l 3  0 0 0  0 0 3\nplate d 1 1  9 9 0  9 8 0  8 8 0  8 9 0\ndelete d\n"
                    "plate b 2 2  1 0 0  2 0 0  2 1 0  1 1 0\nplate w 2 2  3 0 0  4 0 0  4 0 0  3 1 0\n"));
  FlatMesh flat;
  ASSERT_TRUE(flatten_grids(flat));
  Pick_Index index;
  index.build(Grid::gGrids);
  ASSERT_EQ(index.elements(), flat.elements());
  ASSERT_EQ(index.points(), flat.points());
  for (long e = 1; e <= flat.elements(); ++e) {
    SCOPED_TRACE(e);
    int part, k;
    ASSERT_TRUE(index.find_element(e, part, k));
    EXPECT_EQ(index.element_number(part, k), e);
    const Element_Info info = element_info(index.grid(part), k, e);
    ASSERT_EQ(info.n, flat.count[e - 1]);
    for (int j = 0; j < info.n; ++j) EXPECT_EQ(info.ids[j], flat.element(e - 1)[j] + 1);
    EXPECT_EQ(info.part, flat.names[flat.group[e - 1]]);
  }
  for (long p = 1; p <= flat.points(); ++p) {
    int part, i;
    ASSERT_TRUE(index.find_point(p, part, i));
    const GridPt& pt = index.grid(part).mPts[i];
    EXPECT_EQ(pt.id, p);
    EXPECT_EQ(pt.x, flat.xyz[3 * (p - 1)]);
  }
  int part, k;
  for (long bad : {0L, -3L, flat.elements() + 1}) EXPECT_FALSE(index.find_element(bad, part, k)) << bad;
  for (long bad : {0L, flat.points() + 1}) EXPECT_FALSE(index.find_point(bad, part, k)) << bad;
  EXPECT_EQ(index.element_number(1, 0), 0);  // part z: not written
}

// A ray through a pixel meets the element that the camera draws under that pixel: the nearest
// one of the shown parts on the kept side of the clipping planes, or nothing.
TEST_F(Pick, RaysMeetWhatIsDrawnUnderThePixel) {
  const std::string two = "set element_type quads\nplate low 4 4  0 0 0  2 0 0  2 1 0  0 1 0\n"
                          "plate high 4 4  0 0 1  2 0 1  2 1 1  0 1 1\nline bar 4  3 0 1  3 1 1\n";
  const Gl_ClipInfo above{{0, 0, 1}, {0, 0, 0.5}};  // keeps z <= 0.5
  struct Row { const char* id; bool perspective; double turn_deg; double px, py; std::vector<char> shown;
               std::vector<Gl_ClipInfo> planes; const char* part; } rows[] = {
      {"nearest of two", true, 0, 100, 50, {}, {}, "high"},
      {"off the model", true, 0, 2, 2, {}, {}, ""},
      {"nearest hidden", true, 0, 100, 50, {1, 0}, {}, "low"},
      {"nearest clipped", true, 0, 100, 50, {}, {above}, "low"},
      {"orthographic, off centre", false, 0, 80, 45, {}, {}, "high"},
      {"turned about x", true, 30, 105, 52, {}, {}, "high"},
      {"bar, from the side", true, 0, 0, 0, {}, {}, "bar"},  // the pixel is put next to the bar
  };
  ASSERT_TRUE(build(two));
  Pick_Index index;
  index.build(Grid::gGrids);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    Gl_Matrix cam;
    cam.viewport(200, 100);
    cam.perspective(r.perspective);
    cam.model_bounds({0, 0, 0}, {3, 1, 1});
    cam.orientation(quat_from_axis_angle({1, 0, 0}, r.turn_deg));
    double px = r.px, py = r.py;
    if (std::string(r.part) == "bar") {
      const auto at = project_to_pixel(cam, {3, 0.5, 1});
      px = at[0] + 2, py = at[1];  // two pixels beside it
    }
    Pick_Hit hit;
    const bool found = index.hit(pick_ray(cam, px, py), r.shown, r.planes, hit);
    ASSERT_EQ(found, *r.part != 0);
    if (!found) continue;
    const Element_Info e = element_info(index.grid(hit.part), hit.k, hit.number);
    EXPECT_EQ(e.part, r.part);
    EXPECT_EQ(hit.number, index.element_number(hit.part, hit.k));
    if (e.n < 3) continue;
    // The pixel lies in the element's projected box.
    double lo[2] = {1e9, 1e9}, hi[2] = {-1e9, -1e9};
    for (int j = 0; j < e.n; ++j) {
      const auto q = project_to_pixel(cam, {e.xyz[j][0], e.xyz[j][1], e.xyz[j][2]});
      for (int c = 0; c < 2; ++c) lo[c] = std::min(lo[c], q[c]), hi[c] = std::max(hi[c], q[c]);
    }
    EXPECT_TRUE(px + 0.5 >= lo[0] && px + 0.5 <= hi[0] && py + 0.5 >= lo[1] && py + 0.5 <= hi[1])
        << px << "," << py << " not in " << lo[0] << ".." << hi[0] << " x " << lo[1] << ".." << hi[1];
  }
}

TEST(PickText, PlaceLine) {
  const struct { const char* place; bool ok; const char* file; int line; } rows[] = {
      {"box.vmf:12", true, "box.vmf", 12},
      {"dir/a b.vmf:3 (in 'nozzle' at lib.vmf:7)", true, "dir/a b.vmf", 3},
      {"vessel.vmf:5 (in parts.vmf:3)", true, "vessel.vmf", 5},
      {"", false, "", 0}, {"box.vmf", false, "", 0}, {"box.vmf:x2", false, "", 0},
  };
  for (const auto& r : rows) {
    std::string file;
    int line = 0;
    EXPECT_EQ(place_line(r.place, file, line), r.ok) << r.place;
    if (r.ok) {
      EXPECT_EQ(file + ":" + std::to_string(line), std::string(r.file) + ":" + std::to_string(r.line));
    }
  }
}
