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
