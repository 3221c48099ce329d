// Feeds arbitrary bytes to the dvk reader.
#include "fuzz_support.h"
#include "meshio/dvk_import.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  silence_streams();
  std::string why;
  check_import(DVK::import(std::string_view(reinterpret_cast<const char*>(data), size), why));
  return 0;
}
