// pick_tool: picking in the main window's viewer and what follows from it — the status line
// naming the element under the pointer and the place that made its part, the jump to that
// script line, Info > Find Element and Find Point, and the highlight drawn over the part.
// The lookups themselves are pick_info's.
#pragma once

#include "ui/Fl_Gl_Viewer.h"

#include <string>

class Fl_Widget;
class Pick_Index;

// The main window's viewer. Ctrl+Left click, or the pick key, selects the element under the
// pointer; a double click selects it and moves the editor to the script line of its part.
// Every other event is the plain viewer's.
class Pick_Viewer : public Fl_Gl_Viewer {
public:
  using Fl_Gl_Viewer::Fl_Gl_Viewer;
  int handle(int event) override;
};

// Selects the element under pixel (x, y) of the main window's viewer: highlights it and names
// it in the status line; with `jump` the editor's cursor (and the keyboard focus) goes to the
// script line that made its part. False, and the selection cleared, when nothing is there.
bool pick_element_at(int x, int y, bool jump);
// Highlight written element (or numbered point) `number` and frame it in the viewer; an
// alert says when there is no such number.
bool find_element(long number);
bool find_point(long number);
// After the viewer's scenes were rebuilt from new parts: numbers them for picking, drops the
// status line's tooltip and refreshes Info > Parts.
void pick_parts_loaded();
// Drops the highlight (a new run drops it anyway).
void clear_pick();
// The numbering of the parts shown, built when first needed after each run.
const Pick_Index& pick_index();

// Asks for a number for Find Element / Find Point; "" when cancelled. Tests install their own.
extern std::string (*gAskNumber)(const char* prompt);

// -- menu callbacks (Info)
void find_element_cb(Fl_Widget*, void*);
void find_point_cb(Fl_Widget*, void*);
