// Batch runs of hostile scripts: each ends with a message and exit status 1, and a run that
// stopped for lack of memory leaves no mesh file behind.
#include "support/test_support.h"

#include <string>

namespace {
bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// An address-space limit cannot be combined with AddressSanitizer's shadow memory.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kLimitsWork = false;
#else
constexpr bool kLimitsWork = true;
#endif
}  // namespace

TEST(BatchLimits, HostileScriptsEndWithAMessage) {
  struct Row {
    const char* id;
    const char* script;
    long limit_kb;  // 0: none
    std::vector<std::string> err;
    bool mesh_written;
  } rows[] = {
      // 6 faces of 8103 x 8103 points: far more than 4 GB.
      {"library part too big", "box 0 1 2 8102\n", 4000000,
       {"ERROR: while parsing unnamed.bottom, builder plate failed", "lattice of 8102 x 8102 cells: 65658609 points need",
        "pelgrove: out.dvk not written: the model does not fit in memory"},
       false},
      {"endless device", "include /dev/zero\n", 0, {"s.vmf:1: '/dev/zero' is not a regular file"}, true},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.id);
    if (r.limit_kb && !kLimitsWork) continue;
    const std::string dir = make_temp_dir();
    write_file(dir + "/s.vmf", r.script);
    const std::vector<std::string> args = {"--run", "s.vmf", "out.dvk"};
    ProcessResult p = r.limit_kb ? run_pelgrove_limited(args, r.limit_kb, dir) : run_pelgrove(args, dir);
    EXPECT_EQ(p.status, 1);
    for (const std::string& e : r.err) EXPECT_TRUE(contains(p.err, e)) << p.err;
    EXPECT_EQ(read_file(dir + "/out.dvk").empty(), !r.mesh_written);
  }
}
