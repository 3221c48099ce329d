#include "ui/main_window.h"

#include "grid/Grid.h"
#include "interp/interp.h"
#include "interp/library.h"
#include "merge/mesh_check.h"
#include "meshio/formats.h"
#include "script/interp_hooks.h"
#include "ui/Fl_Emacs.h"
#include "ui/SimpleForm.h"
#include "ui/auto_reload.h"
#include "ui/help_pages.h"
#include "ui/messages.h"
#include "ui/parts_dialog.h"
#include "ui/pick_tool.h"
#include "ui/quality_view.h"
#include "ui/viewer_slot.h"
#include "util/QuickMD5.h"
#include "util/atomic_file.h"
#include "util/message.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Tile.H>
#include <FL/Fl_Window.H>
#include <FL/filename.H>
#include <FL/fl_ask.H>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace Pelgrove_UserInterface {

Fl_Window* PelgroveWindow = nullptr;
Fl_Menu_Bar* MainMenuBar = nullptr;
Fl_Tile* MainTiling = nullptr;
Fl_Emacs* ScriptInput = nullptr;
Fl_Widget* GridViewer = nullptr;
Fl_Box* StatusLine = nullptr;
bool own_PelgroveWindow = false, own_MainMenuBar = false;
std::string file_name;
std::map<std::string, std::string> recent_files;
const char* const kBackupName = "pelgrove-tmpbak.vmf";

namespace {

std::string title_base = "pelgrove";
std::unique_ptr<SimpleForm> form;  // made with the window, in the editor's group
std::string status;

// -- run state: one run at a time; Esc or the close button cancel it
bool running = false;
bool cancel_requested = false;
bool quit_after_run = false;
long commands_run = 0;
std::chrono::steady_clock::time_point last_poll;

std::string base_name(const std::string& path) { return fl_filename_name(path.c_str()); }

void update_title(void* = nullptr) {
  if (PelgroveWindow) PelgroveWindow->copy_label(window_title().c_str());
}

// Menu labels treat '/', '&', '_' and '\' specially; a file name shows them as typed.
std::string menu_label(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '/' || c == '\\' || c == '_') out += '\\';
    if (c == '&') out += '&';
    out += c;
  }
  return out;
}

std::string editor_text() {
  char* text = ScriptInput->buffer()->text();
  std::string s = text;
  free(text);
  return s;
}

// Writes the whole text beside the file and renames it into place, so a failed write leaves
// the old file whole; false with the system's reason in `why`.
bool write_text(const std::string& path, const std::string& text, std::string& why) {
  Atomic_File f;
  errno = 0;
  if (f.open(path.c_str()) && f.write(text.data(), text.size()) && f.commit()) return true;
  why = errno ? std::strerror(errno) : "the file could not be written";
  return false;
}

// The script file as the editor last read or wrote it: saving compares the disk with it so
// that changes made elsewhere are not overwritten unasked.
struct Disk_Copy {
  std::string path;
  File_Stamp stamp;
  std::string digest;
} disk_copy;

void remember_disk_copy(const std::string& path, const std::string& text) {
  disk_copy = {path, file_stamp(path), QuickMD5(text)};
}

// True when `path` is the script last read or written and another program has since given
// it a different text (a file touched but unchanged, or removed, counts as unchanged).
bool changed_on_disk(const std::string& path) {
  if (path != disk_copy.path) return false;
  const File_Stamp now = file_stamp(path);
  if (!now.exists || now == disk_copy.stamp) return false;
  std::string text, why;
  return read_script_file(path, text, why) && QuickMD5(text) != disk_copy.digest;
}

bool write_editor_to(const std::string& path) {
  const std::string text = editor_text();
  std::string why;
  if (!write_text(path, text, why)) {
    alert("could not save the script to '%s': %s", path.c_str(), why.c_str());
    return false;
  }
  remember_disk_copy(path, text);
  ScriptInput->clear_history();
  return true;
}

// Replaces the editor's text with the file's, keeping the name and (where it still fits) the cursor.
void reload_script() {
  const std::string text = file_contents(file_name);
  const int cursor = ScriptInput->insert_position();
  ScriptInput->buffer()->text(text.c_str());
  ScriptInput->insert_position(std::min(cursor, ScriptInput->buffer()->length()));
  ScriptInput->show_insert_position();
  ScriptInput->clear_history();
  remember_disk_copy(file_name, text);
}

// Before writing over a file that changed on disk: true to write, false when the user cancelled
// or reloaded the file instead.
bool may_overwrite(const std::string& path) {
  if (!changed_on_disk(path)) return true;
  const std::string question = string_printf(
      "'%s' changed on disk since it was opened or saved.\n"
      "Overwrite it with the editor's text, or reload it and drop the edits?", path.c_str());
  // Cancel first: Esc and the dialog's close box answer it.
  switch (ask_choice(question, {"Cancel", "Overwrite", "Reload"}, 0)) {
    case 1: return true;
    case 2: reload_script(); return false;
    default: return false;
  }
}

// Runs other than the editor's (a library loaded at start) go unpolled.
bool poll_run() {
  if (!running) return true;
  ++commands_run;
  if (cancel_requested) return false;
  auto now = std::chrono::steady_clock::now();
  if (now - last_poll >= std::chrono::milliseconds(50)) {
    last_poll = now;
    set_status(string_printf("running... %ld commands, %zu parts  (Esc cancels)", commands_run,
                             Grid::gGrids.size()));
    Fl::check();
  }
  return !cancel_requested;
}

// The form stands in for the editor; a changed block rebuilds it and stops the run.
bool form_hook(const std::string& block, const std::string& title, std::string& script) {
  if (form->renew(block, title)) return false;
  script = form->script_text();
  return true;
}

// The first message of a run: put the cursor on its line when it is a line of the editor's
// script, and show it under the editor.
void point_at_message(const FirstMessageRecorder& first, const std::string& script_name) {
  std::string text = first.text.substr(0, first.text.find('\n'));
  if (first.where.file == script_name && first.where.line > 0) {
    Fl_Text_Buffer* buf = ScriptInput->buffer();
    int start = buf->skip_lines(0, first.where.line - 1);
    buf->select(start, buf->line_end(start));
    ScriptInput->insert_position(start);
    ScriptInput->show_insert_position();
    set_status(string_printf("line %d: %s", first.where.line, text.c_str()));
  } else if (!first.where.file.empty()) {
    set_status(string_printf("%s:%d: %s", first.where.file.c_str(), first.where.line, text.c_str()));
  } else {
    set_status(text);
  }
}

void summarize_run(bool cancelled) {
  long elements = Grid::good_element_count();
  std::string parts = string_printf("%zu parts, %ld points, %ld elements", Grid::gGrids.size(),
                                    Grid::grid_point_count(), elements);
  set_status(cancelled ? "run cancelled after " + std::to_string(commands_run) + " commands; kept " + parts
                       : "run finished: " + parts);
}

void window_cb(Fl_Widget*, void*) {
  // Escape reaches the window as a shortcut: it cancels a run and never closes the window.
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) {
    cancel_run();
    return;
  }
  quit();
}

}  // namespace

void set_status(const std::string& text) {
  status = text;
  if (StatusLine) StatusLine->copy_label(status.c_str());
}

// clang-format off
Fl_Menu_Item menu_MainMenuBar[] = {
  {"File", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"Open", FL_ALT + 'o', open_cb, nullptr, 0, 0, 0, 0, 0},
    {"Recent", 0, nullptr, nullptr, FL_SUBMENU | FL_MENU_DIVIDER, 0, 0, 0, 0},
      {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"Save", FL_ALT + 's', save_cb, nullptr, 0, 0, 0, 0, 0},
    {"Save As...", FL_ALT + FL_SHIFT + 's', save_as_cb, nullptr, FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"Export to", 0, nullptr, nullptr, FL_SUBMENU | FL_MENU_DIVIDER, 0, 0, 0, 0},
      {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {"Close", 0, close_cb, nullptr, 0, 0, 0, 0, 0},
    {"Auto Reload", 0, auto_reload_cb, nullptr, FL_MENU_TOGGLE | FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"Quit", FL_ALT + 'q', quit_cb, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
  {"Edit", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"Undo", FL_CTRL + 'z', edit_cb, (void*)"z", FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"Cut", FL_CTRL + 'x', edit_cb, (void*)"x", 0, 0, 0, 0, 0},
    {"Copy", FL_CTRL + 'c', edit_cb, (void*)"c", 0, 0, 0, 0, 0},
    {"Paste", FL_CTRL + 'v', edit_cb, (void*)"v", FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"Delete", 0, edit_cb, (void*)"d", FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"Insert File Name", 0, edit_cb, (void*)"f", 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
  {"Info", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"Show Predefined", 0, show_predefined_list, nullptr, 0, 0, 0, 0, 0},
    {"Show Recent Parameters", 0, show_recently_defined_list, nullptr, 0, 0, 0, 0, 0},
    {"Show Part Summary", 0, part_summary_cb, nullptr, 0, 0, 0, 0, 0},
    {"Show Mesh Check", 0, mesh_check_cb, nullptr, FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"Show Editor Keys", 0, show_edit_list, nullptr, 0, 0, 0, 0, 0},
    {"Show Point Merging", 0, show_merging_cb, nullptr, FL_MENU_TOGGLE, 0, 0, 0, 0},
    {"Show Free Edges", 0, show_free_edges_cb, nullptr, FL_MENU_TOGGLE | FL_MENU_DIVIDER, 0, 0, 0, 0},
    {"Find Element", 0, find_element_cb, nullptr, 0, 0, 0, 0, 0},
    {"Find Point", 0, find_point_cb, nullptr, 0, 0, 0, 0, 0},
    {"Parts", 0, parts_cb, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
  {"Run", FL_ALT + 'r', run_cb, nullptr, 0, 0, 0, 0, 0},
  {"Help", 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0},
    {"Show Builders", 0, show_builder_list, nullptr, 0, 0, 0, 0, 0},
    {"Handbook", 0, show_handbook, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
  {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
};
// clang-format on

// -- window

// One Export item per row of the format table, in its order, except that the binary writer has
// always stood above the default one.
void set_menus() {
  MainMenuBar->clear();
  MainMenuBar->menu(menu_MainMenuBar);
  std::vector<const Mesh_Format*> writers;
  for (const Mesh_Format& format : mesh_formats()) writers.push_back(&format);
  if (writers.size() > 1) std::swap(writers[0], writers[1]);
  for (const Mesh_Format* format : writers) {
    const std::string label = format->menu_label ? format->menu_label : menu_label(format->description);
    MainMenuBar->add(("File/Export to/" + label).c_str(), 0, export_cb, (void*)format->pattern);
  }
  add_quality_menu(MainMenuBar);
  const Fl_Menu_Item* reload = MainMenuBar->find_item(auto_reload_cb);
  if (reload && auto_reload_on()) const_cast<Fl_Menu_Item*>(reload)->set();
}

// The editor (with its status line below) at the left of the tile, the viewer at the right.
Fl_Window* make_window(Fl_Window* window, Fl_Menu_Bar* bar) {
  own_PelgroveWindow = !window;
  own_MainMenuBar = !bar;
  if (!window) {
    window = new Fl_Window(980, 660, "pelgrove");
    window->callback(window_cb);
  } else {
    window->begin();
  }
  PelgroveWindow = window;
  const int W = window->w(), H = window->h(), bar_h = 25, status_h = 22;
  const int editor_w = W / 2;
  if (!bar) bar = new Fl_Menu_Bar(0, 0, W, bar_h);
  MainMenuBar = bar;
  set_menus();

  MainTiling = new Fl_Tile(0, bar_h, W, H - bar_h);
  auto* left = new Fl_Group(0, bar_h, editor_w, H - bar_h);
  ScriptInput = new Fl_Emacs(0, bar_h, editor_w, H - bar_h - status_h, "script:");
  ScriptInput->labeltype(FL_NO_LABEL);
  ScriptInput->on_change(update_title, nullptr);
  StatusLine = new Fl_Box(0, H - status_h, editor_w, status_h);
  StatusLine->box(FL_THIN_DOWN_BOX);
  StatusLine->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_CLIP);
  StatusLine->labelsize(12);
  left->resizable(ScriptInput);
  left->end();
  GridViewer = make_viewer(editor_w, bar_h, W - editor_w, H - bar_h);
  // Neither side can be dragged narrower than 120 pixels.
  auto* limits = new Fl_Box(120, bar_h, W - 240, H - bar_h);
  limits->hide();
  MainTiling->resizable(limits);
  MainTiling->end();
  window->resizable(MainTiling);
  window->end();

  form = std::make_unique<SimpleForm>(ScriptInput);
  Interp_Hooks hooks = interp_hooks();
  hooks.show_version = show_about_window;
  hooks.simple_form = form_hook;
  hooks.run_poll = poll_run;
  hooks.show_builder_list = show_builder_page;
  install_interp_hooks(hooks);
  set_status("Alt+r runs the script");
  update_title();
  return window;
}

// -- files

bool open_script(const std::string& path) {
  if (!close_script()) return false;
  if (path.empty()) return true;
  const std::string absolute = set_script_file(path);
  const std::string text = file_contents(absolute);
  ScriptInput->buffer()->text(text.c_str());
  ScriptInput->insert_position(0);
  ScriptInput->clear_history();
  remember_disk_copy(absolute, text);
  update_filenames(absolute);
  refit_viewer();
  return true;
}

void update_filenames(const std::string& path) {
  file_name = path;
  const std::string base = base_name(path);
  title_base = base + " - pelgrove";
  update_title();
  recent_files[base] = path;
  for (const auto& [name, full] : recent_files)
    if (full != file_name) MainMenuBar->add(("File/Recent/" + menu_label(name)).c_str(), 0, open_recent);
}

bool close_script() {
  if (ScriptInput->modified()) {
    std::string question = string_printf("would you like to save the pelgrove script?\n'%s'",
                                         file_name.empty() ? "(unnamed)" : file_name.c_str());
    // Cancel first: Esc and the dialog's close box answer it, and so does a run without a window.
    const int answer = ask_choice(question, {"Cancel", "Save", "Don't Save"}, 0);
    if (answer == 0 || (answer == 1 && !save_script())) return false;
  }
  ScriptInput->buffer()->text("");
  set_script_file("");
  file_name.clear();
  disk_copy = {};
  ScriptInput->clear_history();
  return true;
}

bool save_script() {
  if (file_name.empty()) return save_script_as();
  return may_overwrite(file_name) && write_editor_to(file_name);
}

// The new name becomes current only once the text is written under it.
bool save_script_as() {
  std::string chosen = gChooseFile("Select a pelgrove File", "*.vmf", file_name.c_str(), false);
  if (chosen.empty()) return false;
  const std::string previous = file_name;
  chosen = set_script_file(chosen);
  if (!may_overwrite(chosen) || !write_editor_to(chosen)) {
    set_script_file(previous);
    return false;
  }
  update_filenames(chosen);
  return true;
}

// Every window goes, so the event loop ends; a run in progress is cancelled first.
void quit() {
  if (running) {
    quit_after_run = true;
    cancel_run();
    return;
  }
  if (!close_script()) return;
  while (Fl_Window* w = Fl::first_window()) w->hide();
}

// -- run and export

bool run_in_progress() { return running; }

void cancel_run() {
  if (running) cancel_requested = true;
}

bool run_editor_script() {
  if (running) return false;
  running = true;
  cancel_requested = false;
  commands_run = 0;
  last_poll = std::chrono::steady_clock::now();
  PelgroveWindow->cursor(FL_CURSOR_WAIT);
  MainMenuBar->deactivate();
  set_status("running...  (Esc cancels)");
  Fl::check();

  std::string text = editor_text(), why;
  bool backup = write_text(kBackupName, text, why);
  const std::string script_name = file_name.empty() ? "untitled" : base_name(file_name);
  MessageSink& sink = message_sink();
  FirstMessageRecorder first(sink);
  set_message_sink(&first);
  start_script(text, script_name);
  set_message_sink(&sink);
  if (backup) std::remove(kBackupName);

  running = false;
  if (cancel_requested) summarize_run(true);
  else if (first.recorded) point_at_message(first, script_name);
  else summarize_run(false);
  cancel_requested = false;
  ScriptInput->restyle();  // the run may have defined library functions
  show_grids_in_viewer();
  MainMenuBar->activate();
  PelgroveWindow->cursor(FL_CURSOR_DEFAULT);
  if (quit_after_run) {
    quit_after_run = false;
    quit();
  }
  return true;
}

// The writer follows the menu item's pattern, whatever the chosen name's extension.
void export_mesh(Fl_Widget*, const char* pattern) {
  std::string path = gChooseFile("Select an Export File Name", pattern, nullptr, false);
  if (path.empty()) return;
  const std::string wanted = pattern ? pattern : "";
  for (const Mesh_Format& format : mesh_formats()) {
    if (wanted != format.pattern) continue;
    if (!format.write(path.c_str(), false))
      alert("could not export to %s file '%s'", format.kind, path.c_str());
    return;
  }
  alert("unsupported file type (extension) '%s'", path.c_str());
}

// -- info

std::string part_summary_text() {
  std::map<std::string, long> counts;  // parts of one name add up
  GridPt pts[64];
  for (auto it = Grid::all_begin(); it != Grid::all_end(); ++it) {
    const Grid& g = **it;
    long& count = counts[g.name()];
    for (int i = 0; i < g.num_elements(); ++i)
      if (g.element(i, pts) >= 2) ++count;
  }
  long total = 0;
  std::string text = "@m@c@_Exported Parts\n";
  for (const auto& [name, count] : counts) {
    text += "@t" + std::to_string(count) + " elements in '" + name + "'\n";
    total += count;
  }
  text += "@_\n@t" + std::to_string(total) + " total elements\n@t" + std::to_string(Grid::grid_point_count()) +
          " total points\n";
  return text;
}

SimpleForm& script_form() { return *form; }

std::string window_title() { return (ScriptInput && ScriptInput->modified() ? "*" : "") + title_base; }
std::string status_text() { return status; }

// -- menu callbacks

void open_cb(Fl_Widget*, void*) {
  std::string path = gChooseFile("Select a Mesh File", "*.vmf", nullptr, false);
  if (!path.empty()) open_script(path);
}

void open_recent(Fl_Widget* w, void*) {
  const Fl_Menu_Item* item = static_cast<Fl_Menu_*>(w)->mvalue();
  if (!item || !item->label()) return;
  for (const auto& [name, full] : recent_files)
    if (name == item->label() || menu_label(name) == item->label()) {
      std::string path = full;  // open_script changes recent_files
      open_script(path);
      return;
    }
}

void save_cb(Fl_Widget*, void*) { save_script(); }
void save_as_cb(Fl_Widget*, void*) { save_script_as(); }
void export_cb(Fl_Widget* w, void* pattern) { export_mesh(w, static_cast<const char*>(pattern)); }
void close_cb(Fl_Widget*, void*) { close_script(); }
void quit_cb(Fl_Widget*, void*) { quit(); }

void edit_cb(Fl_Widget*, void* data) {
  switch (*static_cast<const char*>(data)) {
    case 'z': ScriptInput->undo(); break;
    case 'x': ScriptInput->do_cut(); break;
    case 'c': ScriptInput->do_copy(); break;
    case 'v': ScriptInput->do_paste(); break;
    case 'd': ScriptInput->do_delete(); break;
    case 'f': {
      std::string path = gChooseFile("File name", nullptr, nullptr, true);
      if (!path.empty()) ScriptInput->insert(path.c_str());
      break;
    }
  }
}

void run_cb(Fl_Widget*, void*) { run_editor_script(); }

void part_summary_cb(Fl_Widget*, void*) { show_text_list(part_summary_text(), "Grid Parts Exported"); }

void mesh_check_cb(Fl_Widget*, void*) { show_text_list(mesh_check_text(check_mesh()), "Mesh Check"); }

void show_merging_cb(Fl_Widget* w, void*) {
  const Fl_Menu_Item* item = static_cast<Fl_Menu_*>(w)->mvalue();
  set_show_merging(item && item->value());
}

void show_free_edges_cb(Fl_Widget* w, void*) {
  const Fl_Menu_Item* item = static_cast<Fl_Menu_*>(w)->mvalue();
  set_show_free_edges(item && item->value());
}

}  // namespace Pelgrove_UserInterface

Fl_Window* make_pelgrove_window(Fl_Window* window, Fl_Menu_Bar* bar) {
  return Pelgrove_UserInterface::make_window(window, bar);
}
