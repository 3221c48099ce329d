// Every script in examples/ runs cleanly in batch mode, its surfaces face consistently
// (neighbouring elements traverse their shared edge in opposite directions), and the
// ones meant to be closed have no free edge.
#include "support/test_support.h"

#include <filesystem>
#include <map>
#include <string>

namespace {
// Example -> closed? A new example must be entered here.
const std::map<std::string, bool> kExamples = {
    {"box.vmf", true},           {"flanged_pipe.vmf", false}, {"tour_control.vmf", false},
    {"tour_parts.vmf", false},   {"tour_profile.vmf", false}, {"transition.vmf", false},
};
}  // namespace

TEST(Examples, RunFaceConsistentlyAndCloseWhereMeantTo) {
  int seen = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(PELGROVE_SOURCE_DIR) + "/examples")) {
    if (entry.path().extension() != ".vmf") continue;
    const std::string name = entry.path().filename();
    SCOPED_TRACE(name);
    auto row = kExamples.find(name);
    ASSERT_NE(row, kExamples.end()) << "not in the example table";
    ++seen;
    std::string dir = make_temp_dir();
    ProcessResult p = run_pelgrove({"--run", entry.path().string(), "out.dvk"}, dir);
    EXPECT_EQ(p.status, 0) << p.err;
    EdgeReport r = dvk_edge_report(read_file(dir + "/out.dvk"));
    EXPECT_GT(r.surface_elements, 0);
    EXPECT_EQ(r.same_direction_edges, 0);
    EXPECT_EQ(r.crowded_edges, 0);
    if (row->second) EXPECT_EQ(r.free_edges, 0);
    else EXPECT_GT(r.free_edges, 0);
  }
  EXPECT_EQ(seen, static_cast<int>(kExamples.size()));
}

// The edge check itself: a flipped neighbour and an open border are both seen.
TEST(Examples, EdgeReportSeesFlippedNeighboursAndFreeEdges) {
  const struct {
    const char* id;
    const char* elements;  // declaration and point lines after a 6-point header
    int same, free;
  } rows[] = {
      {"consistent pair", "quadrilateral 1 4 1\n1 2 5 4\nquadrilateral 2 4 1\n2 3 6 5\n", 0, 6},
      {"flipped pair", "quadrilateral 1 4 1\n1 2 5 4\nquadrilateral 2 4 1\n2 5 6 3\n", 1, 6},
  };
  std::string head = "no title\n6 2 1\n";
  for (int i = 1; i <= 6; ++i) head += std::to_string(i) + " 0 0 0\n";
  for (const auto& r : rows) {
    SCOPED_TRACE(r.id);
    EdgeReport rep = dvk_edge_report(head + r.elements + "  1 p\n");
    EXPECT_EQ(rep.surface_elements, 2);
    EXPECT_EQ(rep.same_direction_edges, r.same);
    EXPECT_EQ(rep.free_edges, r.free);
  }
}
