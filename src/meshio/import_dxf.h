// import_dxf: reads ascii drawing-exchange files: 3DFACE entities become triangles or
// quadrilaterals, POLYLINE vertices bars; one part per layer. A failed import names what
// was wrong and leaves no part behind.
#pragma once

#include <string>
#include <string_view>

namespace DXF {
// Reads the file's bytes into new parts; false with the reason in `why`.
bool import(std::string_view bytes, std::string& why);
}

// Opens and reads the named file; false with the reason in `why`.
bool import_dxf(const std::string& name, std::string& why);
