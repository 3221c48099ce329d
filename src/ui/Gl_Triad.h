// Gl_Triad: the small axis cross in the lower-left corner of a view — x red, y green, z blue —
// turned with the model, so a picture always says which way the axes point. A free function
// over the current OpenGL context: the viewer calls it, and so can any other renderer of the
// viewer's picture.
#pragma once

#include "ui/Gl_Matrix.h"

#include <array>

// Side in pixels of the triad's square for a w x h view: a fifth of the shorter side, kept
// between 48 and 96.
int axis_triad_size(int w, int h);
// Colour of axis k (0 x, 1 y, 2 z).
std::array<float, 3> axis_triad_color(int k);
// Draws the triad for the model `orientation` (as Gl_Matrix holds it) into the lower-left
// corner of a w x h viewport, over whatever is drawn; leaves the viewport, matrices and
// enables as it found them.
void draw_axis_triad(const Gl_Quat& orientation, int w, int h);
