// Fuzz target: arbitrary bytes as a zip archive through zip_to_file into a scratch folder.
#include <cstddef>
#include <cstdint>
#include <string>

#include "files/zip.h"
#include "fuzz_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz_archive::run(data, size, "in.zip", [](const std::string& in, const std::string& out) {
    std::string first;
    zip_to_file(in, out, &first, 0);
  });
}
