// import_vet: reads vertex-edge-triangle files (vertices, edges by vertex, triangles by
// edge) into one part "surface".
// A failed import names what was wrong and leaves no part behind.
#pragma once

#include <string>
#include <string_view>

namespace VET {
// Reads the file's bytes into new parts; false with the reason in `why`.
bool import(std::string_view bytes, std::string& why);
}

// Opens and reads the named file; false with the reason in `why`.
bool import_vet(const std::string& name, std::string& why);
