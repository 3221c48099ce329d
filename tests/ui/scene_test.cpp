// Grid display rules without a display: element normals, part bounds, the arrays a part
// becomes, the memory fallback.
#include "grid/Grid.h"
#include "interp/interp.h"
#include "support/gl_support.h"
#include "support/test_support.h"
#include "ui/Grid_Scene.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
GridPt pt(double x, double y, double z, int64_t id) {
  GridPt p;
  p.x = x, p.y = y, p.z = z, p.id = id;
  return p;
}

struct SceneTest : ::testing::Test {
  void TearDown() override {
    reset_script_state();
    set_display_memory_budget(0);
    set_display_status_callback(nullptr, nullptr);
  }
};
}  // namespace

TEST(Grid_Scene, ElementNormals) {
  struct Row { const char* id; int n; GridPt p[4]; Gl_Vec3 want; } rows[] = {
      {"reversed quad", 4, {pt(0, 1, 0, 4), pt(1, 1, 0, 3), pt(1, 0, 0, 2), pt(0, 0, 0, 1)}, {0, 0, -1}},
      // Second and third coincide: the normal comes from the second, fourth and first points.
      {"2nd = 3rd", 4, {pt(0, 0, 0, 1), pt(1, 0, 0, 2), pt(1, 0, 0, 2), pt(0, 0, 1, 4)}, {0, -1, 0}},
      // First and second coincide: the last point stands in for the first.
      {"1st = 2nd", 4, {pt(0, 0, 0, 1), pt(0, 0, 0, 1), pt(0, 1, 0, 3), pt(1, 0, 0, 4)}, {0, 0, -1}},
      {"ids unset", 4, {pt(0, 0, 0, 0), pt(1, 0, 0, 0), pt(1, 0, 0, 0), pt(0, 0, 1, 0)}, {0, -1, 0}},
      {"collinear", 3, {pt(0, 0, 0, 1), pt(1, 0, 0, 2), pt(2, 0, 0, 3)}, {0, 0, 1}},
      {"collapsed triangle stays literal", 3, {pt(0, 0, 0, 1), pt(0, 0, 0, 1), pt(0, 1, 0, 3)}, {0, 0, 1}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    expect_vec(element_normal(r.n, r.p), r.want, 1e-12);
  }
}

// Every triangle's last corner carries the normal of its own face, also where a part has more
// faces than points (the bent plate) and corners must be copied.
TEST_F(SceneTest, BoundsAndArraysOfParts) {
  struct Row { const char* id; const char* script; Gl_Vec3 center; double diameter; size_t tris, edges, bars; }
  rows[] = {
      {"plate 2x2 quads", "set element_type quads\nplate p 2 2  0 0 0  2 0 0  2 2 0  0 2 0", {1, 1, 0},
       2 * std::sqrt(2.0), 8 * 3, 12 * 2, 0},
      {"plate 2x1 triangles", "set element_type tri0\nplate p 2 1  0 0 0  2 0 0  2 1 0  0 1 0", {1, 0.5, 0},
       std::sqrt(5.0), 4 * 3, 9 * 2, 0},
      {"bent 3x3 triangles", "set element_type tri0\nplate p 3 3  0 0 0  1 0 0  1 1 1  0 1 0",
       {0.5, 0.5, 0.5}, std::sqrt(3.0), 18 * 3, 33 * 2, 0},
      {"line of bars", "line l 4  0 0 0  4 0 0", {2, 0, 0}, 4, 0, 0, 4 * 2},
      {"all points coincide", "set element_type quads\nplate p 1 1  1 1 1  1 1 1  1 1 1  1 1 1", {1, 1, 1},
       1, 0, 0, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    ASSERT_TRUE(run_script_text(r.script));
    Gl_Scene_Composite scenes;
    load_grids(scenes);
    ASSERT_EQ(scenes.size(), 1u);
    auto s = scenes[0].cast<Grid_Scene>();
    expect_vec(s->center(), r.center, 1e-12);
    EXPECT_NEAR(s->diameter(), r.diameter, 1e-12);
    const Grid_Mesh& m = s->mesh;
    EXPECT_EQ(std::vector<size_t>({m.tris.size(), m.edges.size(), m.bars.size()}),
              std::vector<size_t>({r.tris, r.edges, r.bars}));
    for (size_t t = 0; t < m.tris.size(); t += 3) {
      GridPt corner[4];
      for (int k = 0; k < 3; ++k) {
        const float* v = &m.verts[6 * size_t(m.tris[t + k])];
        corner[k] = pt(v[0], v[1], v[2], k + 1);
      }
      const float* n = &m.verts[6 * size_t(m.tris[t + 2]) + 3];
      expect_vec({n[0], n[1], n[2]}, element_normal(3, corner), 1e-6);
    }
  }
}

TEST_F(SceneTest, PartsBeyondTheMemoryBudgetShowLessAndSaySo) {
  ASSERT_TRUE(run_script_text("set element_type quads\nplate big 100 100  0 0 0  1 0 0  1 1 0  0 1 0"));
  const Grid& g = *Grid::gGrids[0];
  std::vector<std::string> said;
  set_display_status_callback([](const std::string& t, void* d) { static_cast<decltype(said)*>(d)->push_back(t); },
                              &said);
  struct Row { const char* id; size_t budget; Grid_Display want; const char* status; } rows[] = {
      {"plenty", grid_display_bytes(g, Grid_Display::FULL), Grid_Display::FULL, nullptr},
      {"edges fit", grid_display_bytes(g, Grid_Display::OUTLINE), Grid_Display::OUTLINE,
       "part 'big' shows only its element edges: not enough memory for its faces"},
      {"nothing fits", 4096, Grid_Display::BOX,
       "part 'big' shows only its bounding box: not enough memory for its elements"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    said.clear();
    set_display_memory_budget(r.budget);
    Gl_Scene_Composite scenes;
    load_grids(scenes);
    auto s = scenes[0].cast<Grid_Scene>();
    EXPECT_EQ(s->display, r.want);
    EXPECT_EQ(said, r.status ? std::vector<std::string>{r.status} : std::vector<std::string>{});
    EXPECT_LE(s->mesh.bytes() * 2, std::max<size_t>(r.budget, 4096));
    EXPECT_EQ(s->mesh.tris.empty(), r.want != Grid_Display::FULL);
    EXPECT_EQ(s->mesh.edges.size() == 12u * 2, r.want == Grid_Display::BOX);
  }
}
