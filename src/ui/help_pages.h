// help_pages: the Info and Help pages — parameter lists, the editor key list, the generated
// page of commands, builders and library functions, and the handbook. The page texts are
// plain functions of the live tables; showing them goes through a browser or the help viewer.
#pragma once

#include <string>

class Fl_Widget;

// -- page texts (no display needed)
// One line per parameter in name order: "name  = value", value as "%f" except element_type,
// which shows the word `set element_type` takes for it.
std::string parameter_list_text();
std::string element_type_word(double value);
std::string editor_keys_text();
// "<" and ">" become "&lt;" and "&gt;"; nothing else is escaped.
std::string safe_html(const std::string& text);
// The command, builder and user-defined function page over the current tables.
std::string builder_page_html();

// -- files and addresses
// VORN_DIR() + "/share/doc/" + name + "/" + Name + "_Handbook.html" (Name: first letter upper case).
std::string locate_handbook(const std::string& name);
// "file://" + path, with a "/" between them for a relative path.
std::string file_url(const std::string& path);
// The directory of the generated page: $TMP, else $TEMP, else "/tmp".
std::string help_page_dir();
// Writes `html` to help_page_dir() + "/pelgrove_help.html" without following a link planted
// at that name; when that name is taken by a link or by another user's file, the page goes
// into a fresh private directory beside it. Returns the path written, or "" on failure.
std::string write_help_page(const std::string& html);
// The shell command that shows `url` with the browser command `browser`: the address is
// quoted so that no character of a path can run a command of its own.
std::string browser_command(const std::string& browser, const std::string& url);

// -- showing
void launch_html(const std::string& path);
void launch_handbook(const std::string& name);
// Generates the command and builder page and launches it; reports an unwritable file.
void show_builder_page();

// -- menu callbacks
void show_predefined_list(Fl_Widget*, void*);
void show_recently_defined_list(Fl_Widget*, void*);
void show_edit_list(Fl_Widget*, void*);
void show_builder_list(Fl_Widget*, void*);
void show_handbook(Fl_Widget*, void*);
