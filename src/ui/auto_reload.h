// auto_reload: File > Auto Reload. While on, the open script and every file its last run
// included are polled for changes on disk (modification time and size); a change reloads the
// script into the editor and runs it, so the script can be edited in another editor. Unsaved
// edits are never overwritten: the status line says once that the file changed instead.
#pragma once

class Fl_Widget;

namespace Pelgrove_UserInterface {

constexpr double kAutoReloadSeconds = 0.5;  // between two looks at the files

// Turning it on takes the files as they are now; off stops the timer.
void set_auto_reload(bool on);
bool auto_reload_on();
// One look at the watched files, as the timer takes it; true when it reloaded and ran.
bool poll_auto_reload();

void auto_reload_cb(Fl_Widget*, void*);

}  // namespace Pelgrove_UserInterface
