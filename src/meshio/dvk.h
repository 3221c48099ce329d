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
}  // namespace DVK
bool import_dvk(const std::string& name, std::string& why);
bool import_dvk(const std::string& name);  // the reason goes to standard error
