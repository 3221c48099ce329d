// The reference the program offers: `--list` prints every entry of its live tables, and the
// installed handbook has the anchor the generated help page links to for every command
// and builder, a page for every other builder, and examples that run.
#include "support/test_support.h"

#include "builders/builders.h"
#include "interp/interp.h"
#include "script/functions.h"

#include <filesystem>
#include <regex>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {
const std::string kSource = PELGROVE_SOURCE_DIR;
const std::string kDocDir = kSource + "/share/doc/pelgrove";

class Docs : public ScriptTest {};

bool starts_a_line(const std::string& text, const std::string& word) {
  return text.rfind(word, 0) == 0 || text.find("\n" + word, 0) != std::string::npos;
}

// Names and first "##" line of every definition in the installed part library.
std::vector<std::pair<std::string, std::string>> library_definitions() {
  std::vector<std::pair<std::string, std::string>> defs;
  const std::regex define(R"(define\s+(\w+)[^{]*\{\s*\n\s*##([^\n]*))");
  for (const auto& f : std::filesystem::directory_iterator(kSource + "/share/etc/pelgrove")) {
    std::string text = read_file(f.path());
    for (std::sregex_iterator m(text.begin(), text.end(), define), end; m != end; ++m)
      defs.emplace_back((*m)[1], (*m)[2]);
  }
  return defs;
}
}  // namespace

TEST_F(Docs, ListPrintsEveryEntryOfEachTable) {
  std::vector<std::string> command_usages, builder_names, part_lines;
  for (const auto& [name, command] : commands) command_usages.push_back(command.usage);
  for (const auto& [name, builder] : gBuilders) builder_names.push_back(name + " ");
  for (const auto& [name, doc] : library_definitions()) {
    part_lines.push_back(name + " (");
    part_lines.push_back("   " + doc + "\n");
  }
  std::vector<std::string> function_names;
  for (const std::string& name : builtin_function_names()) function_names.push_back(name + " ");
  const struct {
    const char* table;
    std::vector<std::string> lines;  // each must begin a line of the output
  } rows[] = {
      {"commands", command_usages},
      {"builders", builder_names},
      {"functions", function_names},
      {"parts", part_lines},
      {"parameters", {"element_type            1 (tri0)\n", "tolerance               0\n", "units "}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.table);
    ProcessResult p = run_pelgrove({"--list", r.table});
    EXPECT_EQ(p.status, 0) << p.err;
    EXPECT_GT(r.lines.size(), 2u);
    for (const std::string& line : r.lines) EXPECT_TRUE(starts_a_line(p.out, line)) << line << "\n" << p.out;
    EXPECT_FALSE(starts_a_line(p.out, "preloading"));
  }
}

TEST(Listing, UnknownTableIsACommandLineErrorNamingTheValidOnes) {
  ProcessResult p = run_pelgrove({"--list", "gizmos"});
  EXPECT_EQ(p.status, 2);
  EXPECT_EQ(p.out, "");
  EXPECT_NE(p.err.find("unknown table 'gizmos'; valid tables: builders commands functions parts parameters\n"),
            std::string::npos)
      << p.err;
  EXPECT_EQ(run_pelgrove({"--list"}).status, 2);
}

namespace {
// The builders the help page links into the handbook; every other builder has its own page.
const std::set<std::string> kHandbookBuilders = {"line",  "arc",      "orbit",  "pline",  "parc",      "porbit",
                                                  "plate", "cylinder", "sphere", "pplate", "pcylinder", "psphere"};

// Every id (or name) of the page's elements.
std::set<std::string> page_anchors(const std::string& html) {
  std::set<std::string> anchors;
  const std::regex anchor(R"#((?:id|name)="([^"]+)")#");
  for (std::sregex_iterator m(html.begin(), html.end(), anchor), end; m != end; ++m) anchors.insert((*m)[1]);
  return anchors;
}

std::string unescape_html(std::string text) {
  const std::pair<const char*, const char*> entities[] = {{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}};
  for (const auto& [entity, plain] : entities)
    for (size_t at; (at = text.find(entity)) != std::string::npos;) text.replace(at, strlen(entity), plain);
  return text;
}
}  // namespace

TEST_F(Docs, HandbookHasAnAnchorForEveryCommandAndBuilderAndAPageForTheOthers) {
  const std::string handbook = read_file(kDocDir + "/Pelgrove_Handbook.html");
  const std::set<std::string> anchors = page_anchors(handbook);
  std::vector<std::string> names;
  for (const auto& [name, command] : commands) names.push_back(name);
  for (const auto& [name, builder] : gBuilders) names.push_back(name);
  names.insert(names.end(), kHandbookBuilders.begin(), kHandbookBuilders.end());
  for (const std::string& name : names) EXPECT_TRUE(anchors.count("L_" + name)) << name;
  for (const auto& [name, builder] : gBuilders) {
    if (kHandbookBuilders.count(name)) continue;
    EXPECT_TRUE(std::filesystem::exists(kDocDir + "/" + name + ".html")) << name;
  }
  // Every part of the library has its row in the handbook's part table.
  for (const auto& [name, doc] : library_definitions())
    EXPECT_NE(handbook.find("<tr><td><code>" + name + "</code></td>"), std::string::npos) << name;
  // The handbook's own links lead somewhere too.
  const std::regex link(R"#(href="#([^"]+)")#");
  for (std::sregex_iterator m(handbook.begin(), handbook.end(), link), end; m != end; ++m)
    EXPECT_TRUE(anchors.count((*m)[1])) << "#" << (*m)[1];
}

// Every complete example of the documentation runs cleanly in batch mode.
TEST(Handbook, ExamplesRun) {
  const std::regex example(R"(<pre class="example">\n?([^]*?)</pre>)");
  int count = 0;
  for (const auto& page : std::filesystem::directory_iterator(kDocDir)) {
    const std::string html = read_file(page.path());
    for (std::sregex_iterator m(html.begin(), html.end(), example), end; m != end; ++m) {
      const std::string script = unescape_html((*m)[1]);
      SCOPED_TRACE(page.path().filename().string() + ":\n" + script);
      std::string dir = make_temp_dir();
      write_file(dir + "/example.vmf", script);
      ProcessResult p = run_pelgrove({"--run", "example.vmf", "out.dvk"}, dir);
      EXPECT_EQ(p.status, 0) << p.err;
      ++count;
    }
  }
  EXPECT_GT(count, 10);
}

// README code blocks that begin with a comment line are complete scripts; each runs cleanly.
TEST(Readme, ScriptBlocksRun) {
  std::istringstream in(read_file(kSource + "/README.md"));
  std::vector<std::string> scripts(1);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("    ", 0) == 0) scripts.back() += line.substr(4) + "\n";
    else if (!scripts.back().empty()) scripts.emplace_back();
  }
  int count = 0;
  for (const std::string& script : scripts) {
    if (script.empty() || script[0] != '#') continue;
    SCOPED_TRACE(script);
    std::string dir = make_temp_dir();
    write_file(dir + "/readme.vmf", script);
    ProcessResult p = run_pelgrove({"--run", "readme.vmf", "out.dvk"}, dir);
    EXPECT_EQ(p.status, 0) << p.err;
    ++count;
  }
  EXPECT_GE(count, 2);
}
