// main_window: the interactive program's one window — menu bar, script editor with its
// status line, the viewer in a tile — and every menu action: files, recent files, run with
// its crash backup, export, the part summary. Widgets live in Pelgrove_UserInterface.
#pragma once

#include <map>
#include <string>

class Fl_Box;
class Fl_Emacs;
class Fl_Menu_Bar;
class Fl_Tile;
class Fl_Widget;
class Fl_Window;
class SimpleForm;
struct Fl_Menu_Item;

namespace Pelgrove_UserInterface {

// -- widgets (created by make_window, owned by their parent windows)
extern Fl_Window* PelgroveWindow;
extern Fl_Menu_Bar* MainMenuBar;
extern Fl_Tile* MainTiling;
extern Fl_Emacs* ScriptInput;
extern Fl_Widget* GridViewer;
extern Fl_Box* StatusLine;
SimpleForm& script_form();  // stands in for the editor while simple_form runs
extern bool own_PelgroveWindow, own_MainMenuBar;
extern Fl_Menu_Item menu_MainMenuBar[];

// -- state
extern std::string file_name;  // full path of the current script; empty when unnamed
// Base name -> full path of every script opened or saved; in memory only.
extern std::map<std::string, std::string> recent_files;
// The run's crash backup in the working directory; it exists only while a run is in progress.
extern const char* const kBackupName;

// -- window
Fl_Window* make_window(Fl_Window* window, Fl_Menu_Bar* bar);
void set_menus();

// -- files
// Each of these returns false when it left the editor as it was: the user cancelled a
// question or a file chooser, or the save failed (said in an alert).
bool open_script(const std::string& path);  // closes the current script first
void update_filenames(const std::string& path);
// Asks about unsaved edits (Cancel, Save, Don't Save), then empties the editor.
bool close_script();
// Save: to file_name, or Save As when unnamed. Written beside the file and renamed over it;
// a file changed on disk since it was read or written asks first (Cancel, Overwrite, Reload).
bool save_script();
bool save_script_as();  // Save As...
void quit();

// -- run and export
// Runs the editor text from a clean state with the backup file around it; returns false when
// a run is already in progress. Esc (or closing the window) cancels a run.
bool run_editor_script();
bool run_in_progress();
void cancel_run();
void export_mesh(Fl_Widget* menu, const char* pattern);

// -- info
std::string part_summary_text();
// The window title: base name + " - pelgrove", marked with a leading "*" while modified.
std::string window_title();
// The text under the editor: run progress, or the first message of the last run.
std::string status_text();
void set_status(const std::string& text);

// -- menu callbacks
void open_cb(Fl_Widget*, void*);
void open_recent(Fl_Widget*, void*);
void save_cb(Fl_Widget*, void*);
void save_as_cb(Fl_Widget*, void*);
void export_cb(Fl_Widget*, void*);
void close_cb(Fl_Widget*, void*);
void quit_cb(Fl_Widget*, void*);
void edit_cb(Fl_Widget*, void*);
void run_cb(Fl_Widget*, void*);
void part_summary_cb(Fl_Widget*, void*);
void mesh_check_cb(Fl_Widget*, void*);  // the mesh check report of the last run
void show_merging_cb(Fl_Widget*, void*);
void show_free_edges_cb(Fl_Widget*, void*);

}  // namespace Pelgrove_UserInterface

Fl_Window* make_pelgrove_window(Fl_Window* window, Fl_Menu_Bar* bar);
