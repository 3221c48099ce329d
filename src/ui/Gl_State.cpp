#include "ui/Gl_State.h"

#include <FL/gl.h>

#include <cmath>
#include <cstdio>
#include <new>

std::array<double, 4> clip_equation(const Gl_ClipInfo& c) {
  const Gl_Vec3& n = c.normal;
  const Gl_Vec3& o = c.origin;
  return {-n[0], -n[1], -n[2], n[0] * o[0] + n[1] * o[1] + n[2] * o[2]};
}

bool clip_dot_height(const Gl_ClipInfo& c, const Gl_Vec3& center, double diameter, double& s) {
  const Gl_Vec3& n = c.normal;
  const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (!(len > 0) || !(diameter > 0)) return false;
  double d = 0;
  for (int k = 0; k < 3; ++k) d += n[k] * (c.origin[k] - center[k]);
  s = d / (len * diameter);
  return std::fabs(s) <= 1;
}

Gl_Vec3 clip_origin_at(const Gl_ClipInfo& c, const Gl_Vec3& center, double diameter, double s) {
  const Gl_Vec3& n = c.normal;
  const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (!(len > 0)) return c.origin;
  Gl_Vec3 o;
  for (int k = 0; k < 3; ++k) o[k] = center[k] + s * diameter * n[k] / len;
  return o;
}

std::array<float, 3> clip_dot_color(int i) {
  static const float base[6][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {1, 0, 1}, {0, 1, 1}};
  const int k = ((i % 12) + 12) % 12;
  const float f = k < 6 ? 1.0f : 0.5f;
  return {base[k % 6][0] * f, base[k % 6][1] * f, base[k % 6][2] * f};
}

const char* gl_error_text(unsigned code) {
  switch (code) {
  case GL_INVALID_ENUM:
    return "An unacceptable value is specified for an enumerated argument. The offending command is "
           "ignored, and has no other side effect than to set the error flag.\n";
  case GL_INVALID_VALUE:
    return "A numeric argument is out of range. The offending command is ignored, and has no other "
           "side effect than to set the error flag.\n";
  case GL_INVALID_OPERATION:
    return "The specified operation is not allowed in the current state. The offending command is "
           "ignored, and has no other side effect than to set the error flag. \n";
  case GL_STACK_OVERFLOW:
    return "This command would cause a stack overflow. The offending command is ignored, and has no "
           "other side effect than to set the error flag. \n";
  case GL_STACK_UNDERFLOW:
    return "This command would cause a stack underflow. The offending command is ignored, and has no "
           "other side effect than to set the error flag. \n";
  case GL_OUT_OF_MEMORY:
    return "There is not enough memory left to execute the command. The state of the GL is undefined, "
           "except for the state of the error flags, after this error is recorded. \n";
  default:
    return "Unknown GL error. \n";
  }
}

double polygon_offset_unit_scale() {
  GLint bits = 0;
  glGetIntegerv(GL_DEPTH_BITS, &bits);
  return bits > 24 ? std::ldexp(1.0, bits - 24) : 1.0;
}

bool test4errors(const char* where) {
  const GLenum e = glGetError();
  if (e == GL_NO_ERROR) return false;
  printf("%s%s\n", gl_error_text(e), where);
  fflush(stdout);
  return true;
}

void apply_clipping(const Gl_ClippingState& c) {
  for (int i = 0; i < Gl_ClippingState::MAX_PLANES; ++i) {
    if (i < (int)c.planes.size()) {
      const auto eq = clip_equation(c.planes[i]);
      glClipPlane(GL_CLIP_PLANE0 + i, eq.data());
      glEnable(GL_CLIP_PLANE0 + i);
    } else {
      glDisable(GL_CLIP_PLANE0 + i);
    }
  }
}

void apply_lighting(const Gl_LightingState& l) {
  if (l.enabled) glEnable(GL_LIGHTING);
  else glDisable(GL_LIGHTING);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, l.two_sided ? GL_TRUE : GL_FALSE);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, l.global_ambient);
  for (int i = 0; i < Gl_LightingState::MAX_LIGHTS; ++i) {
    const Gl_LightInfo& li = l.lights[i];
    const GLenum id = GL_LIGHT0 + i;
    if (!li.enabled) {
      glDisable(id);
      continue;
    }
    glEnable(id);
    glLightfv(id, GL_AMBIENT, li.ambient);
    glLightfv(id, GL_DIFFUSE, li.diffuse);
    glLightfv(id, GL_SPECULAR, li.specular);
    const float pos[4] = {float(li.position[0]), float(li.position[1]), float(li.position[2]),
                          li.local ? 1.0f : 0.0f};
    glLightfv(id, GL_POSITION, pos);
    if (li.local) {
      glLightf(id, GL_CONSTANT_ATTENUATION, float(li.constant_att));
      glLightf(id, GL_LINEAR_ATTENUATION, float(li.linear_att));
      glLightf(id, GL_QUADRATIC_ATTENUATION, float(li.quadratic_att));
    }
    if (li.not_spot) {
      glLightf(id, GL_SPOT_CUTOFF, 180);
    } else {
      const float dir[3] = {float(li.spot_direction[0]), float(li.spot_direction[1]),
                            float(li.spot_direction[2])};
      glLightfv(id, GL_SPOT_DIRECTION, dir);
      glLightf(id, GL_SPOT_EXPONENT, float(li.falloff));
      glLightf(id, GL_SPOT_CUTOFF, float(li.cutoff_deg));
    }
  }
}

int padded_width(int w) { return w <= 0 ? 0 : (w + 7) / 8 * 8; }

bool read_gl_pixels(int w, int h, int components, glBuffer& out) {
  const int W = padded_width(w);
  if (W <= 0 || h <= 0) return false;
  try {
    out.pixels.assign(size_t(W) * h * components, 0);
  } catch (const std::bad_alloc&) {
    out.pixels.clear();
    return false;
  }
  out.width = W, out.height = h, out.components = components;
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, W, h, components == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, out.pixels.data());
  return true;
}

void gl_push_overlay_matrices(int w, int h) {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  if (w > 0 && h > 0) glOrtho(0, w, 0, h, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
}

void gl_pop_overlay_matrices() {
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
}

void draw_gl_buffer(const glBuffer& b) {
  if (b.pixels.empty()) return;
  gl_push_overlay_matrices();
  glRasterPos2f(-1, -1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glDrawPixels(b.width, b.height, b.components == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, b.pixels.data());
  gl_pop_overlay_matrices();
}
