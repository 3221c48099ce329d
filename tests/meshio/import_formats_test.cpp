#include "meshio/dvk_export.h"
#include "meshio/dvk_import.h"
#include "meshio/import_dxf.h"
#include "meshio/import_gds.h"
#include "meshio/import_unv.h"
#include "meshio/import_vet.h"
#include "meshio/import_xpatch.h"
#include "merge/merge.h"
#include "support/import_runner.h"
#include "support/test_support.h"

#include <filesystem>
#include <map>
#include <sstream>
#include <vector>

namespace {

struct Xyz {
  double x, y, z;
};
struct Corners {
  size_t part, element;
  uint32_t id;  // the element's number
  std::vector<Xyz> want;
};

std::string gds_log;  // the trace of the last gds_import
bool gds_import(std::string_view bytes, std::string& why) {
  std::ostringstream log;
  const bool ok = GDS::import(bytes, log, why);
  gds_log = log.str();
  return ok;
}

bool dvk_bytes(std::string_view bytes, std::string& why) { return DVK::import(bytes, why); }

// The stream reader, which tells its failures on standard error.
bool dvk_stream(std::string_view bytes, std::string&) {
  std::istringstream in{std::string(bytes)};
  return DVK::import(in);
}

typedef bool (*Reader)(std::string_view, std::string&);

// In a directory of its own: the gds importer writes its trace file where it runs.
class ImportFormats : public ScriptTest {
  const ScopedCwd mInTemp{make_temp_dir()};
};

const std::map<std::string, std::string> FAILED = {
    {"vet", "failed to import vertex-edge-triangle file:\n"}, {"dxf", "failed to import dxf file:\n"},
    {"unv", "failed to import SDRC universal file:\n"},       {"gds", "failed to import GDS-II file:\n"},
    {"dvk", "failed to import dovrekin file:\n"},             {"xpatch", "failed to import xpatch facet file:\n"}};

}  // namespace

// One small file per format: parts, their point and element counts, the corners of chosen
// elements read through their point numbers, and how many are surface elements (volume
// elements stay in their part but the surface element interface skips them).
TEST_F(ImportFormats, SampleFilesGiveTheirPartsPointsAndElements) {
  const struct {
    const char* file;
    Reader read;
    std::vector<std::string> names;
    std::vector<size_t> points, elements;
    std::vector<Corners> corners;
    std::string out, err;
    int surface_elements;
  } rows[] = {
      {"square.vet", VET::import, {"surface"}, {4}, {2},
       {{0, 0, 1, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}}, {0, 1, 2, {{0, 0, 0}, {1, 1, 0}, {0, 1, 0}}}},
       "reading verts... edges... triangles...\n", "", 2},
      {"square.xpatch", XPATCH::import, {"hull", "wing"}, {4, 4}, {1, 1},
       {{0, 0, 1, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}}, {1, 0, 2, {{0, 0, 0}, {1, 1, 0}, {0, 1, 0}}}},
       "reading verts... elements...\n", "", 2},
      // a repeated fourth corner makes a triangle; a face of two corners is reported
      {"square.dxf", DXF::import, {"hull", "wing", "rail"}, {3, 4, 3}, {1, 1, 2},
       {{0, 0, 1, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}}, {1, 0, 1, {{0, 0, 0}, {1, 1, 0}, {0, 1, 0}, {-1, 1, 0.5}}},
        {2, 1, 2, {{1, 0, 2}, {1, 1, 2}}}},
       "", "unknown element 8[2 pts] w/ final z=5\ndone importing DXF\n", 4},
      // node labels 10..80 are found by search
      {"cube.unv", UNV::import, {"Ungrouped"}, {8}, {5},
       {{0, 0, 1, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}}, {0, 2, 3, {{0, 0, 0}, {0, 0, 1}}}, {0, 3, 4, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
        {0, 4, 5, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}}},
       "reading verts... elements...\n",
       "WARNING: group importing not yet implemented\n"
       "WARNING... 2 volume elements (tetrahedra, hexahedra) kept in part 'Ungrouped' are skipped as surface "
       "elements\n",
       3},
      // database units of 0.001; a path of width 0.2 turning left at (1, 0) is mitred
      {"layers.gds", gds_import, {"TOP_Layer001", "TOP_Layer002", "TOP_Layer003"}, {5, 10, 11}, {1, 1, 2},
       {{0, 0, 1, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}}, {1, 0, 1, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}},
        {2, 0, 1, {{0, -0.1, 0}, {1.1, -0.1, 0}, {0.9, 0.1, 0}, {0, 0.1, 0}}},
        {2, 1, 2, {{1.1, -0.1, 0}, {1.1, 1, 0}, {0.9, 1, 0}, {0.9, 0.1, 0}}}},
       "", "Polygon with 5(>4) sides\n", 4},
      // every group holds all the points; elements keep their file numbers
      {"dvk_three_groups.dvk", dvk_bytes, {"skin", "flap", "wire"}, {6, 6, 6}, {2, 1, 1},
       {{0, 1, 2, {{0, 0, 0}, {1, 1, 0}, {0, 1, 0}}}, {1, 0, 4, {{1, 0, 0}, {2, 0, 0}, {2, 1, 0.5}, {1, 1, 0}}},
        {2, 0, 3, {{1, 0, 0}, {2, 0, 0}}}},
       "reading verts... elements...\n", "", 4},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.file);
    const ImportRun run = run_import(r.read, read_file(std::string(PELGROVE_TEST_DATA "/") + r.file));
    ASSERT_TRUE(run.ok) << run.why;
    EXPECT_EQ(run.out, r.out);
    EXPECT_EQ(run.err, r.err);
    ASSERT_EQ(Grid::gGrids.size(), r.names.size());
    for (size_t k = 0; k < r.names.size(); ++k) {
      EXPECT_EQ(raw_part(k).name(), r.names[k]);
      EXPECT_EQ(raw_part(k).mPts.size(), r.points[k]) << r.names[k];
      EXPECT_EQ(raw_part(k).elements.size(), r.elements[k]) << r.names[k];
      for (size_t i = 0; i < raw_part(k).mPts.size(); ++i) EXPECT_EQ(raw_part(k).mPts[i].id, (int64_t)i + 1);
    }
    for (const Corners& c : r.corners) {
      const RawGrid& g = raw_part(c.part);
      ASSERT_LT(c.element, g.elements.size());
      const Mesh::Element& e = g.elements[c.element];
      EXPECT_EQ(e.id, c.id);
      ASSERT_EQ(Mesh::npts(e), c.want.size()) << "element " << c.element;
      for (size_t j = 0; j < c.want.size(); ++j) {
        const GridPt& p = g.mPts.at(e.pts[j] - 1);
        EXPECT_NEAR(p.x, c.want[j].x, 1e-9);
        EXPECT_NEAR(p.y, c.want[j].y, 1e-9);
        EXPECT_NEAR(p.z, c.want[j].z, 1e-9);
      }
    }
    EXPECT_EQ(Grid::good_element_count(), r.surface_elements);
  }
  // the trace of layers.gds names its records
  const std::string lines[] = {"Version 600\n", "Library name: LIB\n", "1 library unit = 0.001 user units\n",
                               "Structure Name: TOP\n", "Begin Boundary Element\n", "Layer002\n",
                               "Begin Path Element\n", "Begin Text Element\n", "String to Present: label\n",
                               "... Element End ...\n", "--- Structure End ---\n", "=== Library End ===\n"};
  for (const std::string& l : lines) EXPECT_NE(gds_log.find(l), std::string::npos) << l;
}

// A triangle's corners do not depend on which way its edges point.
TEST_F(ImportFormats, VetCornersIgnoreEdgeDirections) {
  const char* edges[] = {"1 2\n2 3\n3 1\n", "2 1\n3 2\n1 3\n", "1 2\n3 2\n3 1\n", "2 1\n2 3\n1 3\n"};
  for (const char* e : edges) {
    SCOPED_TRACE(e);
    const ImportRun run = run_import(VET::import, std::string("3 3 1\n0 0 0\n1 0 0\n0 1 0\n") + e + "1 2 3\n");
    ASSERT_TRUE(run.ok) << run.why;
    const Mesh::Element& t = raw_part(0).elements.at(0);
    EXPECT_EQ(std::vector<uint32_t>(t.pts, t.pts + 3), (std::vector<uint32_t>{1, 2, 3}));
  }
}

// Warnings go to standard error with their fixed texts; some end the import.
TEST_F(ImportFormats, WarningsAndTheirOutcome) {
  const std::string nodes = "    -1\n  2411\n         1\n0 0 0\n         2\n1 0 0\n         3\n0 1 0\n    -1\n";
  const std::string gds_head = std::string("\0\x06\0\x02\x02\x58\0\x06\x02\x06LB", 12);
  const struct { Reader read; std::string bytes; bool ok; std::string err; } rows[] = {
      {UNV::import, "    -1\n  2411\n 1\n0 0 0\n 2\n0 0 0\n 2\n0 0 0\n    -1\n", false,
       "ERROR... points are not ordered monotonically ordered\n"},
      {UNV::import, nodes + "    -1\n  2412\n 1 92 1 1 7 3\n 1 2 3\n    -1\n", false, "aborting... unknown element type 92\n"},
      {UNV::import, nodes + "    -1\n  2412\n 2 91 1 1 7 3\n 1 2 3\n 1 91 1 1 7 3\n 1 2 3\n    -1\n", true,
       "WARNING... elements are not ordered 1..N\n"},
      {UNV::import, "    -1\n  2417\nx\n    -1\n    -1\n  151\ny\n    -1\n", true,
       "WARNING: group importing not yet implemented\n"},
      {DXF::import, "  5\nAB\n", false, "aborting at dataset type 5\nAB\n"},
      {DXF::import, "  0\nBLOCK\n  0\nEOF\n", true, "section 0 type BLOCK not processed\ndone importing DXF\n"},
      {DXF::import,
       "0\nSECTION\n2\nENTITIES\n0\nPOLYLINE\n8\nL\n0\nVERTEX\n10\n1\n20\n2\n30\n3\n0\nSEQEND\n0\nENDSEC\n0\nEOF\n", true,
       "unknown element 1[1 pts] w/ final z=3\ndone importing DXF\n"},
      {gds_import, gds_head + std::string("\0\x06\x0d\x03\0\x01\0\x04\x04\0", 10), true,
       "expexting type 2 and stream indicates 3 is next\n"},
      {gds_import, gds_head + std::string("\0\x04\x70\0\0\x04\x04\0", 8), true,
       "while reading entities\n\t skipping dataset type 112\n"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.err);
    const ImportRun run = run_import(r.read, r.bytes);
    EXPECT_EQ(run.ok, r.ok) << run.why;
    EXPECT_EQ(run.err, r.err);
    EXPECT_TRUE(r.ok || Grid::gGrids.empty());
  }
}

// Every file of the corpus (its extension names the importer) fails the import with a
// message naming the file and what was wrong, and leaves only the part made before it.
TEST_F(ImportFormats, EveryMalformedFileFailsWithItsReasonAndLeavesNoPart) {
  const std::map<std::string, std::string> reasons = {
      {"counts_beyond_file.vet", "line 1: 1000000 vertices cannot be held by the rest of the file"},
      {"edge_to_missing_vertex.vet", "line 4: vertex 3 is not one of the 2"},
      {"negative_count.vet", "line 1: -3 vertices cannot be held by the rest of the file"},
      {"triangle_to_missing_edge.vet", "line 8: edge 4 is not one of the 3"},
      {"truncated.vet", "line 1: the header's counts (3 3 1) cannot be held by the rest of the file"},
      {"facet_vertex_out_of_range.xpatch", "line 13: facet vertex 9 is not one of the 3"},
      {"four_vertex_facets.xpatch", "line 13: block 'p' has 4 vertices per facet; only 3 are read"},
      {"parts_beyond_file.xpatch", "line 3: 2000000000 parts cannot be declared in the rest of the file"},
      {"parts_times_vertices.xpatch",
       "line 4004: 2000 parts of 100 points each are out of proportion to a file of 8613 bytes"},
      {"truncated_facets.xpatch", "line 13: expected three vertices of facet 2 of block 'p'"},
      {"coordinates_missing.unv", "line 4: node 1 has no coordinate line"},
      {"dataset_not_closed.unv", "line 12: element 1 lacks node labels"},
      {"node_count_mismatch.unv", "line 12: element 1 of type 91 declares 64 nodes, not 3"},
      {"nodes_not_increasing.unv", "line 7: node 2 follows node 2"},
      {"undefined_node.unv", "line 13: element 1 names node 25, which is not defined"},
      {"group_undefined_element.unv", "group 1: 'wall' lists element 4, which is not defined"},
      {"unknown_element_type.unv", "line 12: element 1 has the unknown type 92"},
      {"binary_garbage.dxf", "line 1: expected a group code, found '_________'"},  // no raw bytes
      {"coordinate_not_a_number.dxf", "line 9: expected a coordinate for group code 10, found 'abc'"},
      {"group_code_not_a_number.dxf", "line 5: expected a group code, found 'ten'"},
      {"no_eof_marker.dxf", "line 7: the file ends before its EOF marker"},
      {"section_not_closed.dxf", "line 7: section HEADER is not closed by ENDSEC"},
      {"unexpected_code_in_face.dxf", "line 9: unexpected group code 77 in a 3DFACE entity"},
      {"header_cut.gds", "record at byte 40: the file ends inside a record header"},
      {"no_endlib.gds", "record at byte 78: the file ends before the end of the library (ENDLIB)"},
      {"record_runs_past_end.gds", "record at byte 40: record of 4000 bytes runs past the end of the file"},
      {"units_zero.gds", "record at byte 40: UNITS record holds unusable units"},
      {"zero_length_record.gds", "record at byte 40: record length 0 is shorter than its header"},
      {"binary_garbage.dvk",
       "reading DVK file failed: the second line must hold the counts of points, elements and groups"},
      {"group_lines_missing.dvk", "reading DVK file failed at group line #2: expected a number and a name"},
      {"groups_times_points.dvk",
       "reading DVK file failed: the header declares 1024 points and 8192 groups, more than the 16364 bytes that "
       "follow can hold"},
      {"truncated_points.dvk",
       "reading DVK file failed: the header declares 3 points and 1 groups, more than the 17 bytes that follow can "
       "hold"},
  };
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(PELGROVE_TEST_DATA "/malformed")) {
    const std::string path = entry.path().string(), type = entry.path().extension().string().substr(1);
    SCOPED_TRACE(path);
    ASSERT_TRUE(FAILED.count(type) && reasons.count(entry.path().filename())) << "unknown importer or file";
    ++files;
    reset_script_state();
    sink.clear();
    StreamCapture out(std::cout), err(std::cerr);
    EXPECT_FALSE(run("line before 1  0 0 0  1 0 0\nimport " + type + " " + path + "\n"));
    ASSERT_EQ(alerts().size(), 1u);
    const std::string want = "ERROR: while parsing " + type + ", builder import failed with message:\n" +
                             FAILED.at(type) + path + "\n" + reasons.at(entry.path().filename());
    EXPECT_EQ(alerts()[0], want);
    ASSERT_EQ(Grid::gGrids.size(), 1u);
    EXPECT_EQ(Grid::gGrids[0]->name(), "before");
  }
  EXPECT_EQ(files, reasons.size());
}

// Group numbers outside 1..NG select the last group; a name is the rest of its line, its
// blanks made '_'.
TEST_F(ImportFormats, DvkGroupNumbersAndNames) {
  StreamCapture err(std::cerr);
  EXPECT_FALSE(import_dvk(PELGROVE_TEST_DATA "/dvk_no_such_file.dvk"));
  EXPECT_EQ(err.text.str(), "the file cannot be opened\n");
  ASSERT_TRUE(run_import(dvk_stream, "title\n2 3 2\n1 0 0 0\n2 1 0 0\nbar 1 2 0\n1 2\nbar 2 2 7\n2 1\n"
                                     "bar 3 2 1\n1 2\n9 last\n1 first\n").ok);
  EXPECT_EQ(raw_part(0).name(), "first");
  EXPECT_EQ(raw_part(1).name(), "last");
  EXPECT_EQ(raw_part(0).elements.size(), 1u);
  EXPECT_EQ(raw_part(1).elements.size(), 2u);
  ASSERT_TRUE(run_import(dvk_stream, "title\n1 0 1\n1 0 0 0\n1 my part\n").ok);
  EXPECT_EQ(raw_part(0).name(), "my_part");
}

TEST_F(ImportFormats, DvkExportImportMergeGivesTheSameFile) {
  const std::string dir = make_temp_dir(), first = dir + "/first.dvk", second = dir + "/second.dvk";
  ASSERT_TRUE(build("set tolerance 1e-9\nset ptolerance 1e-9\nset element_type quads\n"
                    "plate deck 3 2  0 0 0  3 0 0  3 2 0  0 2 0\n"
                    "set element_type tri_alt\nplate side 3 2  0 0 0  3 0 0  3 0 1.5  0 0 1.5\n"
                    "line rail 4  0 2 0  0 2 3\n"
                    "set element_type quads\ncylinder drum 8 2  1 0 4  1 360 4  1 360 5  1 0 5\n"));
  ASSERT_TRUE(export_dvk_mesh(first.c_str(), true));
  ASSERT_TRUE(run_import(dvk_stream, read_file(first)).ok);
  EXPECT_EQ(Grid::gGrids.size(), 4u);
  merge_grid_pts();
  renumber_grid_pts();
  ASSERT_TRUE(export_dvk_mesh(second.c_str(), true));
  EXPECT_GT(read_file(first).size(), 1000u);
  EXPECT_EQ(read_file(first), read_file(second));
}

namespace {
// "1<tail>2<tail>...": n lines numbered from 1.
std::string numbered_lines(int n, const std::string& tail) {
  std::string text;
  for (int k = 1; k <= n; ++k) text += std::to_string(k) + tail;
  return text;
}
}  // namespace

// Counts are checked before anything is made, and elements may only name existing points;
// a failed import leaves no part.
TEST_F(ImportFormats, DvkFailuresAreDescribedOnStandardError) {
  const std::string head = "title\n2 2 2\n1 0 0 0\n2 1 0 0\n";
  const std::string again = "the following values may not have been correctly read:\n\t";
  const struct {
    std::string text, message;
  } rows[] = {
      {"title\n-1 0 1\n", ": negative count in the header (-1 0 1)\n"},
      {"title\n1 1 0\n1 0 0 0\nbar 1 2 1\n1 1\n", ": 1 elements declared but no group to hold them\n"},
      {"title\n1 0 0\n1 0 0 0\n1 a\n", ": group lines follow but the header declares no groups\n"},
      {read_file(PELGROVE_TEST_DATA "/dvk_huge_counts.dvk"),
       ": the header declares 2000000000 points and 1 groups, more than the 76 bytes that follow can hold\n"},
      // a title line pads the file, but only point and group lines count
      {std::string(300000, 't') + "\n1000 0 1000\n" + numbered_lines(1000, " 0 0 0\n") + numbered_lines(1000, " a\n"),
       ": 1000 parts of 1000 points each are out of proportion to a file of 15787 bytes (counting its point and group "
       "lines only)\n"},
      {"title\n2 0 1\n1 0 0 0\n3 0 0 0\n1 a\n", " at point #2: the line is numbered 3\n"},
      {head + "bar 1 2", " at element declaration for #1\n" + again + "bar 1 2\n"},
      {head + "triangle 1 4 1\n1 2 1 2\n", " at element declaration #1\n'triangle' is an unknown type\n"},
      {head + "bar 1 2 1\n1 x\n", " at bar points for #1\n" + again + "1 0\n"},
      {head + "bar 1 2 1\n1 2\ntriangle 2 3 2\n1 2\n", " at triangle points for #2\n" + again + "1 2 0\n"},
      {head + "quadrilateral 1 4 1\n", " at quadrilateral points for #1\n" + again + "0 0 0 0\n"},
      {head + "bar 1 2 1\n1 3\n1 a\n2 b\n", " at bar points for #1\npoint number 3 is not one of the 2 points\n"},
      {head + "bar 1 2 1\n0 1\n1 a\n2 b\n", " at bar points for #1\npoint number 0 is not one of the 2 points\n"},
      {head + "bar 1 2 1\n1 2\nbar 2 2 2\n2 1\n1 a\n2\n", " at group line #2: expected a number and a name\n"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.message);
    const ImportRun run = run_import(dvk_stream, r.text);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.err, "reading DVK file failed" + r.message);
    EXPECT_TRUE(Grid::gGrids.empty());
  }
}
