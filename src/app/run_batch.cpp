#include "app/run_batch.h"

#include "grid/Grid.h"
#include "interp/interp.h"
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

bool run_batch(const char* input, const char* output, const Mesh_Format& format,
               const MeshReports& reports) {
  std::string text;
  if (!read_whole_file(input, text)) return false;
  reset_alert_count();
  bool ran = start_script(text, input);
  bool clean = alert_count() == 0;
  set_message_location({});
  bool written = format.write(output, true);
  bool same = report_mesh(reports);
  Grid::destroy_grids();
  return written && ran && clean && same;
}

namespace {
std::string format_info() {
  std::string info = "the value names the format of the --run output file:";
  for (const Mesh_Format& f : mesh_formats()) {
    info += "\n" + std::string(f.name) + "  " + f.description;
    if (&f == &mesh_formats()[0]) info += " (the default)";
  }
  return info;
}
}  // namespace

CLO_format::CLO_format(const std::string& name) : CLO_t(name, format_info()) { values[0] = mesh_formats()[0].name; }

bool CLO_format::operator()(int i, int& argc, char** argv) {
  if (!CLO_t::operator()(i, argc, argv)) return false;
  if (!find_mesh_format(values[0]))
    fail(("unknown format '" + values[0] + "'; the formats are " + mesh_format_names()).c_str(), 2);
  return true;
}

const Mesh_Format& CLO_format::format() const {
  const Mesh_Format* f = find_mesh_format(values[0]);
  return f ? *f : mesh_formats()[0];
}
