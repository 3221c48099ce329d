// quality_view: the viewer's quality colours. Colours the faces of the shown parts by one
// element quality measure, draws the colour legend with the range over the view, and steps
// through the worst elements, framing each and naming it in the status line. A view setting
// only: the mesh and its export stay as they are. Owns the measure shown and the step list.
#pragma once

#include "merge/element_quality.h"
#include "ui/Gl_Scene.h"

#include <cstdint>
#include <string>

class Fl_Menu_Bar;
class Fl_Gl_Viewer;

// -- colour map
// The colour at badness t in [0, 1]: blue (good) through cyan, green and yellow to red (bad).
void quality_colour(double t, uint8_t rgb[3]);
// Per-vertex colours for the scenes of Grid::gGrids (one Grid_Scene per part, as load_grids
// makes them) from a measurement: each face's provoking corner gets its element's colour;
// elements without a value keep the part's colour. Parts shown reduced keep theirs.
void colour_scenes(Gl_Scene_Composite& scenes, const ElementQuality& q);
// Removes the colours again.
void uncolour_scenes(Gl_Scene_Composite& scenes);

// -- the main window's viewer
// Measures, colours Pelgrove_UserInterface::gScenes, shows the legend; COUNT switches back to
// the parts' colours.
void show_quality_colours(QualityMeasure m);
// The measure shown; COUNT when none.
QualityMeasure quality_colours_shown();
// After load_grids: the new scenes are measured and coloured again when colours are shown.
void reapply_quality_colours();
// Frames the next (step +1) or previous (-1) of the worst elements, worst first, and names it
// in the status line; false when there is nothing to step through.
bool step_worst_element(int step);
// The worst elements the stepping goes through, at most this many.
inline constexpr size_t QUALITY_STEPS = 1000;

// -- legend
// Draws the legend for `q` in the viewer's top left corner (window pixels, over the scene).
void draw_quality_legend(const ElementQuality& q, int w, int h, bool white_background);
// The legend's colour bar: pixel rectangle from the top left, bad end at the top.
void quality_legend_bar(int w, int h, int& x, int& y, int& bw, int& bh);

// -- menus
// Appends Info/Quality Colours: None, one item per measure, Next and Previous Worst Element
// (keys n and N).
void add_quality_menu(Fl_Menu_Bar* bar);
