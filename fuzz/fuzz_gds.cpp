// Feeds arbitrary bytes to the GDS-II reader; its record trace goes nowhere.
#include "fuzz_support.h"
#include "meshio/import_gds.h"

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  silence_streams();
  static std::ostream no_log(nullptr);
  std::string why;
  check_import(GDS::import(std::string_view(reinterpret_cast<const char*>(data), size), no_log, why));
  return 0;
}
