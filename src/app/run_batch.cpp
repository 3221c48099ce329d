#include "app/run_batch.h"

#include "grid/Grid.h"
#include "interp/interp.h"
#include "meshio/dvk.h"
#include "util/message.h"

#include <cstdio>
#include <string>

namespace {
bool read_whole_file(const char* path, std::string& text) {
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) text.append(buf, n);
  fclose(f);
  return true;
}
}  // namespace

bool run_batch(const char* input, const char* output, const MeshReports& reports) {
  std::string text;
  if (!read_whole_file(input, text)) return false;
  reset_alert_count();
  bool ran = start_script(text, input);
  bool clean = alert_count() == 0;
  set_message_location({});
  bool written = export_dvk_mesh(output, true);
  bool same = report_mesh(reports);
  Grid::destroy_grids();
  return written && ran && clean && same;
}
