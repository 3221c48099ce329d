// The reference the program offers: `--list` prints every entry of its live tables; the
// installed handbook has the anchor the generated help page links to for every command
// and builder, a page for every other builder; documented scripts and examples run.
#include "support/test_support.h"

#include "builders/builders.h"
#include "interp/interp.h"
#include "script/functions.h"

#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
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

// The builders the help page links into the handbook; every other builder has its own page.
const std::set<std::string> kHandbookBuilders = {"line",  "arc",      "orbit",  "pline",  "parc",      "porbit",
                                                  "plate", "cylinder", "sphere", "pplate", "pcylinder", "psphere"};

std::string unescape_html(std::string text) {
  const std::pair<const char*, const char*> entities[] = {{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}};
  for (const auto& [entity, plain] : entities)
    for (size_t at; (at = text.find(entity)) != std::string::npos;) text.replace(at, strlen(entity), plain);
  return text;
}

// The first number or count named `key` in a --check=json report (the model's before its
// parts'), -1 when missing.
long reported(const std::string& json, const std::string& key) {
  std::smatch m;
  const std::regex number("\"" + key + "\":(?:\\{\"count\":)?(\\d+)");
  return std::regex_search(json, m, number) ? std::stol(m[1]) : -1;
}
}  // namespace

TEST_F(Docs, ListPrintsEveryEntryOfEachTable) {
  std::map<std::string, std::vector<std::string>> lines;  // table -> texts that must each begin a line
  for (const auto& [name, command] : commands) lines["commands"].push_back(command.usage);
  for (const auto& [name, builder] : gBuilders) lines["builders"].push_back(name + " ");
  for (const std::string& name : builtin_function_names()) lines["functions"].push_back(name + " ");
  for (const auto& [name, doc] : library_definitions())
    lines["parts"].insert(lines["parts"].end(), {name + " (", "   " + doc + "\n"});
  lines["parameters"] = {"element_type            1 (tri0)\n", "tolerance               0\n", "units "};
  for (const auto& [table, texts] : lines) {
    SCOPED_TRACE(table);
    ProcessResult p = run_pelgrove({"--list", table});
    EXPECT_EQ(p.status, 0) << p.err;
    EXPECT_GT(texts.size(), 2u);
    for (const std::string& line : texts) EXPECT_TRUE(starts_a_line(p.out, line)) << line << "\n" << p.out;
    EXPECT_FALSE(starts_a_line(p.out, "preloading"));
  }
}

TEST_F(Docs, HandbookHasAnAnchorForEveryCommandAndBuilderAndAPageForTheOthers) {
  const std::string handbook = read_file(kDocDir + "/Pelgrove_Handbook.html");
  std::set<std::string> anchors;  // every id (or name) of the page's elements
  const std::regex anchor(R"#((?:id|name)="([^"]+)")#");
  for (std::sregex_iterator m(handbook.begin(), handbook.end(), anchor), end; m != end; ++m) anchors.insert((*m)[1]);
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

// Every script in examples/, every complete example of the handbook and every README code
// block that begins with a comment line runs cleanly in batch mode. Each example is checked
// with --fail-on for every kind of finding but those it is meant to have (open rims, the
// three faces along a stiffener's foot, the warped cells of a transition on a curved wall),
// and it does have those; its surfaces face consistently.
TEST_F(Docs, DocumentedScriptsRunAndFaceConsistently) {
  // Example -> the kinds it is meant to have. A new example must be entered here.
  const std::map<std::string, std::set<std::string>> examples = {
      {"box.vmf", {}},
      {"flanged_pipe.vmf", {"free-edges", "warps"}},
      {"graded_plate.vmf", {}},
      {"pipe_elbow.vmf", {"free-edges"}},
      {"stiffened_panel.vmf", {"free-edges", "non-manifold"}},
      {"tour_control.vmf", {"free-edges"}},
      {"tour_parts.vmf", {"free-edges"}},
      {"tour_profile.vmf", {"free-edges"}},
      {"transition.vmf", {"free-edges"}},
      {"vessel_nozzle.vmf", {}},
  };
  const char* const kinds[] = {"free-edges", "non-manifold", "flips",       "folds",     "warps",
                               "t-joints",   "near-misses",  "collapsed",   "zero-area", "non-finite"};
  std::vector<std::pair<std::string, std::string>> scripts;  // where from, text
  for (const auto& f : std::filesystem::directory_iterator(kSource + "/examples"))
    if (f.path().extension() == ".vmf") scripts.emplace_back(f.path().filename(), read_file(f.path()));
  const std::regex example(R"(<pre class="example">\n?([^]*?)</pre>)");
  for (const auto& page : std::filesystem::directory_iterator(kDocDir)) {
    const std::string html = read_file(page.path());
    for (std::sregex_iterator m(html.begin(), html.end(), example), end; m != end; ++m)
      scripts.emplace_back(page.path().filename(), unescape_html((*m)[1]));
  }
  std::istringstream readme(read_file(kSource + "/README.md") + "\n.\n");  // the last line ends a last block
  std::string block;
  for (std::string line; std::getline(readme, line);) {
    if (line.rfind("    ", 0) == 0) block += line.substr(4) + "\n";
    else if (!block.empty()) {
      if (block[0] == '#') scripts.emplace_back("README.md", block);
      block.clear();
    }
  }
  std::map<std::string, int> count;
  for (const auto& [from, script] : scripts) {
    SCOPED_TRACE(from + ":\n" + script);
    ++count[from.find(".html") != std::string::npos ? "handbook" : from];
    const std::string dir = make_temp_dir();
    write_file(dir + "/s.vmf", script);
    std::vector<std::string> args = {"--check=json", "--run", "s.vmf", "out.dvk"};
    const auto allowed = examples.find(from);
    if (allowed != examples.end()) {
      std::string fail_on;
      for (const char* kind : kinds)
        if (!allowed->second.count(kind)) fail_on += (fail_on.empty() ? "" : ",") + std::string(kind);
      args.insert(args.begin(), {"--fail-on", fail_on});
    }
    const ProcessResult p = run_pelgrove(args, dir);
    EXPECT_EQ(p.status, 0) << p.err;
    if (allowed == examples.end()) continue;
    EXPECT_EQ(reported(p.out, "opposite_orientation"), 0);
    EXPECT_GT(reported(p.out, "triangles") + reported(p.out, "quadrilaterals"), 0);
    EXPECT_EQ(reported(p.out, "free_edges") > 0, allowed->second.count("free-edges") == 1);
    EXPECT_EQ(reported(p.out, "nonmanifold_edges") > 0, allowed->second.count("non-manifold") == 1);
    EXPECT_EQ(reported(p.out, "warps") > 0, allowed->second.count("warps") == 1);
  }
  EXPECT_GT(count["handbook"], 10);
  EXPECT_GE(count["README.md"], 2);
  for (const auto& [name, meant] : examples) EXPECT_EQ(count[name], 1) << name << " is missing";
  EXPECT_EQ(scripts.size() - count["handbook"] - count["README.md"], examples.size()) << "an example not in the table";
}

// The Cookbook's variants of its examples, pinned with --D as a parameter study would: a
// stiffener pitch off the skin's lattice lines leaves T-joints; a bend whose end frame is
// rounded still joins its pipes; the vessel's window of other sizes still closes, unless the
// nozzle does not fit in it.
TEST_F(Docs, CookbookVariantsBehaveAsDescribed) {
  const std::string all_but_open = "non-manifold,flips,folds,warps,t-joints,near-misses,collapsed,zero-area,non-finite";
  const struct { const char* example; std::vector<std::string> args; int status; const char* says; } rows[] = {
      {"stiffened_panel.vmf", {"--D", "pitch=0.14", "--fail-on", "t-joints"}, 1, "t-joints: the mesh check found 75"},
      {"stiffened_panel.vmf", {"--D", "every=2", "--fail-on", "t-joints"}, 0, ""},
      {"pipe_elbow.vmf", {"--D", "bend=37.3", "--fail-on", all_but_open}, 0, ""},
      {"pipe_elbow.vmf", {"--D", "bend=180", "--D", "nt=12", "--fail-on", all_but_open}, 0, ""},
      {"vessel_nozzle.vmf", {"--D", "k=4", "--D", "w=0.3", "--fail-on", "any"}, 0, ""},
      {"vessel_nozzle.vmf", {"--D", "nt=64", "--D", "r=0.15", "--fail-on", "any"}, 0, ""},
      // a nozzle wider than its window: the window folds over the hole
      {"vessel_nozzle.vmf", {"--D", "nt=64", "--D", "r=0.3", "--fail-on", "folds"}, 1, "folds: the mesh check found"},
      {"graded_plate.vmf", {"--D", "ratio=1.5", "--D", "n=7", "--fail-on", "any"}, 0, ""},
      // the top with the front's ratio instead of its mirror: both seams open, 12 edges a side
      {"graded_plate.vmf", {"--D", "top=5", "--fail-on", "free-edges"}, 1, "free-edges: the mesh check found 48"},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args = row.args;
    args.insert(args.end(), {"--run", kSource + "/examples/" + row.example, "out.dvk"});
    const ProcessResult p = run_pelgrove(args);
    SCOPED_TRACE(std::string(row.example) + " " + row.args[1] + "\n" + p.err);
    EXPECT_EQ(p.status, row.status);
    EXPECT_TRUE(contains(p.err, row.says));
  }
}
