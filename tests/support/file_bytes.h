// Whole files as byte strings, for tests that write their inputs and check what was written.
#pragma once
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace test_support {

// Replaces the file at p with the bytes; a failed write fails the test.
inline void write_bytes(const std::string& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  ASSERT_TRUE(out.good()) << p;
}

// The file's bytes; empty when it cannot be read.
inline std::string read_bytes(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace test_support
