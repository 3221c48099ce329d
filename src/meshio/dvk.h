// dvk: the ascii mesh file: counts, point lines, two lines per element, group lines.
// export_dvk_mesh writes the merged, renumbered parts; DVK::import reads one back as
// one RawGrid per group.
#pragma once

#include <istream>
#include <string>
#include <string_view>

// Writes every part's effective points and elements; false when the file cannot be written.
// The file is replaced only when the whole mesh was written.
bool export_dvk_mesh(const char* path, bool unused);

namespace DVK {
// Reads the file's bytes into new parts; false with the reason in `why`, leaving no part.
bool import(std::string_view bytes, std::string& why);
bool import(std::istream& in);  // as above; the reason goes to standard error

// -- formatting (the same bytes as the printf conversions named); each may write blanks
// up to 8 bytes past the end it returns, which the next field overwrites
char* put_long(char* out, long v, int width);  // "%<width>ld"
char* put_e(char* out, double v);              // "%21.13e"
// "%21.13e %21.13e %21.13e": a point's coordinates, as every text writer prints them.
inline char* put_xyz(char* out, double x, double y, double z) {
  out = put_e(out, x);
  *out++ = ' ';
  out = put_e(out, y);
  *out++ = ' ';
  return put_e(out, z);
}
// A point number on an element line: "%8ld", with a blank before numbers that fill
// the field, so they stay separated.
char* put_point_number(char* out, long v);
}  // namespace DVK
bool import_dvk(const std::string& name, std::string& why);
bool import_dvk(const std::string& name);  // the reason goes to standard error
