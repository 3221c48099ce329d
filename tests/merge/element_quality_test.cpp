#include "merge/element_quality.h"

#include "meshio/flat_mesh.h"
#include "support/test_support.h"

#include <cmath>
#include <limits>
#include <string>

namespace {

using ElementQualityTest = ScriptTest;
constexpr double INF = std::numeric_limits<double>::infinity();

TEST(ElementQuality, ShapeOfHandMadeFaces) {
  struct Row { const char* what; int n; Vec3 v[4]; double aspect, min_angle, warp; };
  const Row rows[] = {
      {"unit square", 4, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, 1, 90, 0},
      {"sliver 10:1", 4, {{0, 0, 0}, {1, 0, 0}, {1, 0.1, 0}, {0, 0.1, 0}}, 10, 90, 0},
      {"right triangle", 3, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, std::sqrt(2.0), 45, 0},
      {"warped: a corner lifted by one", 4, {{0, 0, 0}, {1, 0, 0}, {1, 1, 1}, {0, 1, 0}}, std::sqrt(2.0), 60,
       std::acos(1 / std::sqrt(3.0)) * 180 / M_PI},
      {"folded into a bow tie: no area", 4, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, INF, 0, 0},
      {"degenerate triangle", 3, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, INF, 0, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const FaceQuality f = measure_face_quality(r.v, r.n);
    EXPECT_DOUBLE_EQ(f.aspect, r.aspect);
    EXPECT_NEAR(f.min_angle_deg, r.min_angle, 1e-9);
    EXPECT_NEAR(f.warp_deg, r.warp, 1e-6);
    EXPECT_EQ(f.has_area, !std::isinf(r.aspect));
  }
}

// Each row: a script, a measure, and the value of every written element in number order.
TEST_F(ElementQualityTest, ValuesPerWrittenElement) {
  const std::string quads = "set element_type quads\n";
  const std::string A = "plate a 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n";
  struct Row {
    const char* what;
    std::string script;
    QualityMeasure m;
    std::vector<double> values;  // NaN: no value
  };
  const Row rows[] = {
      {"a square and a 4:1 sliver", quads + A + "plate b 1 1  1 0 0  5 0 0  5 1 0  1 1 0\n",
       QualityMeasure::ASPECT_RATIO, {1, 4}},
      {"bars have no shape", quads + A + "line l 1  0 0 0  0 0 1\n", QualityMeasure::SMALLEST_ANGLE, {90, NAN}},
      {"a face on one line: no warp, unbounded aspect", quads + A + "plate z 1 1  0 2 0  1 2 0  2 2 0  3 2 0\n",
       QualityMeasure::WARP, {0, NAN}},
      {"the same by aspect ratio", quads + A + "plate z 1 1  0 2 0  1 2 0  2 2 0  3 2 0\n",
       QualityMeasure::ASPECT_RATIO, {1, INF}},
      {"free edges of two neighbours", quads + A + "plate b 1 1  1 0 0  2 0 0  2 1 0  1 1 0\n",
       QualityMeasure::FREE_EDGES, {3, 3}},
      {"a neighbour folded back", quads + A + "plate b 1 1  1 0 0  0.1 0 0.1  0.1 1 0.1  1 1 0\n",
       QualityMeasure::FOLDS, {1, 1}},
      {"a flipped neighbour is no fold", quads + A + "plate b 1 1  1 0 0  1 1 0  2 1 0  2 0 0\n",
       QualityMeasure::FOLDS, {0, 0}},
      {"a stiffener's foot between the skin's nodes",
       quads + "plate skin 2 1  0 0 5  2 0 5  2 1 5  0 1 5\nline stiff 1  1.5 0 5  1.5 0 6\n",
       QualityMeasure::T_JOINTS, {0, 1, 0}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    ASSERT_TRUE(build(r.script));
    const ElementQuality q = measure_elements(r.m);
    ASSERT_EQ(q.elements(), (long)r.values.size());
    for (long i = 0; i < q.elements(); ++i)
      EXPECT_TRUE(std::isnan(r.values[i]) ? std::isnan(q.value[i])
                                          : q.value[i] == r.values[i] || std::fabs(q.value[i] - r.values[i]) < 1e-5)
          << i << ": " << q.value[i];
  }
}

// The worst comes first, is at the bad end, and is found again in its part.
TEST_F(ElementQualityTest, WorstFirstAndLocated) {
  ASSERT_TRUE(build("set element_type quads\nplate a 2 1  0 0 0  2 0 0  2 1 0  0 1 0\n"
                    "plate b 1 1  2 0 0  8 0 0  9 1 0  3 1 0\n"));
  for (QualityMeasure m : {QualityMeasure::ASPECT_RATIO, QualityMeasure::SMALLEST_ANGLE}) {
    SCOPED_TRACE(quality_measure_name(m));
    const ElementQuality q = measure_elements(m);
    const std::vector<long> worst = worst_elements(q, 10);
    ASSERT_EQ(worst.size(), 3u);
    const MeshCheck::Where w = locate_element(q, worst[0]);
    EXPECT_EQ(worst[0], 3);
    EXPECT_EQ(w.part, 1);
    EXPECT_EQ(w.element, 0);
    EXPECT_EQ(quality_badness(q, q.value_of(worst[0])), 1.0);
    EXPECT_EQ(quality_badness(q, q.value_of(worst[2])), 0.0);
  }
  EXPECT_FALSE(locate_element(measure_elements(QualityMeasure::WARP), 4).found());
  // All alike: none stands out, whichever end is bad.
  ASSERT_TRUE(build("set element_type quads\nplate a 2 1  0 0 0  2 0 0  2 1 0  0 1 0\n"));
  EXPECT_EQ(quality_badness(measure_elements(QualityMeasure::SMALLEST_ANGLE), 90), 0.0);
}

// Numbers as the writers number elements: bars, triangles and quadrilaterals of several parts,
// with a cell that merging leaves a single point (not written).
TEST_F(ElementQualityTest, NumberedAsWritten) {
  ASSERT_TRUE(build("set element_type quads\nplate a 2 1  0 0 0  2 0 0  2 1 0  0 1 0\n"
                    "line l 2  0 0 0  0 0 2\nset ptolerance 0.01\nset element_type tri0\n"
                    "plate t 1 1  5 0 0  5.001 0 0  5.001 0.001 0  5 0.001 0\nplate u 1 1  6 0 0  7 0 0  7 1 0  6 1 0\n"));
  const ElementQuality q = measure_elements(QualityMeasure::T_JOINTS);
  PartLayout layout;
  ASSERT_TRUE(layout_grids(layout, false));
  ASSERT_EQ(q.elements(), layout.ne);
  EXPECT_EQ(layout.ne, 6);  // 2 quadrilaterals, 2 bars, 2 triangles of u; t's two are not written
  long seen = 0;
  for (const PartRun& r : layout.elements)
    for_written_elements(r, 0, [&](long number, int n, const long* ids) {
      ++seen;
      const MeshCheck::Where w = locate_element(q, number);
      ASSERT_TRUE(w.found()) << number;
      EXPECT_EQ(Grid::gGrids[w.part], r.grid) << number;
      long idx[4];
      ASSERT_EQ(r.grid->element(int(w.element), idx), n) << number;
      for (int j = 0; j < n; ++j) EXPECT_EQ(effective(r.grid->mPts[idx[j]]).id, ids[j]) << number;
    });
  EXPECT_EQ(seen, q.elements());
}

}  // namespace
