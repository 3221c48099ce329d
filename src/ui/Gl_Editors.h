// Gl_Editors: the viewer's modal editors, "Planes" for the clipping planes and "Lighting" for
// the lights. Each copies the state into input fields, writes it back on Apply and redraws
// `parent`; both return whether anything was applied.
#pragma once

#include "ui/Gl_State.h"

class Fl_Widget;

// "Add Plane" starts a plane through `new_origin` (the viewer passes the centre of its view, so
// the new plane cuts the model); each plane's "Remove" takes it out of the list (applied with
// the rest).
bool fl_edit_gl_clipping(Gl_ClippingState& planes, Fl_Widget* parent, const Gl_Vec3& new_origin = {0, 0, 0});
bool fl_edit_gl_lighting(Gl_LightingState& state, Fl_Widget* parent);
