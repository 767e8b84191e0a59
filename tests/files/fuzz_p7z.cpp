// Fuzz target: arbitrary bytes as a 7z archive through p7z_to_file into a scratch folder.
#include <cstddef>
#include <cstdint>
#include <string>

#include "files/p7z.h"
#include "fuzz_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz_archive::run(data, size, "in.7z", [](const std::string& in, const std::string& out) {
    std::string first;
    p7z_to_file(in, out, &first, 0);
  });
}
