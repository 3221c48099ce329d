#include "meshio/vbf.h"

#include "grid/Grid.h"
#include "grid/MeshStructs.h"
#include "meshio/BinFile.h"
#include "support/test_support.h"

#include <bit>
#include <filesystem>
#include <string>
#include <utility>

namespace {

// Little-endian bytes, for writing expected file contents by hand.
struct Bytes {
  std::string s;
  Bytes& u(uint64_t v, int n) {
    for (int k = 0; k < n; ++k) s += char(v >> (8 * k));
    return *this;
  }
  Bytes& d(double v) { return u(std::bit_cast<uint64_t>(v), 8); }
  Bytes& point(double x, double y, double z, uint32_t number) { return d(x).d(y).d(z).u(number, 4).u(0, 4); }
};

// A file read back through the container: points, elements as their packed words, parts.
struct Mesh_File {
  std::vector<std::vector<double>> points;  // x, y, z, number
  std::vector<std::vector<uint64_t>> elements;  // type word, number, point numbers
  std::vector<std::pair<std::string, std::vector<uint64_t>>> parts;
};

Mesh_File read_vbf(const std::string& path) {
  Mesh_File m;
  iBinFile in(path);
  EXPECT_TRUE(in.IsOpen());
  if (!in.IsOpen() || in.SectionCount() < 2) return m;
  EXPECT_EQ(in.SectionType(0), VBF::POINTS);
  EXPECT_EQ(in.SectionType(1), VBF::ELEMENTS);
  std::string data;
  EXPECT_TRUE(in.ReadSection(0, data));
  EXPECT_EQ(data.size(), 32 * in.SectionSize(0));
  for (size_t at = 0; at + 32 <= data.size(); at += 32)
    m.points.push_back({std::bit_cast<double>(le_at(data, at, 8)), std::bit_cast<double>(le_at(data, at + 8, 8)),
                        std::bit_cast<double>(le_at(data, at + 16, 8)), (double)le_at(data, at + 24, 4)});
  EXPECT_TRUE(in.ReadSection(1, data));
  for (size_t at = 0; at < data.size();) {
    Mesh::Element e;
    e.type = le_at(data, at, 8);
    std::vector<uint64_t> rec = {e.type, le_at(data, at + 8, 4)};
    for (uint32_t k = 0; k < Mesh::npts(e); ++k) rec.push_back(le_at(data, at + 12 + 4 * k, 4));
    EXPECT_EQ(le_at(data, at + 12 + 4 * Mesh::npts(e), 4), 0u);
    m.elements.push_back(rec);
    at += Mesh::nbytes(e);
  }
  EXPECT_EQ(m.elements.size(), in.SectionSize(1));
  for (int i = 2; i < in.SectionCount(); ++i) {
    EXPECT_EQ(in.SectionType(i), VBF::PART);
    EXPECT_TRUE(in.ReadSection(i, data));
    EXPECT_EQ(data.size(), 8 * in.SectionSize(i));
    std::vector<uint64_t> positions;
    for (size_t at = 0; at < data.size(); at += 8) positions.push_back(le_at(data, at, 8));
    m.parts.emplace_back(in.SectionLabel(i), positions);
  }
  return m;
}

class VbfExportTest : public ScriptTest {
protected:
  void TearDown() override {
    std::filesystem::remove_all(dir);
    ScriptTest::TearDown();
  }
  std::string dir = make_temp_dir();
  std::string path = dir + "/out.vbf";
};

const uint64_t BAR = 0x1121, TRI = 0x1232, QUAD = 0x1243;

}  // namespace

// Checked by hand: the plate's two triangles and the line's bar share point 2; each
// section's bytes as written.
TEST_F(VbfExportTest, SmallMeshByteForByte) {
  ASSERT_TRUE(build("set element_type tri0\nplate a 1 1  0 0 0  1 0 0  1 1 0  0 1 0\nline b 1  1 0 0  2 0 0\n"));
  ASSERT_TRUE(export_vbf_mesh(path.c_str(), false));
  const std::string raw = read_file(path);
  Bytes points, elements, a, b;
  points.u(0, 1).point(0, 0, 0, 1).point(1, 0, 0, 2).point(0, 1, 0, 3).point(1, 1, 0, 4).point(2, 0, 0, 5);
  elements.u(0, 1).u(TRI, 8).u(1, 4).u(1, 4).u(2, 4).u(4, 4).u(0, 4);
  elements.u(TRI, 8).u(2, 4).u(1, 4).u(4, 4).u(3, 4).u(0, 4);
  elements.u(BAR, 8).u(3, 4).u(5, 4).u(2, 4).u(0, 4);
  a.u('a', 1).u(0, 1).u(0, 8).u(1, 8);
  b.u('b', 1).u(0, 1).u(2, 8);
  EXPECT_EQ(raw.substr(2024), points.s + elements.s + a.s + b.s);
  EXPECT_EQ(le_at(raw, 16, 4), 4u);
  const struct {
    uint64_t type, bytes, writes;
  } slots[] = {{0xCDDA, 161, 6}, {0xD4FF, 81, 4}, {0xC0B0, 18, 3}, {0xC0B0, 10, 2}};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(le_at(raw, 24 + 40 * i, 8), slots[i].type);
    EXPECT_EQ(le_at(raw, 24 + 40 * i + 8, 8), slots[i].bytes);
    EXPECT_EQ(le_at(raw, 24 + 40 * i + 16, 8), slots[i].writes);
  }
}

// What a file holds, read back through the container.
TEST_F(VbfExportTest, PartsElementsAndNumbering) {
  const std::string unit = " 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n", up = " 1 1  0 0 1  1 0 1  1 1 1  0 1 1\n";
  const struct {
    const char* id;
    std::string script;
    size_t points;
    std::vector<std::vector<uint64_t>> elements;
    std::vector<std::pair<std::string, std::vector<uint64_t>>> parts;
  } rows[] = {
      {"adjacent plates share their border points", "plate p" + unit + "plate q 1 1  1 0 0  2 0 0  2 1 0  1 1 0\n", 6,
       {{QUAD, 1, 1, 2, 4, 3}, {QUAD, 2, 2, 5, 6, 4}}, {{"p", {0}}, {"q", {1}}}},
      {"one section per name, listing every part of it", "plate x" + unit + "plate w" + up + "plate x" + up, 8,
       {{QUAD, 1, 1, 2, 4, 3}, {QUAD, 2, 5, 6, 8, 7}, {QUAD, 3, 5, 6, 8, 7}}, {{"x", {0, 2}}, {"w", {1}}}},
      {"a deleted part keeps its points, its section is empty", "plate d" + unit + "plate e" + up + "delete d\n", 8,
       {{QUAD, 1, 5, 6, 8, 7}}, {{"d", {}}, {"e", {0}}}},
      {"a collapsed element takes no number", "plate a" + unit + "plate c 1 1  5 5 5  5 5 5  5 5 5  5 5 5\nplate b" + up,
       9, {{QUAD, 1, 1, 2, 4, 3}, {QUAD, 2, 6, 7, 9, 8}}, {{"a", {0}}, {"c", {}}, {"b", {1}}}},
      {"an empty run", "", 0, {}, {}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.id);
    ASSERT_TRUE(build("set element_type quads\n" + r.script));
    ASSERT_TRUE(export_vbf_mesh(path.c_str(), true));
    const Mesh_File m = read_vbf(path);
    ASSERT_EQ(m.points.size(), r.points);
    for (size_t k = 0; k < m.points.size(); ++k) EXPECT_EQ(m.points[k][3], k + 1.0);
    EXPECT_EQ(m.elements, r.elements);
    EXPECT_EQ(m.parts, r.parts);
  }
}

// Points numbered before the last merge would make elements point at the wrong nodes.
TEST_F(VbfExportTest, StaleNumberingWritesNothing) {
  ASSERT_TRUE(build("plate p 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n"));
  Grid::gGrids[0]->mPts[1].id = 7;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(export_vbf_mesh(path.c_str(), true));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "could not export to binary file '" + path + "': points not numbered since the last merge\n");
  EXPECT_EQ(dir_entries(dir), std::vector<std::string>{});
}
