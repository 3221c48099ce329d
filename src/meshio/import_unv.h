// import_unv: reads SDRC universal files: node and element datasets into one part
// "Ungrouped", or with group datasets one part per group (elements of no group stay in
// "Ungrouped"); other datasets are skipped.
// A failed import names what was wrong and leaves no part behind.
#pragma once

#include <string>
#include <string_view>

namespace UNV {
// Reads the file's bytes into new parts; false with the reason in `why`.
bool import(std::string_view bytes, std::string& why);
}

// Opens and reads the named file; false with the reason in `why`.
bool import_unv(const std::string& name, std::string& why);
