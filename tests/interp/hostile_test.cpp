// Scripts as hostile input: runaway stacks, files that never end or block, words holding
// NUL bytes, lattices beyond the memory left. Each must end the run with one message.
#include "grid/Grid.h"
#include "grid/memory.h"
#include "script/scriptstream.h"
#include "support/script_runner.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

using namespace std::string_literals;

namespace {

class HostileScripts : public ScriptTest {
protected:
  void TearDown() override {
    limit_memory(0);
    limit_commands(0);
    ScriptTest::TearDown();
  }
};

std::string full(const std::string& command) {
  return "1: '" + command + "' would keep more than 100000 saved entries (is a pop missing?)";
}

// The process's resident memory, from /proc/self/statm.
double resident_bytes() {
  long size = 0, rss = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &size, &rss) != 2) rss = 0;
    std::fclose(f);
  }
  return (double)rss * (double)sysconf(_SC_PAGESIZE);
}

}  // namespace

TEST_F(HostileScripts, EndWithOneMessage) {
  const std::string dir = make_temp_dir();
  const std::string fifo = dir + "/pipe.vmf", huge = dir + "/huge.vmf";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  write_file(huge, "");
  ASSERT_EQ(truncate(huge.c_str(), (256L << 20) + 1), 0);  // sparse: no disk space used
  struct Row {
    std::string script;
    std::string message;  // "line: text", the start of the one message raised
  } rows[] = {
      // every point of every level would retry the level below: 2^256 runs (before the
      // rows that leave the process larger than the memory budget)
      {"define f 0 { pline { f } 1 [s] [0] [0] }\nf", "1: script nesting deeper than 256 levels"},
      // Frames copy the whole table (15 values here): their values run out before their number.
      {"repeat 1e12 { push_frame }", "1: 'push_frame' would keep more than 1000000 saved values (is a pop_frame missing?)"},
      {"repeat 1e12 { push_matrix }", full("push_matrix")},
      {"repeat 1e12 { push_name }", full("push_name")},
      {"repeat 1e12 { push_rgba }", full("push_rgba")},
      {"repeat 1e12 { push a }", full("push")},
      {"repeat 1e12 { mx 1 }", "1: the placement would hold more than "},

      {"include /dev/zero", "1: '/dev/zero' is not a regular file"},
      {"\ninclude " + fifo, "2: '" + fifo + "' is not a regular file"},
      {"import dvk " + fifo, "1: ERROR: while parsing dvk, builder import failed with message:\nfailed to import "
                             "dovrekin file:\n" + fifo + "\nnot a regular file"},
      {"include " + huge, "1: '" + huge + "' is larger than 256 MiB, the most a script may hold"},
      {"set a\0b 1"s, "1: Invalid parameter Name 'a\0b'\nparameter names"s},
      {"include " + huge + "\0x"s, "1: include: the file name '" + huge + "\0x' holds a NUL byte"s},
      {"fro\0b 1"s, "1: ERROR: did not find a builder called 'fro\0b'\n"s},
      {"repeat 1 {\n set x 1 }\nswitch 1 { x\0y }"s, "3: Error in 'switch' command\nEncountered 'x\0y'\n"s},
      {"plate p 2000 2000  0 0 0  1 0 0  1 1 0  0 1 0",
       "1: ERROR: while parsing p, builder plate failed with message:\nexpecting M N  a b c d\n"
       "lattice of 2000 x 2000 cells: 4004001 points need about"},
  };
  // 50 MB beyond what the process holds already (much more under a sanitizer): far below the
  // 400 MB the last row's lattice needs.
  limit_memory(resident_bytes() + 50e6);
  limit_commands(1000000);  // bounds a row that would otherwise never end
  for (const auto& r : rows) {
    SCOPED_TRACE(r.script);
    reset_script_state();
    sink.clear();
    EXPECT_FALSE(run(r.script));
    ASSERT_EQ(sink.entries.size(), 1u);
    const std::string seen = std::to_string(sink.entries[0].where.line) + ": " + sink.entries[0].text;
    EXPECT_EQ(seen.substr(0, r.message.size()), r.message) << seen;
  }
  EXPECT_TRUE(out_of_memory());  // the lattice refused for its size
  EXPECT_TRUE(Grid::gGrids.empty());
}

// Every level of nested blocks reads the one script string; none holds a copy.
TEST_F(HostileScripts, NestedBlocksShareTheScriptText) {
  scriptstream_priv s(std::string("repeat 1 { if 1 {set a 1} }"), {"t.vmf", 1});
  std::string word;
  s >> word >> word;
  ScriptText outer, inner;
  ASSERT_TRUE(brace_contents(s, outer));
  scriptstream_priv nested(outer, {"t.vmf", 1});
  nested >> word >> word;
  ASSERT_TRUE(brace_contents(nested, inner));
  EXPECT_EQ(inner.view(), "set a 1");
  EXPECT_EQ(inner.whole, outer.whole);
  EXPECT_TRUE(run_block(inner, {"t.vmf", 1}));  // the last word, though unterminated, is read whole
  EXPECT_EQ(gParameters["a"], 1);
}

// A host such as a fuzzer bounds the commands of a run; the count starts again with each run.
TEST_F(HostileScripts, CommandLimitEndsEndlessLoops) {
  limit_commands(50);
  EXPECT_FALSE(run("repeat 1e12 { set a [a+1] }"));
  EXPECT_EQ(alerts(), std::vector<std::string>{"more than 50 commands in one run"});
  EXPECT_EQ(gParameters["a"], 49);  // the repeat itself was the first command
  reset_script_state();
  EXPECT_TRUE(run("repeat 49 { set b 1 }"));
}
