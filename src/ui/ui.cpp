#include "ui/ui.h"

#include "grid/Grid.h"
#include "ui/Fl_Emacs.h"
#include "ui/Fl_Gl_Viewer.h"
#include "ui/main_window.h"
#include "ui/messages.h"

#include <FL/Fl.H>
#include <FL/Fl_Gl_Window.H>
#include <FL/Fl_Window.H>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

namespace {

// The toolkit ends the process itself when it cannot open the display, so look first.
bool display_usable() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  XCloseDisplay(d);
  return true;
}

}  // namespace

int run_interactive(int argc, char** argv) {
  if (!display_usable()) {
    const char* name = std::getenv("DISPLAY");
    if (name && *name)
      std::fprintf(stderr, "pelgrove: cannot open the display '%s'; use --run input.vmf output.dvk without one\n", name);
    else
      std::fprintf(stderr, "pelgrove: no display to open the window on (DISPLAY is not set); "
                           "use --run input.vmf output.dvk without one\n");
    return 1;
  }
  static FltkSink sink;
  set_message_sink(&sink);
  Fl_Window* window = make_pelgrove_window(nullptr, nullptr);
  // The viewer's settings live in the user's configuration (tests' viewers keep the defaults).
  if (auto* v = dynamic_cast<Fl_Gl_Viewer*>(Pelgrove_UserInterface::GridViewer)) v->settings_file(viewer_settings_path());
  Fl::visual(FL_DOUBLE);
  if (argc > 1) {
    --argc;
    Pelgrove_UserInterface::open_script(argv[argc]);
  } else {
    Pelgrove_UserInterface::ScriptInput->buffer()->text("");
  }
  window->show(argc, argv);
  int status = Fl::run();
  set_message_sink(nullptr);
  Grid::destroy_grids();  // the parts of the last run
  return status;
}
