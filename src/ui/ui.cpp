#include "ui/ui.h"

#include <cstdio>

int run_interactive(int, char**) {
  fprintf(stderr, "pelgrove: the interactive mode is not available in this build; "
                  "use --run input.vmf output.dvk\n");
  return 1;
}
