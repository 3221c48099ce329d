// Feeds arbitrary bytes to the unv reader.
#include "fuzz_support.h"
#include "meshio/import_unv.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  silence_streams();
  std::string why;
  check_import(UNV::import(std::string_view(reinterpret_cast<const char*>(data), size), why));
  return 0;
}
