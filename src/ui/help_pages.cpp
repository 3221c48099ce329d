#include "ui/help_pages.h"

#include "builders/builders.h"
#include "interp/interp.h"
#include "interp/library.h"
#include "interp/params.h"
#include "ui/Fl_Emacs.h"
#include "ui/messages.h"
#include "util/message.h"
#include "util/paths.h"

#include <FL/Fl.H>
#include <FL/Fl_Help_Dialog.H>
#include <FL/fl_ask.H>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

namespace {

// Every table of the page shares these attributes; only COLS varies.
std::string table(int cols) {
  return "<table BGCOLOR=\"#eeeeee\" WIDTH=450 CELLPADDING=2 CELLSPACING=1 COLS=" + std::to_string(cols) + ">\n";
}

std::string heading_table(const std::string& anchor, const std::string& heading) {
  return "<a name=\"" + anchor + "\"></a>\n" + table(1) + "<tr><td><h2>" + heading + "</h2></td></tr></table>\n";
}

std::string fixed_link(const std::string& href, const std::string& text) {
  return "<a href=\"" + href + "\"><tt>" + text + "</tt></a>";
}

// Cells three to a row; a last incomplete row is closed.
std::string three_column_cells(const std::vector<std::string>& cells) {
  std::string out = table(3);
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i % 3 == 0) out += "<tr>";
    out += "<td BGCOLOR=\"#ddddee\">" + cells[i] + "</td>";
    if (i % 3 == 2) out += "</tr>\n";
  }
  if (cells.size() % 3) {
    for (size_t i = cells.size() % 3; i < 3; ++i) out += "<td></td>";
    out += "</tr>\n";
  }
  return out;
}

const char* const kBuiltInBuilders[] = {"line",  "arc",      "orbit",  "pline",  "parc",      "porbit",
                                        "plate", "cylinder", "sphere", "pplate", "pcylinder", "psphere"};

bool is_built_in(const std::string& name) {
  for (const char* b : kBuiltInBuilders)
    if (name == b) return true;
  return false;
}

// Library functions that carry documentation: f with an f_doc entry ("_doc" keys never list).
std::vector<std::string> documented_functions() {
  std::vector<std::string> names;
  for (const auto& [name, body] : gLibraries) {
    if (name.size() > 4 && name.compare(name.size() - 4, 4, "_doc") == 0) continue;
    if (gLibraries.count(name + "_doc")) names.push_back(name);
  }
  return names;
}

std::string shell_quote(const std::string& text) {
  std::string q = "'";
  for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Opens `path` for writing only if it is (or becomes) a regular file of ours with one link.
int open_own_file(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != getuid() || st.st_nlink != 1 ||
      ftruncate(fd, 0) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool write_all(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return false;
    done += (size_t)n;
  }
  return true;
}

bool write_to(const std::string& path, const std::string& html) {
  int fd = open_own_file(path);
  if (fd < 0) return false;
  bool ok = write_all(fd, html);
  return close(fd) == 0 && ok;
}

void show_parameter_list() {
  show_text_list(parameter_list_text(), "Predefined Parameters and their defaults");
}

}  // namespace

// -- page texts

std::string element_type_word(double value) {
  const char* const words[] = {"quads", "tri0", "tri1", "tri2", "tri3"};  // ORDER ELEMENT_TYPES
  for (int i = 0; i < 5; ++i)
    if (value == i) return words[i];
  return "tri1";
}

std::string parameter_list_text() {
  std::string text;
  for (const auto& [name, value] : gParameters) {
    std::string shown = name == "element_type" ? element_type_word(value) : string_printf("%f", value);
    text += name + "  = " + shown + "\n";
  }
  return text;
}

std::string editor_keys_text() { return Fl_Emacs::key_list_text(); }

std::string safe_html(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out += c;
  }
  return out;
}

std::string builder_page_html() {
  const std::string H = file_url(locate_handbook("pelgrove"));
  const std::string D = file_url(VORN_DIR() + "/share/doc/pelgrove/");
  std::string page =
      "<html><head>\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=ISO-8859-1\">\n"
      "<title>PELGROVE Commands</title></head>\n"
      "<body BGCOLOR=\"#ffffee\" LINK=\"#0000aa\" ALINK=\"#00aaaa\" VLINK=\"#aa00aa\" TEXT=\"#000000\">\n";
  page += table(4) + "<tr><td><a href=\"#Commands\">Commands</a></td><td><a href=\"#Generators\">Generators</a></td>"
          "<td><a href=\"#User\">User Defined</a></td><td><a href=\"" + H + "\">Handbook</a></td>"
          "</tr></table><br>\n<br>\n";

  page += heading_table("Commands", "Commands") + table(1);
  for (const auto& [name, command] : commands)
    page += "<tr><td BGCOLOR=\"#ddddee\">" + fixed_link(H + "#L_" + name, safe_html(command.usage)) + "</td></tr>\n";
  page += "</td></tr></table><br>\n<br>\n";

  page += heading_table("Generators", "Built-In Generators");
  std::vector<std::string> cells;
  for (const char* name : kBuiltInBuilders) cells.push_back(fixed_link(H + "#L_" + name, name));
  for (const auto& [name, builder] : gBuilders)
    if (!is_built_in(name)) cells.push_back(fixed_link(D + name + ".html", safe_html(name)));
  page += three_column_cells(cells) + "</table><br>\n<br>\n\n";

  const std::vector<std::string> functions = documented_functions();
  page += heading_table("User", "User Defined Generators");
  cells.clear();
  for (const auto& f : functions) cells.push_back(fixed_link("#user_def__" + f, safe_html(f)));
  page += three_column_cells(cells) + "</table><br>\n\n";

  page += table(1);
  for (const auto& f : functions) {
    page += "<tr><td BGCOLOR=\"#ddddee\"><a name=\"user_def__" + f + "\">" + safe_html(f) + "</a></td></tr>\n";
    page += "<tr><td><pre>" + safe_html(gLibraries.at(f + "_doc")) + "</pre></td></tr>\n";
  }
  page += "</table><br>\n\n</body>\n";
  return page;
}

// -- files and addresses

std::string locate_handbook(const std::string& name) {
  std::string Name = name;
  if (!Name.empty()) Name[0] = (char)std::toupper((unsigned char)Name[0]);
  return VORN_DIR() + "/share/doc/" + name + "/" + Name + "_Handbook.html";
}

std::string file_url(const std::string& path) {
  return "file://" + std::string(path.empty() || path[0] != '/' ? "/" : "") + path;
}

std::string help_page_dir() {
  for (const char* var : {"TMP", "TEMP"})
    if (const char* dir = getenv(var)) return dir;
  return "/tmp";
}

std::string write_help_page(const std::string& html) {
  const std::string dir = help_page_dir();
  std::string path = dir + "/pelgrove_help.html";
  if (write_to(path, html)) return path;
  // The fixed name is a link or someone else's file: use a directory only we can write.
  std::string tmpl = dir + "/pelgrove-help-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back(0);
  if (!mkdtemp(buf.data())) return "";
  path = std::string(buf.data()) + "/pelgrove_help.html";
  return write_to(path, html) ? path : "";
}

std::string browser_command(const std::string& browser, const std::string& url) {
  return browser + " " + shell_quote(url) + " &";
}

// -- showing

void launch_html(const std::string& path) {
  const std::string url = file_url(path);
  const char* browser = getenv("BROWSER");
  std::string command = browser && *browser ? browser_command(browser, url) : "";
  while (!command.empty()) {
    if (FILE* p = popen(command.c_str(), "r")) {
      Fl::check();
      char line[1024];
      while (fgets(line, sizeof line, p)) std::cout << line;
      std::cout << std::flush;
      pclose(p);
      return;
    }
    int answer = ask_choice(string_printf("Could not connect to external browser\n%s", command.c_str()),
                            {"Use Internal Browser", "Edit...", "Cancel Browser"}, 2);
    if (answer == 2) return;
    if (answer == 0) break;
    const char* edited = fl_input("edit the command", command.c_str());
    if (!edited) return;
    command = edited;
  }
  static Fl_Help_Dialog* viewer = nullptr;
  if (!viewer) viewer = new Fl_Help_Dialog;
  viewer->load(path.c_str());
  viewer->show();
}

void launch_handbook(const std::string& name) { launch_html(locate_handbook(name)); }

void show_builder_page() {
  std::string path = write_help_page(builder_page_html());
  if (path.empty()) {
    std::string wanted = help_page_dir() + "/pelgrove_help.html";
    alert("could not create %s\ndefine environment variable TMP or TEMP to specify an alternate directory",
          wanted.c_str());
    return;
  }
  launch_html(path);
}

// -- menu callbacks

void show_predefined_list(Fl_Widget*, void*) {
  reset_params();
  show_parameter_list();
}

void show_recently_defined_list(Fl_Widget*, void*) { show_parameter_list(); }
void show_edit_list(Fl_Widget*, void*) { show_text_list(editor_keys_text(), "Editor Keys"); }
void show_builder_list(Fl_Widget*, void*) { show_builder_page(); }
void show_handbook(Fl_Widget*, void*) { launch_handbook("pelgrove"); }
