#include "meshio/dvk.h"

#include "grid/MeshStructs.h"
#include "grid/RawGrid.h"
#include "interp/interp.h"
#include "merge/PtMerger.h"
#include "support/test_support.h"

#include <iostream>
#include <sstream>
#include <string>

namespace {

// Redirects a standard stream into `text` for the life of the object.
struct Capture {
  explicit Capture(std::ostream& s) : stream(s), old(s.rdbuf(text.rdbuf())) {}
  ~Capture() { stream.rdbuf(old); }
  std::ostream& stream;
  std::ostringstream text;
  std::streambuf* old;
};

class DvkImportTest : public ScriptTest {
protected:
  bool import_text(const std::string& text) {
    reset_script_state();
    Capture out(std::cout), err(std::cerr);
    std::istringstream in(text);
    const bool ok = DVK::import(in);
    stdout_text = out.text.str();
    stderr_text = err.text.str();
    return ok;
  }
  RawGrid& part(size_t k) { return dynamic_cast<RawGrid&>(*Grid::gGrids.at(k)); }
  std::string stdout_text, stderr_text;
};

const std::string HEAD = "title\n2 2 2\n1 0 0 0\n2 1 0 0\n";
const std::string AGAIN = "the following values may not have been correctly read:\n\t";

}  // namespace

// Every part holds all the points; elements keep their file numbers and point numbers.
TEST_F(DvkImportTest, EveryGroupBecomesAPartWithAllThePoints) {
  Capture out(std::cout);
  ASSERT_TRUE(import_dvk(PELGROVE_TEST_DATA "/dvk_three_groups.dvk"));
  EXPECT_EQ(out.text.str(), "reading verts... elements...\n");
  ASSERT_EQ(Grid::gGrids.size(), 3u);
  const std::string names[] = {"skin", "flap", "wire"};
  const size_t counts[] = {2, 1, 1};
  for (size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(part(k).name(), names[k]);
    EXPECT_EQ(part(k).mPts.at(5).z, 0.5);
    EXPECT_EQ(part(k).mPts.size(), 6u);
    EXPECT_EQ(part(k).elements.size(), counts[k]) << names[k];
  }
  const Mesh::Element& quad = part(1).elements[0];
  EXPECT_EQ(Mesh::basic_type(quad), Mesh::QUADRILATERAL);
  EXPECT_EQ(quad.id, 4u);
  EXPECT_EQ(quad.pts[2], 6u);
  EXPECT_EQ(Mesh::basic_type(part(2).elements[0]), Mesh::LINE);
  EXPECT_FALSE(import_dvk(PELGROVE_TEST_DATA "/dvk_no_such_file.dvk"));
}

TEST_F(DvkImportTest, ExportImportMergeGivesTheSameFile) {
  const std::string dir = make_temp_dir(), first = dir + "/first.dvk", second = dir + "/second.dvk";
  ASSERT_TRUE(run("set tolerance 1e-9\nset ptolerance 1e-9\nset element_type quads\n"
                  "plate deck 3 2  0 0 0  3 0 0  3 2 0  0 2 0\n"
                  "set element_type tri_alt\nplate side 3 2  0 0 0  3 0 0  3 0 1.5  0 0 1.5\n"
                  "line rail 4  0 2 0  0 2 3\n"
                  "set element_type quads\ncylinder drum 8 2  1 0 4  1 360 4  1 360 5  1 0 5\n"));
  merge_grid_pts();
  renumber_grid_pts();
  ASSERT_TRUE(export_dvk_mesh(first.c_str(), true));
  reset_script_state();
  Capture out(std::cout);
  ASSERT_TRUE(import_dvk(first));
  EXPECT_EQ(Grid::gGrids.size(), 4u);
  merge_grid_pts();
  renumber_grid_pts();
  ASSERT_TRUE(export_dvk_mesh(second.c_str(), true));
  const std::string a = read_file(first);
  EXPECT_GT(a.size(), 1000u);
  EXPECT_EQ(a, read_file(second));
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST_F(DvkImportTest, FailuresAreDescribedOnStandardError) {
  const struct {
    const char* id;
    std::string text, message;
  } rows[] = {
      {"counts unreadable", "title\n2 x 1\n",
       "reading DVK file failed: the second line must hold the counts of points, elements and groups\n"},
      {"point out of sequence", "title\n2 0 1\n1 0 0 0\n3 0 0 0\n1 a\n",
       "reading DVK file failed at point #2: the line is numbered 3\n"},
      {"declaration cut short", HEAD + "bar 1 2",
       "reading DVK file failed at element declaration for #1\n" + AGAIN + "bar 1 2\n"},
      {"triangle with four points", HEAD + "triangle 1 4 1\n1 2 1 2\n",
       "reading DVK file failed at element declaration #1\n'triangle' is an unknown type\n"},
      {"bar points", HEAD + "bar 1 2 1\n1 x\n", "reading DVK file failed at bar points for #1\n" + AGAIN + "1 0\n"},
      {"triangle points", HEAD + "bar 1 2 1\n1 2\ntriangle 2 3 2\n1 2\n",
       "reading DVK file failed at triangle points for #2\n" + AGAIN + "1 2 0\n"},
      {"quadrilateral points", HEAD + "quadrilateral 1 4 1\n",
       "reading DVK file failed at quadrilateral points for #1\n" + AGAIN + "0 0 0 0\n"},
      {"group line missing", HEAD + "bar 1 2 1\n1 2\nbar 2 2 2\n2 1\n1 a\n",
       "reading DVK file failed at group line #2: expected a number and a name\n"},
      {"blank in a group name", HEAD + "bar 1 2 1\n1 2\nbar 2 2 2\n2 1\n1 my part\n2 b\n",
       "reading DVK file failed at group line #2: expected a number and a name\n"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.id);
    EXPECT_FALSE(import_text(r.text));
    EXPECT_EQ(stderr_text, r.message);
    EXPECT_TRUE(Grid::gGrids.empty());  // a failed import leaves no part
  }
}

// Counts are checked before anything is made, and elements may only name existing points.
TEST_F(DvkImportTest, HostileFilesFailCleanly) {
  const struct {
    const char* id;
    std::string text, message_start;
  } rows[] = {
      {"negative count", "title\n-1 0 1\n", "reading DVK file failed: negative count"},
      {"elements without groups", "title\n1 1 0\n1 0 0 0\nbar 1 2 1\n1 1\n",
       "reading DVK file failed: 1 elements declared but no group"},
      {"group lines without groups", "title\n1 0 0\n1 0 0 0\n1 a\n",
       "reading DVK file failed: group lines follow but the header declares no groups"},
      {"more points than bytes", read_file(PELGROVE_TEST_DATA "/dvk_huge_counts.dvk"),
       "reading DVK file failed: the header declares 2000000000 points"},
      {"groups times points", "title\n1000 0 100000\n" + std::string(1000000, ' '),
       "reading DVK file failed: 100000 parts of 1000 points each are out of proportion"},
      {"point number beyond the points", HEAD + "bar 1 2 1\n1 3\n1 a\n2 b\n",
       "reading DVK file failed at bar points for #1\npoint number 3 is not one"},
      {"point number zero", HEAD + "bar 1 2 1\n0 1\n1 a\n2 b\n",
       "reading DVK file failed at bar points for #1\npoint number 0 is not one"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.id);
    EXPECT_FALSE(import_text(r.text));
    EXPECT_EQ(stderr_text.substr(0, r.message_start.size()), r.message_start);
  }
  import_text("title\n2000000000 1 1\n");  // rejected by its header: nothing made
  EXPECT_TRUE(Grid::gGrids.empty());
  // a 16 KB file whose header claims 1024 points and 8192 groups
  EXPECT_FALSE(import_text(read_file(PELGROVE_TEST_DATA "/malformed/groups_times_points.dvk")));
  EXPECT_EQ(stderr_text.substr(0, 43), "reading DVK file failed: the header declare");
}

TEST_F(DvkImportTest, GroupNumbersOutsideTheRangeSelectTheLastGroup) {
  ASSERT_TRUE(import_text("title\n2 3 2\n1 0 0 0\n2 1 0 0\n"
                          "bar 1 2 0\n1 2\nbar 2 2 7\n2 1\nbar 3 2 1\n1 2\n9 last\n1 first\n"));
  EXPECT_EQ(stderr_text, "");
  EXPECT_EQ(stdout_text, "reading verts... elements...\n");
  EXPECT_EQ(part(0).name(), "first");
  EXPECT_EQ(part(1).name(), "last");
  EXPECT_EQ(part(0).elements.size(), 1u);
  EXPECT_EQ(part(1).elements.size(), 2u);
  ASSERT_TRUE(import_text("title\n1 0 1\n1 0 0 0\n1 my part\n"));  // a blank only shortens the last name
  EXPECT_EQ(part(0).name(), "my");
}
