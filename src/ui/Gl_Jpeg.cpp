#include "ui/Gl_Jpeg.h"

#include "ui/Gl_State.h"
#include "util/message.h"

#include <FL/gl.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace {
// libjpeg reports fatal errors through error_exit; jump back instead of exiting.
struct JpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
  char text[JMSG_LENGTH_MAX];
};

void on_jpeg_error(j_common_ptr cinfo) {
  JpegError* e = reinterpret_cast<JpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, e->text);
  longjmp(e->jump, 1);
}
}  // namespace

std::string write_jpg(const std::string& path, int w, int h, const unsigned char* rgb, bool flip) {
  if (w <= 0 || h <= 0 || !rgb) return "can't allocate buffer memory";
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return "can't open specified file for jpg output";
  jpeg_compress_struct cinfo;
  JpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = on_jpeg_error;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    fclose(f);
    return std::string("could not write jpg: ") + err.text;
  }
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, f);
  cinfo.image_width = w;
  cinfo.image_height = h;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int row = flip ? h - 1 - int(cinfo.next_scanline) : int(cinfo.next_scanline);
    JSAMPROW p = const_cast<JSAMPROW>(rgb + size_t(row) * w * 3);
    jpeg_write_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  const bool ok = fclose(f) == 0;
  return ok ? "" : "can't open specified file for jpg output";
}

bool gl_window_to_jpg(const std::string& path, int w, int h) {
  printf("viewer size is %d %d\n", w, h);
  printf("\tusing %d %d\n", w, h);
  fflush(stdout);
  glBuffer b;
  std::string failure;
  if (!read_gl_pixels(w, h, 3, b)) {
    failure = "can't allocate buffer memory";
  } else {
    // The read-back rows are padded to a multiple of 8 pixels; the picture is exactly w wide.
    for (int y = 1; y < h; ++y)
      std::copy_n(&b.pixels[size_t(y) * b.width * 3], size_t(w) * 3, &b.pixels[size_t(y) * w * 3]);
    failure = write_jpg(path, w, h, b.pixels.data(), true);
  }
  if (failure.empty()) return true;
  MessageLocationGuard keep;
  set_message_location({});
  alert_text(failure);
  return false;
}
