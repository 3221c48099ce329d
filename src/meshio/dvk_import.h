// dvk_import: reads an ascii mesh file (as dvk_export writes it) back as one RawGrid per group.
#pragma once

#include <istream>
#include <string>
#include <string_view>

namespace DVK {
// Reads the file's bytes into new parts; false with the reason in `why`, leaving no part.
bool import(std::string_view bytes, std::string& why);
bool import(std::istream& in);  // as above; the reason goes to standard error
}  // namespace DVK
bool import_dvk(const std::string& name, std::string& why);
bool import_dvk(const std::string& name);  // the reason goes to standard error
