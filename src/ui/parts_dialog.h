// parts_dialog: Info > Parts — one row per part name with a check box that shows or hides
// its parts in the viewer, its colour and its element count. Hiding is a view setting kept
// by name in gHiddenParts, so it lasts over runs; the mesh and every export stay whole.
#pragma once

#include <string>
#include <vector>

class Fl_Widget;
class Fl_Window;

struct Part_Row {
  std::string name;
  float color[4] = {0, 0, 0, 1};  // of its first part
  long elements = 0;              // written elements of all its parts
  bool shown = true;
};

// One row per part name, in the order the names first occur in the part list.
std::vector<Part_Row> part_rows();
// Shows or hides every part of the name in the viewer and redraws it.
void set_part_shown(const std::string& name, bool shown);
// The dialog, built from the current parts; refresh rebuilds its rows when it is shown.
Fl_Window* show_parts_dialog();
void refresh_parts_dialog();
void parts_cb(Fl_Widget*, void*);
