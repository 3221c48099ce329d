#include "ui/auto_reload.h"

#include "interp/library.h"
#include "ui/Fl_Emacs.h"
#include "ui/main_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_.H>
#include <FL/filename.H>

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace Pelgrove_UserInterface {

namespace {

bool enabled = false;
bool told = false;  // the status line already said that a file changed under unsaved edits
std::map<std::string, File_Stamp> stamps;  // each watched file at the last look

std::vector<std::string> watched_files() {
  std::vector<std::string> files;
  if (file_name.empty()) return files;
  files.push_back(file_name);
  for (const std::string& path : included_files())
    if (std::find(files.begin(), files.end(), path) == files.end()) files.push_back(path);
  return files;
}

void take_stamps() {
  stamps.clear();
  for (const std::string& path : watched_files()) stamps[path] = file_stamp(path);
  told = false;
}

std::string read_whole(const std::string& path) {
  std::string text, why;
  read_script_file(path, text, why);
  return text;
}

void tick(void*) {
  poll_auto_reload();
  if (enabled) Fl::repeat_timeout(kAutoReloadSeconds, tick);
}

}  // namespace

File_Stamp file_stamp(const std::string& path) {
  struct stat st = {};
  File_Stamp s;
  if (stat(path.c_str(), &st) != 0) return s;
  s.exists = true;
  s.mtime_ns = (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
  s.size = (long long)st.st_size;
  return s;
}

bool auto_reload_on() { return enabled; }

void set_auto_reload(bool on) {
  Fl::remove_timeout(tick);
  enabled = on;
  if (!on) return;
  take_stamps();
  Fl::add_timeout(kAutoReloadSeconds, tick);
}

bool poll_auto_reload() {
  // A run or an open dialog (a question, a file chooser) waits: the next look sees the change.
  if (!enabled || run_in_progress() || !ScriptInput || Fl::modal()) return false;
  const std::vector<std::string> files = watched_files();
  // Files no longer watched are forgotten; newly watched ones are taken as they are.
  std::erase_if(stamps, [&](const auto& entry) {
    return std::find(files.begin(), files.end(), entry.first) == files.end();
  });
  bool script_changed = false, include_changed = false;
  for (const std::string& path : files) {
    const File_Stamp now = file_stamp(path);
    auto [it, added] = stamps.try_emplace(path, now);
    // A file that vanished is left alone: an editor that saves by renaming removes it briefly.
    if (added || it->second == now || !now.exists) continue;
    (path == file_name ? script_changed : include_changed) = true;
  }
  if (!script_changed && !include_changed) return false;

  if (ScriptInput->modified()) {
    if (!told) set_status("'" + std::string(fl_filename_name(file_name.c_str())) +
                          "' changed on disk; the editor keeps its unsaved edits (Save asks first)");
    told = true;
    return false;
  }
  if (script_changed) {
    const std::string path = file_name;  // open_script clears file_name first
    const std::string text = read_whole(path);
    char* shown = ScriptInput->buffer()->text();
    const bool same = text == shown;
    free(shown);
    if (same && !include_changed) {  // saved from this editor: nothing new to run
      take_stamps();
      return false;
    }
    const int cursor = ScriptInput->insert_position();
    open_script(path);
    ScriptInput->insert_position(std::min(cursor, ScriptInput->buffer()->length()));
    ScriptInput->show_insert_position();
  }
  run_editor_script();
  take_stamps();  // the run may have included other files
  return true;
}

void auto_reload_cb(Fl_Widget* w, void*) {
  const Fl_Menu_Item* item = static_cast<Fl_Menu_*>(w)->mvalue();
  set_auto_reload(item && item->value());
}

}  // namespace Pelgrove_UserInterface
