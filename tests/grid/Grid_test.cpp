#include "grid/Grid.h"
#include "grid/RawGrid.h"
#include "grid/pelgrove_MxN.h"
#include "interp/params.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using GridRegistry = ScriptTest;
using MergeReduction = ScriptTest;

// -- merge reduction

TEST(MergeReduction, ReducesByRepresentativeIdentity) {
  struct Row {
    const char* id;
    int n;
    std::vector<std::pair<int, int>> links;  // point -> representative
    int expected;
    std::vector<long> idx;  // indices after the call (first `expected` checked)
  };
  // The element uses points 4 5 6 7; point 0 is an outside representative.
  const Row rows[] = {
      {"bar", 2, {}, 2, {4, 5}},
      {"collapsed bar", 2, {{5, 4}}, 1, {}},
      {"triangle", 3, {}, 3, {4, 5, 6}},
      {"triangle e0=e1", 3, {{5, 4}}, 1, {}},
      {"triangle e1=e2", 3, {{6, 5}}, 1, {}},
      {"triangle e0=e2", 3, {{4, 6}}, 1, {}},
      {"quad", 4, {}, 4, {4, 5, 6, 7}},
      {"quad diagonal 0-2", 4, {{6, 4}}, 1, {}},
      {"quad diagonal 1-3", 4, {{7, 5}}, 1, {}},
      {"quad both sides", 4, {{5, 4}, {7, 6}}, 1, {}},
      {"quad e0=e1", 4, {{5, 4}}, 3, {4, 6, 7}},
      {"quad e1=e2", 4, {{6, 5}}, 3, {4, 5, 7}},
      {"quad e2=e3", 4, {{7, 6}}, 3, {4, 5, 6}},
      {"quad e0=e3", 4, {{4, 7}}, 3, {4, 5, 6}},
      {"quad e0=e1 through an outside point", 4, {{4, 0}, {5, 0}}, 3, {4, 6, 7}},
      {"quad e0 merged elsewhere only", 4, {{4, 0}}, 4, {4, 5, 6, 7}},
      {"one index", 1, {}, 0, {}},
      {"no index", 0, {}, 0, {}},
      {"out-of-range raw element", -1, {}, 0, {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    std::vector<GridPt> pts(8);
    for (auto [from, to] : r.links) pts[from].mapped_to = &pts[to];
    long idx[4] = {4, 5, 6, 7};
    EXPECT_EQ(Grid::fix_merged_indices(r.n, idx, pts), r.expected);
    for (size_t k = 0; k < r.idx.size(); ++k) EXPECT_EQ(idx[k], r.idx[k]) << "slot " << k;
  }
}

// Points that coincide in space but were not merged are distinct corners.
TEST(MergeReduction, CoincidentUnmergedPointsStayDistinct) {
  std::vector<GridPt> pts(4);
  long idx[4] = {0, 1, 2, 3};
  EXPECT_EQ(Grid::fix_merged_indices(4, idx, pts), 4);
}

// A damaged record (an index outside the points) is unusable rather than read out of bounds.
TEST(MergeReduction, IndexOutsideThePointsIsUnusable) {
  std::vector<GridPt> pts(3);
  long high[3] = {0, 1, 3};
  long negative[3] = {-1, 1, 2};
  EXPECT_EQ(Grid::fix_merged_indices(3, high, pts), 0);
  EXPECT_EQ(Grid::fix_merged_indices(3, negative, pts), 0);
}

TEST(MergeReductionDeathTest, MoreThanFourIndicesIsAProgrammingError) {
  std::vector<GridPt> pts(8);
  long idx[5] = {0, 1, 2, 3, 4};
  EXPECT_DEBUG_DEATH(Grid::fix_merged_indices(5, idx, pts), "N<=");
}

// -- registry

TEST_F(GridRegistry, GridsRegisterInCreationOrderAndRemoveThemselves) {
  Grid* a = new Grid_MxN("a", 1, 1);
  Grid* b = new Grid_MxN("b", 1, 1);
  Grid* c = new RawGrid("c");
  EXPECT_EQ(Grid::gGrids, (std::vector<Grid*>{a, b, c}));
  delete b;
  EXPECT_EQ(Grid::gGrids, (std::vector<Grid*>{a, c}));
  EXPECT_EQ(Grid::all_end() - Grid::all_begin(), 2);
  Grid::destroy_grids();
  EXPECT_TRUE(Grid::gGrids.empty());
}

TEST_F(GridRegistry, NewGridCopiesTolerancesAndColour) {
  gParameters["tolerance"] = 0.25;
  gParameters["ptolerance"] = 0.125;
  gParameters["color.r"] = 0.1;
  gParameters["color.g"] = 0.2;
  gParameters["color.b"] = 0.3;
  gParameters["color.a"] = 0.4;
  gParameters["element_type"] = 0;
  Grid* g = new Grid_MxN("g", 1, 1);
  gParameters["tolerance"] = 9;  // later changes do not reach an existing part
  EXPECT_EQ(g->tolerance(), 0.25);
  EXPECT_EQ(g->ptolerance(), 0.125);
  EXPECT_EQ(g->color()[0], 0.1f);
  EXPECT_EQ(g->color()[1], 0.2f);
  EXPECT_EQ(g->color()[2], 0.3f);
  EXPECT_EQ(g->color()[3], 0.4f);
  EXPECT_EQ(g->name(), "g");
  EXPECT_FALSE(g->deleted());
}

TEST_F(GridRegistry, MissingParametersAreCreatedAsZero) {
  gParameters.erase("ptolerance");
  gParameters.erase("color.a");
  gParameters["ptolerance_unrelated"] = 5;
  Grid* g = new RawGrid("g");
  ASSERT_EQ(gParameters.count("ptolerance"), 1u);
  ASSERT_EQ(gParameters.count("color.a"), 1u);
  EXPECT_EQ(gParameters["ptolerance"], 0.0);
  EXPECT_EQ(gParameters["color.a"], 0.0);
  EXPECT_EQ(g->ptolerance(), 0.0);
  EXPECT_EQ(g->color()[3], 0.0f);
}

TEST_F(GridRegistry, PointCountSkipsMergedPoints) {
  Grid_MxN* a = new Grid_MxN("a", 1, 0);
  Grid_MxN* b = new Grid_MxN("b", 1, 0);
  EXPECT_EQ(Grid::grid_point_count(), 4);
  b->mPts[0].mapped_to = &a->mPts[1];  // the two chains share one point
  EXPECT_EQ(Grid::grid_point_count(), 3);
}

TEST_F(GridRegistry, GoodElementCountSkipsCollapsedAndDeleted) {
  gParameters["element_type"] = 0;
  Grid_MxN* quads = new Grid_MxN("quads", 2, 1);  // 2 cells
  Grid_MxN* chain = new Grid_MxN("chain", 3, 0);  // 3 bars
  new Grid_MxN("gone", 4, 4);
  Grid::gGrids.back()->set_deleted(true);
  EXPECT_EQ(Grid::good_element_count(), 5);
  chain->mPts[1].mapped_to = &chain->mPts[0];        // first bar collapses
  quads->mPts[5].mapped_to = &quads->mPts[4];        // second cell becomes a triangle, still good
  EXPECT_EQ(Grid::good_element_count(), 4);
}

TEST_F(GridRegistry, AsMergedPtsGivesThePointAndItsRepresentative) {
  Grid_MxN* g = new Grid_MxN("g", 1, 0);
  g->mPts[0] = {1, 2, 3};
  g->mPts[1] = {4, 5, 6};
  GridPt out[2];
  EXPECT_EQ(g->as_merged_pts(1, out), 1);
  EXPECT_EQ(out[0].x, 4);
  g->mPts[1].mapped_to = &g->mPts[0];
  EXPECT_EQ(g->as_merged_pts(1, out), 2);
  EXPECT_EQ(out[0].x, 4);
  EXPECT_EQ(out[1].x, 1);
}

TEST(MappedDist2, MeasuresBetweenRepresentatives) {
  GridPt a{0, 0, 0}, b{3, 4, 0}, c{1, 2, 2};
  EXPECT_EQ(mapped_dist2(a, b), 25.0);
  b.mapped_to = &c;
  EXPECT_EQ(mapped_dist2(a, b), 9.0);
  a.mapped_to = &c;
  EXPECT_EQ(mapped_dist2(a, b), 0.0);
}

// -- renumbering

TEST_F(GridRegistry, RenumberingNumbersRepresentativesInRegistryOrder) {
  Grid_MxN* a = new Grid_MxN("a", 2, 0);  // points 0 1 2
  Grid_MxN* b = new Grid_MxN("b", 2, 0);
  a->mPts[2].mapped_to = &b->mPts[0];  // target comes later: still 0 when copied
  b->mPts[2].mapped_to = &a->mPts[0];  // target came earlier: its new id
  b->mPts[1].mapped_to = &b->mPts[0];
  for (Grid* g : Grid::gGrids)
    for (GridPt& p : g->mPts) p.id = 77;  // old numbers from an earlier renumbering

  renumber_grid_pts();
  EXPECT_EQ(a->mPts[0].id, 1);
  EXPECT_EQ(a->mPts[1].id, 2);
  EXPECT_EQ(a->mPts[2].id, 77);
  EXPECT_EQ(b->mPts[0].id, 3);
  EXPECT_EQ(b->mPts[1].id, 3);
  EXPECT_EQ(b->mPts[2].id, 1);
}

// -- raw grids

TEST_F(GridRegistry, RawGridElementsReadBackAsZeroBasedIndices) {
  RawGrid* g = new RawGrid("raw");
  g->mPts.resize(9);
  for (int i = 0; i < 9; ++i) g->mPts[i].x = i;
  auto add = [&](Mesh::ElementTypeBits bits, std::vector<uint32_t> pts) {
    Mesh::Element e;
    e.type = Mesh::type(bits, 1, 0);
    e.id = uint32_t(g->elements.size() + 1);
    for (size_t k = 0; k < pts.size(); ++k) e.pts[k] = pts[k];
    g->elements.push_back(e);
  };
  add(Mesh::QUADRILATERAL, {1, 2, 3, 4});
  add(Mesh::TRIANGLE, {5, 6, 7});
  add(Mesh::LINE, {8, 9});
  add(Mesh::HEXAHEDRON, {1, 2, 3, 4, 5, 6, 7, 8});  // volume element: not enumerable
  add(Mesh::TRIANGLE, {1, 0, 2});                   // point number 0 is invalid
  add(Mesh::TRIANGLE, {1, 2, 10});                  // beyond the points

  struct Row {
    int k, count;
    std::vector<long> idx;
  };
  const Row rows[] = {{0, 4, {0, 1, 2, 3}}, {1, 3, {4, 5, 6}}, {2, 2, {7, 8}},
                      {3, 0, {}},           {4, 0, {}},        {5, 0, {}},
                      {6, 0, {}}};
  EXPECT_EQ(g->num_elements(), 6);
  EXPECT_EQ(g->dimension(), 2);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.k);
    long idx[4] = {-9, -9, -9, -9};
    EXPECT_EQ(g->element(r.k, idx), r.count);
    for (size_t j = 0; j < r.idx.size(); ++j) EXPECT_EQ(idx[j], r.idx[j]);
  }

  // merged corners reduce, and the point copies are the representatives
  g->mPts[3].mapped_to = &g->mPts[8];
  g->mPts[2].mapped_to = &g->mPts[8];
  GridPt pts[4];
  EXPECT_EQ(g->element(0, pts), 3);
  EXPECT_EQ(pts[0].x, 0);
  EXPECT_EQ(pts[1].x, 1);
  EXPECT_EQ(pts[2].x, 8);

  g->set_deleted(true);
  EXPECT_EQ(g->num_elements(), 0);
  EXPECT_EQ(g->num_grid_points(), 9);
}

}  // namespace
