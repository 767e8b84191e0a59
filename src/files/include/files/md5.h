// MD5 (RFC 1321) and the file signature the file list compares: 32 lower-case hex digits.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "files/io_utils.h"

struct md5_ctx {
  uint32_t count[2];    // bit count, low word first
  uint32_t state[4];
  uint8_t buffer[64];
  uint8_t digest[16];   // filled by MD5Final
};

void MD5Init(md5_ctx* ctx);
// The update step for a 16-bit length.
void MD5Update(md5_ctx* ctx, const uint8_t* data, uint16_t length);
// Any length; the same digest as one update over the whole input.
void MD5UpdateWide(md5_ctx* ctx, const uint8_t* data, size_t length);
void MD5Final(md5_ctx* ctx);
// The signature of a hash that MD5Final finished.
std::string md5_digest_hex(const md5_ctx& ctx);

// The signature of path (rooted): a symbolic link hashes its link text. 0 with out set, or
// ERR_FILE_OPEN (also for a file that shrinks while it is read) with out untouched. size, when
// given, receives the count of the bytes hashed.
ErrCode calc_file_md5(const std::string& path, std::string& out, int64_t* size = nullptr);

// The signature of a block of bytes.
std::string md5_hex(const void* data, size_t length);
