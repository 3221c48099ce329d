// gtest first: the toolkit headers bring X11 macros (None, Bool) that clash with its names.
#include <gtest/gtest.h>

#include "ui/help_pages.h"

#include "builders/builders.h"
#include "interp/interp.h"
#include "interp/library.h"
#include "script/parameters.h"
#include "support/test_support.h"
#include "support/ui_support.h"
#include "ui/Fl_Emacs.h"
#include "ui/main_window.h"
#include "ui/messages.h"

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

class Help : public UiTest {};

TEST_F(Help, ParameterListShowsElementTypesAsWords) {
  const struct { double type; const char* word; } rows[] = {
      {0, "quads"}, {1, "tri0"}, {2, "tri1"}, {3, "tri2"}, {4, "tri3"}, {7, "tri1"}, {0.5, "tri1"}};
  for (const auto& row : rows) {
    gParameters["element_type"] = row.type;
    EXPECT_TRUE(contains(parameter_list_text(), "element_type  = " + std::string(row.word) + "\n")) << row.type;
  }
  gParameters["units"] = 2.5;
  pick("Info/Show Recent Parameters");
  EXPECT_EQ(sink.entries.back().title, "Predefined Parameters and their defaults");
  EXPECT_TRUE(contains(sink.entries.back().text, "units  = 2.500000\n"));
  pick("Info/Show Predefined");  // back to the start-of-run values
  EXPECT_TRUE(contains(sink.entries.back().text, "units  = 1.000000\n"));
  EXPECT_EQ(gParameters["units"], 1);
}

TEST_F(Help, ListWindowShowsOneLinePerTextLine) {
  set_message_sink(nullptr);
  fl_show_list("@b@ctitle\nsecond\n\nlast", "Some List");
  set_message_sink(&sink);
  EXPECT_EQ(shown_list_text(), "@b@ctitle\nsecond\n\nlast\n");
  pick("Info/Show Editor Keys");
  EXPECT_EQ(sink.entries.back().title, "Editor Keys");
  EXPECT_EQ(sink.entries.back().text, Fl_Emacs::key_list_text());
}

TEST_F(Help, BuilderPageEscapesUsageAndListsDocumentedFunctions) {
  gBuilders["zz_probe"] = Builder("zz_probe", [](std::string, scriptstream&, std::string&) { return true; });
  std::string text = "define zz_fn { # makes <things>\n set q 1 }\n";
  start_script(text, "doc.vmf");
  std::string page = builder_page_html();
  gBuilders.erase("zz_probe");
  gLibraries.erase("zz_fn");
  gLibraries.erase("zz_fn_doc");
  for (const char* part : {"set &lt;parameter_name&gt; &lt;parameter_value&gt;", "<title>PELGROVE Commands</title>",
                           "charset=ISO-8859-1", "makes &lt;things&gt;"})
    EXPECT_TRUE(contains(page, part)) << part;
  EXPECT_FALSE(contains(page, "<parameter_name>"));
  EXPECT_FALSE(contains(page, "zz_fn_doc"));
  // Built-ins link into the handbook, first, in their fixed order; others to their own page.
  EXPECT_LT(page.find("#L_line\""), page.find("#L_psphere\""));
  EXPECT_LT(page.find("#L_psphere\""), page.find("zz_probe.html\""));
  for (const char* once : {"href=\"#user_def__zz_fn\"", "name=\"user_def__zz_fn\""}) {
    EXPECT_TRUE(contains(page, once)) << once;
    EXPECT_EQ(page.find(once), page.rfind(once)) << once;  // listed once
  }
}

TEST_F(Help, PageIsWrittenBesideNoPlantedLink) {
  std::string tmp = dir + "/tmp";
  fs::create_directories(tmp);
  setenv("TMP", tmp.c_str(), 1);
  EXPECT_EQ(write_help_page("one"), tmp + "/pelgrove_help.html");
  EXPECT_EQ(read_file(tmp + "/pelgrove_help.html"), "one");
  fs::remove(tmp + "/pelgrove_help.html");
  write_file(dir + "/victim", "keep");
  fs::create_symlink(dir + "/victim", tmp + "/pelgrove_help.html");
  std::string path = write_help_page("two");
  EXPECT_EQ(read_file(dir + "/victim"), "keep");
  EXPECT_EQ(fs::path(path).filename(), "pelgrove_help.html");
  EXPECT_NE(fs::path(path).parent_path(), fs::path(tmp));
  EXPECT_EQ(read_file(path), "two");
  setenv("TMP", (dir + "/missing").c_str(), 1);
  EXPECT_EQ(write_help_page("three"), "");
  show_builder_page();
  EXPECT_EQ(alerts(), std::vector<std::string>{"could not create " + dir +
                                               "/missing/pelgrove_help.html\ndefine environment variable TMP or "
                                               "TEMP to specify an alternate directory"});
  unsetenv("TMP");
  unsetenv("TEMP");
  EXPECT_EQ(help_page_dir(), "/tmp");
}

TEST_F(Help, BrowserGetsTheAddressAsOneQuotedWord) {
  std::string browser = dir + "/browser.sh", args = dir + "/args";
  write_file(browser, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > '" + args + "'\n");
  fs::permissions(browser, fs::perms::owner_all);
  setenv("BROWSER", browser.c_str(), 1);
  const std::string page = dir + "/a b'$(touch pwned);x.html";
  launch_html(page);
  EXPECT_EQ(wait_for_text(args, ".html\n", 2), "1\nfile://" + page + "\n");
  EXPECT_FALSE(fs::exists(dir + "/pwned"));
  // "Yes" after an unknown word in a run opens the generated page the same way.
  fs::remove(args);
  setenv("TMP", dir.c_str(), 1);
  sink.answer = 1;
  set_editor_text("no_such_builder p\n");
  pick("Run");
  unsetenv("BROWSER");
  unsetenv("TMP");
  EXPECT_EQ(wait_for_text(args, ".html\n", 2), "1\nfile://" + dir + "/pelgrove_help.html\n");
  EXPECT_EQ(safe_html("a<b>&c"), "a&lt;b&gt;&c");
}

}  // namespace
