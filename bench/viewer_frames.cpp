// viewer_frames: times the display of a model in the viewer. Runs a script (parts built and
// merged, as "Run" does), then load_grids, the first frame (buffers uploaded), the mean frame
// while the model turns by key steps and by a mouse drag, and the frame on release. Wall and CPU times in seconds: the whole process,
// and the main thread alone (Mesa's software renderer transforms and sets up every primitive
// there and rasterises on its own threads, so on an idle machine the main thread's time is
// what a frame takes).
//   xvfb-run -a -s "-screen 0 1280x1024x24" viewer_frames model.vmf [frames] [width height]
#include "builders/builders.h"
#include "interp/interp.h"
#include "ui/Fl_Gl_Viewer.h"
#include "ui/Grid_Scene.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/gl.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {
double wall() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double cpu() {
  rusage r;
  getrusage(RUSAGE_SELF, &r);
  return r.ru_utime.tv_sec + r.ru_stime.tv_sec + 1e-6 * (r.ru_utime.tv_usec + r.ru_stime.tv_usec);
}

// CPU time of the calling thread only: the renderer's own threads rasterise in parallel.
double thread_cpu() {
  rusage r;
  getrusage(RUSAGE_THREAD, &r);
  return r.ru_utime.tv_sec + r.ru_stime.tv_sec + 1e-6 * (r.ru_utime.tv_usec + r.ru_stime.tv_usec);
}

struct Stopwatch {
  double w = wall(), c = cpu(), m = thread_cpu();
  // With `rate`, also the frames per second the main thread's time allows.
  void print(const char* what, int n = 1, bool rate = false) {
    const double main = (thread_cpu() - m) / n;
    printf("%-14s wall %7.3f s   cpu %7.3f s   main thread %7.3f s", what, (wall() - w) / n,
           (cpu() - c) / n, main);
    if (rate && main > 0) printf("   (%.1f frames/s)", 1 / main);
    printf("\n");
    w = wall(), c = cpu(), m = thread_cpu();
  }
};

// Draws one frame and waits until it is finished.
void frame(Fl_Gl_Viewer& v) {
  v.redraw();
  Fl::flush();
  v.make_current();
  glFinish();
}

// Counts the frames actually drawn.
struct CountingViewer : Fl_Gl_Viewer {
  int drawn = 0;
  using Fl_Gl_Viewer::Fl_Gl_Viewer;
  void draw() override {
    Fl_Gl_Viewer::draw();
    ++drawn;
  }
};
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: viewer_frames model.vmf [frames] [width height]\n");
    return 2;
  }
  const int frames = argc > 2 ? atoi(argv[2]) : 20;
  const int W = argc > 4 ? atoi(argv[3]) : 800, H = argc > 4 ? atoi(argv[4]) : 600;
  std::ifstream in(argv[1]);
  std::stringstream text;
  text << in.rdbuf();
  std::string script = text.str();
  map_builders("");
  map_commands();

  Fl_Window win(W, H, "viewer_frames");
  CountingViewer v(0, 0, W, H);
  win.end();
  win.show();
  while (!v.shown() || !v.visible()) Fl::wait(0.05);
  while (!v.drawn) Fl::wait(0.05);  // the first expose
  set_display_status_callback([](const std::string& t, void*) { printf("status: %s\n", t.c_str()); },
                              nullptr);

  Stopwatch t;
  if (!start_script(script, argv[1])) return 1;
  t.print("script run");
  long quads = 0;
  for (auto it = Grid::all_begin(); it != Grid::all_end(); ++it) quads += (*it)->num_elements();
  load_grids();
  t.print("load_grids");
  v.scene(Pelgrove_UserInterface::gScenes, true);
  frame(v);
  t.print("first frame");
  const int before = v.drawn;
  for (int i = 0; i < frames; ++i) {
    v.handle_model_rotation_lr(1);
    v.handle_model_rotation_du(1);
    frame(v);
  }
  t.print("frame (mean)", frames, true);
  printf("frames drawn %d\n", v.drawn - before);
  // The same turning by a left-button drag, then the frame drawn on release.
  Fl::e_state = FL_BUTTON1, Fl::e_x = W / 2, Fl::e_y = H / 2;
  v.handle(FL_PUSH);
  t.print("press");
  for (int i = 0; i < frames; ++i) {
    Fl::e_x += 4, Fl::e_y += 2;
    v.handle(FL_DRAG);
    frame(v);
  }
  t.print("drag (mean)", frames, true);
  Fl::e_state = 0;
  v.handle(FL_RELEASE);
  frame(v);
  t.print("release");
  size_t bytes = 0;
  for (auto& s : *Pelgrove_UserInterface::gScenes) bytes += s.cast<Grid_Scene>()->mesh.bytes();
  printf("%ld elements in %zu parts, %dx%d view, display arrays %.0f MiB\n", quads,
         Pelgrove_UserInterface::gScenes->size(), W, H, bytes / 1048576.0);
  return 0;
}
