// import_xpatch: reads xpatch facet files: declared parts that each hold the whole vertex
// list, and blocks of triangular facets.
// A failed import names what was wrong and leaves no part behind.
#pragma once

#include <string>
#include <string_view>

namespace XPATCH {
// Reads the file's bytes into new parts; false with the reason in `why`.
bool import(std::string_view bytes, std::string& why);
}

// Opens and reads the named file; false with the reason in `why`.
bool import_xpatch(const std::string& name, std::string& why);
