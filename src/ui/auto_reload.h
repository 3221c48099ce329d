// auto_reload: File > Auto Reload. While on, the open script and every file its last run
// included are polled for changes on disk (modification time and size); a change reloads the
// script into the editor and runs it, so the script can be edited in another editor. Unsaved
// edits are never overwritten: the status line says once that the file changed instead.
#pragma once

#include <string>

class Fl_Widget;

namespace Pelgrove_UserInterface {

// What a file looks like on disk; a missing file has exists == false. Saving compares the
// script's stamp with the one taken when it was loaded or saved, as the watcher does.
struct File_Stamp {
  bool exists = false;
  long long mtime_ns = 0, size = 0;
  bool operator==(const File_Stamp&) const = default;
};
File_Stamp file_stamp(const std::string& path);

constexpr double kAutoReloadSeconds = 0.5;  // between two looks at the files

// Turning it on takes the files as they are now; off stops the timer.
void set_auto_reload(bool on);
bool auto_reload_on();
// One look at the watched files, as the timer takes it; true when it reloaded and ran.
bool poll_auto_reload();

void auto_reload_cb(Fl_Widget*, void*);

}  // namespace Pelgrove_UserInterface
