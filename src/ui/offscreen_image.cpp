#include "ui/offscreen_image.h"

#include "ui/Gl_Scene.h"
#include "ui/Gl_State.h"
#include "ui/Gl_Triad.h"
#include "ui/Grid_Scene.h"
#include "ui/view_render.h"
#include "util/atomic_file.h"
#include "util/message.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#define GL_GLEXT_PROTOTYPES
#include <FL/gl.h>
#include <GL/glext.h>
#include <png.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>

namespace {

struct ViewWord {
  const char* word;
  ImageView view;
};
constexpr ViewWord kViews[] = {{"iso", ImageView::ISO}, {"x", ImageView::X},      {"y", ImageView::Y},
                               {"z", ImageView::Z},     {"-x", ImageView::NEG_X}, {"-y", ImageView::NEG_Y},
                               {"-z", ImageView::NEG_Z}};

// A turn about the screen's vertical axis, applied after `q`.
Gl_Quat turn_up(double deg, const Gl_Quat& q) { return quat_mul(quat_from_axis_angle({0, 1, 0}, deg), q); }

// An OpenGL context of its own with a w x h colour and depth framebuffer, current while
// it lives. Made through EGL's surfaceless platform: Mesa draws it in software when the
// machine has no GPU, and no display server is asked.
class OffscreenContext {
public:
  ~OffscreenContext() {
    if (mFramebuffer) {
      glDeleteFramebuffers(1, &mFramebuffer);
      glDeleteRenderbuffers(2, mRenderbuffers);
    }
    if (mContext != EGL_NO_CONTEXT) {
      eglMakeCurrent(mDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
      eglDestroyContext(mDisplay, mContext);
    }
    // The display stays initialised for the process (EGL hands out the same one again):
    // terminating it unloads Mesa's driver, and the few blocks the driver keeps would show
    // as leaks to a leak checker.
    eglReleaseThread();
  }

  bool open(int w, int h, std::string& error) {
    const auto get_display =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (get_display) mDisplay = get_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (mDisplay == EGL_NO_DISPLAY || !eglInitialize(mDisplay, &major, &minor)) {
      mDisplay = EGL_NO_DISPLAY;
      return fail("no off-screen OpenGL: EGL has no surfaceless platform (Mesa's libegl-mesa0)", error);
    }
    // The viewer's fixed-function drawing needs desktop OpenGL (a compatibility context).
    if (!eglBindAPI(EGL_OPENGL_API)) return fail("no off-screen OpenGL: EGL offers no desktop OpenGL", error);
    mContext = eglCreateContext(mDisplay, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, nullptr);
    if (mContext == EGL_NO_CONTEXT || !eglMakeCurrent(mDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, mContext))
      return fail("no off-screen OpenGL: EGL made no context without a surface", error);
    GLint most = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &most);
    if (w > most || h > most)
      return fail("the picture is larger than this OpenGL draws (" + std::to_string(most) + " pixels a side)", error);
    glGenFramebuffers(1, &mFramebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, mFramebuffer);
    glGenRenderbuffers(2, mRenderbuffers);
    glBindRenderbuffer(GL_RENDERBUFFER, mRenderbuffers[0]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, mRenderbuffers[0]);
    // 24 bits of depth, as the viewer's window gets.
    glBindRenderbuffer(GL_RENDERBUFFER, mRenderbuffers[1]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, mRenderbuffers[1]);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
      return fail("no off-screen OpenGL: the framebuffer cannot be made (out of memory?)", error);
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    return true;
  }

private:
  static bool fail(const std::string& what, std::string& error) {
    error = "cannot draw the picture: " + what;
    return false;
  }
  EGLDisplay mDisplay = EGL_NO_DISPLAY;
  EGLContext mContext = EGL_NO_CONTEXT;
  GLuint mFramebuffer = 0, mRenderbuffers[2] = {0, 0};
};

void warn_status(const std::string& text, void*) { warning_text(text); }

// libpng's output through an Atomic_File. A failed write is only noted: the callback does
// not jump out of libpng, and the file is thrown away once the picture is done.
struct PngSink {
  Atomic_File file;
  bool failed = false;
};
void png_write_bytes(png_structp png, png_bytep data, png_size_t n) {
  PngSink* sink = static_cast<PngSink*>(png_get_io_ptr(png));
  if (!sink->file.write(data, n)) sink->failed = true;
}
void png_flush_nothing(png_structp) {}

}  // namespace

const char* image_view_names() { return "iso, x, y, z, -x, -y, -z"; }

bool parse_image_view(const std::string& word, ImageView& view) {
  for (const ViewWord& v : kViews)
    if (word == v.word) {
      view = v.view;
      return true;
    }
  return false;
}

Gl_Quat image_view_orientation(ImageView view) {
  // From +x: y to the right, z up (the viewer's Y-Z view); the other sides turn from there.
  const Gl_Quat from_x = quat_from_axis_angle({1 / std::sqrt(3.0), 1 / std::sqrt(3.0), 1 / std::sqrt(3.0)}, -120);
  switch (view) {
  case ImageView::X: return from_x;
  case ImageView::NEG_X: return turn_up(180, from_x);
  case ImageView::Y: return turn_up(-90, from_x);
  case ImageView::NEG_Y: return turn_up(90, from_x);
  case ImageView::Z: return Gl_Quat();
  case ImageView::NEG_Z: return quat_from_axis_angle({0, 1, 0}, 180);
  case ImageView::ISO: break;
  }
  return iso_orientation();
}

bool parse_image_size(const std::string& text, int& width, int& height) {
  const size_t x = text.find('x');
  if (x == std::string::npos) return false;
  const auto whole = [](const std::string& s, int& out) {
    if (s.empty() || s.size() > 5 || s.find_first_not_of("0123456789") != std::string::npos) return false;
    out = std::stoi(s);
    return out >= 1 && out <= kMaxImageSide;
  };
  int w = 0, h = 0;
  if (!whole(text.substr(0, x), w) || !whole(text.substr(x + 1), h)) return false;
  width = w, height = h;
  return true;
}

bool write_png(const std::string& path, int w, int h, const std::vector<unsigned char>& rgb, std::string& error) {
  PngSink sink;
  if (!sink.file.open(path.c_str())) {
    error = std::strerror(errno);
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    error = "out of memory";
    return false;
  }
  std::vector<png_bytep> rows(h);
  // OpenGL's first row is the bottom one.
  for (int r = 0; r < h; ++r) rows[r] = const_cast<png_bytep>(rgb.data() + size_t(h - 1 - r) * w * 3);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    error = "the PNG could not be made";
    return false;
  }
  png_set_write_fn(png, &sink, png_write_bytes, png_flush_nothing);
  png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  errno = 0;
  if (sink.failed || !sink.file.commit()) {
    error = errno ? std::strerror(errno) : "the write failed";
    return false;
  }
  return true;
}

bool write_parts_image(const ImageRequest& r, std::string& error) {
  try {
    std::vector<unsigned char> pixels;
    {
      OffscreenContext context;
      if (!context.open(r.width, r.height, error)) return false;
      gl_new_context_generation();
      RC<Gl_Scene_Composite> scenes(new Gl_Scene_Composite);
      set_display_status_callback(warn_status, nullptr);
      load_grids(*scenes, {.free_edges = r.free_edges});
      // The viewer's first view: centred on the parts and scaled to them.
      Gl_Matrix camera;
      camera.viewport(r.width, r.height);
      camera.center(scenes->center());
      camera.diameter(scenes->diameter());
      camera.fov(camera.fov());
      camera.zoom(1);
      camera.orientation(image_view_orientation(r.view));
      init_view_state(r.width, r.height);
      ViewLook look;
      look.dark_edges = r.dark_edges;
      render_view(scenes.get(), camera, Gl_LightingState(), Gl_ClippingState(), look);
      draw_axis_triad(camera.orientation(), r.width, r.height);
      test4errors("write_parts_image()");
      glFinish();
      pixels.resize(size_t(r.width) * r.height * 3);
      glPixelStorei(GL_PACK_ALIGNMENT, 1);
      glReadPixels(0, 0, r.width, r.height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
      // The parts' buffers go while their context is still current.
      scenes = RC<Gl_Scene_Composite>();
      gl_delete_deferred_buffers();
    }
    if (write_png(r.path, r.width, r.height, pixels, error)) return true;
    error = "cannot write the picture: " + error;
  } catch (const std::bad_alloc&) {
    error = "cannot draw the picture: not enough memory";
  }
  return false;
}
