// Volume information: the free space of the volume that holds a path.
#pragma once
#include <cstdint>
#include <string>

// Free bytes available to this user on the volume of path, asked of its nearest existing
// ancestor (so a destination that does not exist yet still has a volume). 0 or an errno.
int PLAT_volume_free_bytes(const std::string& path, uint64_t& free_bytes);
