// Fuzz target: the text-editing engine driven by arbitrary operation sequences, checked against
// the string model after every step.
#include <cstdio>
#include <cstdlib>

#include "ogle_ops.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string failure = run_ogle_ops(data, size);
  if (!failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
