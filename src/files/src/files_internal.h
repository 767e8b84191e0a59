// Helpers shared by the units of the files library; not part of its public face.
#pragma once
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

struct md5_ctx;

// Longest path text the system accepts, terminator included.
constexpr size_t PATH_MAX_LEN = PATH_MAX;
// The longest name one step of a path may have.
constexpr size_t NAME_MAX_LEN = NAME_MAX;

// app_path + path with an upper-case extension written in lower case, as ouf_open names files.
std::string ouf_full_path(const std::string& path);

// Hashes exactly size bytes read from fd into ctx; false on a read error or when the data ends
// before size bytes (a file cut short while it is read).
bool md5_hash_fd(int fd, uint64_t size, md5_ctx* ctx);
