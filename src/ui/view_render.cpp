#include "ui/view_render.h"

#include <FL/gl.h>

void init_view_state(int w, int h) {
  glViewport(0, 0, w, h);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_POLYGON_OFFSET_FILL);
  glPolygonOffset(1, float(2 * polygon_offset_unit_scale()));
  // glColor sets the material too, so scenes may colour with either.
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  glEnable(GL_COLOR_MATERIAL);
}

void render_view(Gl_Scene* scene, Gl_Matrix& camera, const Gl_LightingState& lighting,
                 const Gl_ClippingState& clipping, const ViewLook& look) {
  const float c = look.white_background ? 1.0f : 0.0f;
  glClearColor(c, c, c, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  apply_lighting(lighting);
  const Gl_Projection& p = camera.projection();
  glMatrixMode(GL_PROJECTION);
  if (p.perspective) glFrustum(p.left, p.right, p.bottom, p.top, p.near, p.far);
  else glOrtho(p.left, p.right, p.bottom, p.top, p.near, p.far);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(camera.model_view().data());
  apply_clipping(clipping);
  gl_set_view_moving(look.moving);
  gl_set_dark_edges(look.dark_edges);
  if (scene) scene->draw();
  gl_set_view_moving(false);
  gl_set_dark_edges(false);
}
