// import_gds: reads GDS-II stream files: boundaries of three or four sides become
// triangles or quadrilaterals, paths a quadrilateral per segment; one part per structure
// and layer. Every record is traced to a log. A failed import names what was wrong and
// leaves no part behind.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

namespace GDS {
// Reads the file's bytes into new parts, tracing the records to `log`; false with the
// reason in `why`.
bool import(std::string_view bytes, std::ostream& log, std::string& why);
}

// Opens and reads the named file, tracing to "gdsII.log" in the working directory.
bool import_gds(const std::string& name, std::string& why);
