// offscreen_image: pictures of the model without a window. Batch mode draws the parts with
// the viewer's own frame code (view_render) into an off-screen OpenGL context made through
// EGL's surfaceless platform (Mesa, no X server needed) and writes the pixels as a PNG.
#pragma once

#include "ui/Gl_Matrix.h"

#include <string>
#include <vector>

// The directions a picture may look from: the isometric corner or along an axis.
enum class ImageView { ISO, X, Y, Z, NEG_X, NEG_Y, NEG_Z };
// The words of --view: iso x y z -x -y -z.
const char* image_view_names();
// False when `word` is none of them.
bool parse_image_view(const std::string& word, ImageView& view);
// The camera orientation of a view. x, -x, y and -y look from that side with model z up on
// the screen; z looks down with y up (the viewer's X-Y view), -z from below; iso is the
// viewer's isometric preset.
Gl_Quat image_view_orientation(ImageView view);

// The largest width or height of a picture, in pixels.
constexpr int kMaxImageSide = 8192;
// "WxH": two whole numbers from 1 to kMaxImageSide; false otherwise.
bool parse_image_size(const std::string& text, int& width, int& height);

struct ImageRequest {
  std::string path;
  ImageView view = ImageView::ISO;
  int width = 800, height = 600;
  bool free_edges = false;  // the free edges of the merged mesh in red, as the viewer shows them
  bool dark_edges = false;  // element outlines in a dark shade of the part colour
};

// Draws every part as the viewer first shows it (framed, lit, element edges, black
// background) from the requested side, with the axis triad in the lower-left corner, and
// writes the picture to `path` whole or not at all. False with `error` ("cannot draw the picture: ..." or "cannot write the picture:
// ...") when no off-screen context can be made or the file not written.
bool write_parts_image(const ImageRequest& request, std::string& error);

// Writes w x h RGB pixels, rows from the bottom up as OpenGL reads them, as an 8-bit PNG;
// whole or not at all. False with `error`.
bool write_png(const std::string& path, int w, int h, const std::vector<unsigned char>& rgb, std::string& error);
