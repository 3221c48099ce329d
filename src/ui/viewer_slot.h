// viewer_slot: where the main window gets its viewer. The window calls only these
// functions, so the viewer behind them can change without touching the window.
#pragma once

class Fl_Widget;

// The viewer widget for the right half of the main window.
Fl_Widget* make_viewer(int x, int y, int w, int h);
// After a run: rebuild the display from the parts and redraw.
void show_grids_in_viewer();
// The next run that shows parts frames them (centre and scale), as the first one does.
void refit_viewer();
// The "Show Point Merging" switch: show merged points, then rebuild the display.
void set_show_merging(bool on);
// The "Show Free Edges" switch: show the free edges of the faces, then rebuild the display.
void set_show_free_edges(bool on);
