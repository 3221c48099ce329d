// view_render: one frame of the 3-D view, drawn into whatever OpenGL context is current.
// The viewer window and the off-screen pictures of batch mode both draw through it, so a
// picture shows the model exactly as the window does.
#pragma once

#include "ui/Gl_Matrix.h"
#include "ui/Gl_Scene.h"
#include "ui/Gl_State.h"

// How a frame is drawn besides the scene, the camera, the lights and the planes.
struct ViewLook {
  bool white_background = false;
  bool moving = false;  // the view is being dragged: scenes may leave out detail
  bool dark_edges = false;  // element outlines in a dark shade of the part colour (gl_dark_edges)
};

// The state every frame relies on, set once per context: a w x h viewport, blending (source
// alpha), depth test, polygon offset for faces behind their edges, glColor as the material.
void init_view_state(int w, int h);
// Clears colour and depth, loads the lights with identity matrices (they stay fixed
// relative to the eye), the camera's projection and model-view, the clipping planes, and
// draws the scene (none: only the clear).
void render_view(Gl_Scene* scene, Gl_Matrix& camera, const Gl_LightingState& lighting,
                 const Gl_ClippingState& clipping, const ViewLook& look);
