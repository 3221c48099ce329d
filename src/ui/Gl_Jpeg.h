// Gl_Jpeg: snapshots of the viewer as progressive JPEG files through libjpeg.
#pragma once

#include <string>

// Writes w x h RGB bytes (rows of w pixels) as a progressive three-component JPEG. With `flip`
// the last row is written first, so OpenGL's bottom-up rows come out upright. Returns an
// empty string on success, else what failed ("can't open specified file for jpg output").
std::string write_jpg(const std::string& path, int w, int h, const unsigned char* rgb, bool flip);
// Reads the current OpenGL context's w x h view and writes exactly those pixels upright to
// `path`; prints the sizes to standard output. Failures are alerted.
bool gl_window_to_jpg(const std::string& path, int w, int h);
