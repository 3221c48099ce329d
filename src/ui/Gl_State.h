// Gl_State: the viewer's clipping planes, lights, freeze-frame buffer and OpenGL error
// reports. The plane equations, clip-dot positions and error texts are plain functions;
// apply_* load the state into the current OpenGL context.
#pragma once

#include "ui/Gl_Matrix.h"

#include <string>
#include <vector>

// A clipping plane keeps the points p with normal . (p - origin) <= 0.
struct Gl_ClipInfo {
  Gl_Vec3 normal{1, 0, 0};
  Gl_Vec3 origin{0, 0, 0};
};

struct Gl_ClippingState {
  static constexpr int MAX_PLANES = 6;  // OpenGL clip planes 0-5
  std::vector<Gl_ClipInfo> planes;
};

struct Gl_LightInfo {
  bool enabled = false;
  Gl_Vec3 position{0, 0, 10};
  float ambient[4] = {0, 0, 0, 1};
  float diffuse[4] = {0.6f, 0.6f, 0.6f, 1};
  float specular[4] = {0.3f, 0.3f, 0.3f, 1};
  bool not_spot = true;
  Gl_Vec3 spot_direction{0, 0, -1};
  double cutoff_deg = 60;
  double falloff = 0;  // spot exponent
  bool local = false;  // position is a point, not a direction
  double constant_att = 1, linear_att = 0, quadratic_att = 0;
};

struct Gl_LightingState {
  static constexpr int MAX_LIGHTS = 8;
  bool enabled = true;
  bool two_sided = true;
  bool infinite_viewer = true;  // kept for the editor; no OpenGL setting follows from it
  float global_ambient[4] = {0.8f, 0.8f, 0.8f, 1};
  Gl_LightInfo lights[MAX_LIGHTS];
  Gl_LightingState() { lights[0].enabled = true; }
};

// -- plain rules
// The OpenGL plane equation (-n, n . o) of a clipping plane.
std::array<double, 4> clip_equation(const Gl_ClipInfo& c);
// Height in normalised view coordinates of a plane's clip dot, for camera centre `center`
// and scene `diameter`; false when the normal is zero or the dot is off the view (|s| > 1).
bool clip_dot_height(const Gl_ClipInfo& c, const Gl_Vec3& center, double diameter, double& s);
// The plane's origin after dragging its dot to height s.
Gl_Vec3 clip_origin_at(const Gl_ClipInfo& c, const Gl_Vec3& center, double diameter, double s);
// Colour of plane i's dot: red, green, blue, yellow, magenta, cyan, then the same at half.
std::array<float, 3> clip_dot_color(int i);
// The text test4errors prints for an OpenGL error code.
const char* gl_error_text(unsigned code);

// -- OpenGL state (current context)
void apply_clipping(const Gl_ClippingState& c);
void apply_lighting(const Gl_LightingState& l);
// Factor for glPolygonOffset's units in the current context: 1 with a depth buffer of up to 24
// bits, 2^(bits - 24) beyond. Deeper buffers are filled from single-precision depths, so their
// smallest step is noise and offsets count in 24-bit steps to keep edges in front of faces.
double polygon_offset_unit_scale();
// Reads one OpenGL error; when there is one prints its text and `where` to standard output.
// Returns whether there was one.
bool test4errors(const char* where);

// Pixels of a view read back: width rounded up to a multiple of 8, RGB or RGBA bytes.
struct glBuffer {
  int width = 0, height = 0, components = 3;
  std::vector<unsigned char> pixels;
};
// Width rounded up to a multiple of 8, as every pixel read-back uses.
int padded_width(int w);
// Reads the current read buffer's w x h pixels (width padded); false when out of memory.
bool read_gl_pixels(int w, int h, int components, glBuffer& out);
// Draws the buffer over the whole viewport.
void draw_gl_buffer(const glBuffer& b);
// Overlays: saves both matrices and loads the identity (with w, h > 0 the projection maps
// window pixels, glOrtho(0, w, 0, h, -1, 1)); the pop restores them, GL_MODELVIEW current.
void gl_push_overlay_matrices(int w = 0, int h = 0);
void gl_pop_overlay_matrices();

