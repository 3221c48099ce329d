#include "grid/Grid.h"
#include "grid/RawGrid.h"
#include "grid/pelgrove_MxN.h"
#include "script/parameters.h"
#include "support/test_support.h"

#include <algorithm>

namespace {

using GridRegistry = ScriptTest;

TEST(MergeReduction, ReducesByRepresentativeIdentity) {
  // The element is points 4 5 6 7 (all at the origin: coincident is not merged);
  // point 0 is a representative outside it.
  const struct {
    const char* id;
    int n;
    std::vector<std::pair<int, int>> links;  // point -> representative
    int expected;
    std::vector<long> idx;  // the first `expected` indices after the call
  } rows[] = {
      {"bar", 2, {}, 2, {4, 5}},              {"collapsed bar", 2, {{5, 4}}, 1, {}},
      {"triangle", 3, {}, 3, {4, 5, 6}},      {"triangle e0=e2", 3, {{4, 6}}, 1, {}},
      {"triangle e1=e2", 3, {{6, 5}}, 1, {}}, {"quad", 4, {}, 4, {4, 5, 6, 7}},
      {"quad diagonal 0-2", 4, {{6, 4}}, 1, {}}, {"quad diagonal 1-3", 4, {{7, 5}}, 1, {}},
      {"quad both sides", 4, {{5, 4}, {7, 6}}, 1, {}}, {"quad the other sides", 4, {{6, 5}, {7, 4}}, 1, {}},
      {"quad e0=e1", 4, {{5, 4}}, 3, {4, 6, 7}},
      {"quad e1=e2", 4, {{6, 5}}, 3, {4, 5, 7}},      {"quad e2=e3", 4, {{7, 6}}, 3, {4, 5, 6}},
      {"quad e0=e3", 4, {{4, 7}}, 3, {4, 5, 6}},
      {"quad e0=e1 through an outside point", 4, {{4, 0}, {5, 0}}, 3, {4, 6, 7}},
      {"one index", 1, {}, 0, {}},            {"out-of-range raw element", -1, {}, 0, {}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.id);
    GridPts pts(8);
    for (auto [from, to] : r.links) pts[from].mapped_to = &pts[to];
    long idx[4] = {4, 5, 6, 7};
    EXPECT_EQ(Grid::fix_merged_indices(r.n, idx, pts), r.expected);
    EXPECT_EQ(std::vector<long>(idx, idx + r.idx.size()), r.idx);
  }
}

TEST_F(GridRegistry, GridsRegisterInOrderAndCopyTheParametersInForce) {
  gParameters["tolerance"] = 0.25;
  gParameters["color.g"] = 0.5;
  gParameters.erase("ptolerance");
  gParameters.erase("color.a");
  Grid* a = new Grid_MxN("a", 1, 1);
  Grid* b = new Grid_MxN("b", 1, 1);
  gParameters["tolerance"] = 9;  // later changes do not reach an existing part
  Grid* c = new RawGrid("c");
  EXPECT_EQ(a->tolerance(), 0.25);
  EXPECT_EQ(c->tolerance(), 9);
  EXPECT_EQ(a->color()[1], 0.5f);
  EXPECT_EQ(a->ptolerance(), 0.0);  // missing parameters are made, as 0
  EXPECT_EQ(a->color()[3], 0.0f);
  EXPECT_EQ(gParameters.count("ptolerance") + gParameters.count("color.a"), 2u);
  EXPECT_EQ(Grid::gGrids, (std::vector<Grid*>{a, b, c}));
  delete b;
  EXPECT_EQ(Grid::gGrids, (std::vector<Grid*>{a, c}));
  Grid::destroy_grids();
  EXPECT_TRUE(Grid::gGrids.empty());
}

TEST_F(GridRegistry, RenumberingCopiesTheRepresentativesIdAtThatMoment) {
  Grid_MxN* a = new Grid_MxN("a", 2, 0);
  Grid_MxN* b = new Grid_MxN("b", 2, 0);
  a->mPts[2].mapped_to = &b->mPts[0];  // representative comes later: still its old id
  b->mPts[1].mapped_to = &b->mPts[0];
  b->mPts[2].mapped_to = &a->mPts[0];
  for (Grid* g : Grid::gGrids)
    for (GridPt& p : g->mPts) p.id = 77;
  renumber_grid_pts();
  std::vector<int64_t> ids;
  for (Grid* g : Grid::gGrids)
    for (GridPt& p : g->mPts) ids.push_back(p.id);
  EXPECT_EQ(ids, (std::vector<int64_t>{1, 2, 77, 3, 3, 1}));
}

// Elements with more points than four slots hold, point number 0, or numbers beyond the
// points read back empty.
TEST_F(GridRegistry, RawGridElementsReadBackAsZeroBasedIndices) {
  RawGrid* g = new RawGrid("raw");
  g->mPts.resize(9);
  for (int i = 0; i < 9; ++i) g->mPts[i].x = i;
  const std::pair<Mesh::ElementTypeBits, std::vector<uint32_t>> elements[] = {
      {Mesh::QUADRILATERAL, {1, 2, 3, 4}}, {Mesh::LINE, {8, 9}}, {Mesh::HEXAHEDRON, {1, 2, 3, 4, 5, 6, 7, 8}},
      {Mesh::TRIANGLE, {1, 0, 2}}, {Mesh::TRIANGLE, {1, 2, 10}}};
  for (const auto& [bits, pts] : elements) {
    Mesh::Element& e = g->elements.emplace_back();
    e.type = Mesh::type(bits, 1, 0);
    std::copy(pts.begin(), pts.end(), e.pts);
  }
  const std::vector<std::vector<long>> expected = {{0, 1, 2, 3}, {7, 8}, {}, {}, {}};
  ASSERT_EQ(g->num_elements(), 5);
  for (int k = 0; k < 5; ++k) {
    long idx[4];
    EXPECT_EQ(std::vector<long>(idx, idx + g->element(k, idx)), expected[k]) << k;
  }
  g->mPts[3].mapped_to = &g->mPts[8];
  g->mPts[2].mapped_to = &g->mPts[8];
  GridPt pts[4];
  ASSERT_EQ(g->element(0, pts), 3);
  EXPECT_EQ(pts[2].x, 8);  // copies of the representatives
  g->set_deleted(true);
  EXPECT_EQ(g->num_elements(), 0);
}

}  // namespace
