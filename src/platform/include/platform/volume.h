// Volume information: the free space of the volume that holds a path, and whether it spins.
// On Linux: statvfs, and the block device's queue flags in /sys. Not here: the Mac volume
// parameters (ejectable, remote, local caching) that nothing on this build asks for.
#pragma once
#include <cstdint>
#include <string>

// Free bytes available to this user on the volume of path, asked of its nearest existing
// ancestor (so a destination that does not exist yet still has a volume). 0 or an errno.
int PLAT_volume_free_bytes(const std::string& path, uint64_t& free_bytes);

// What lies under the nearest existing ancestor of path: 1 a spinning disc (or one that reads
// like one: optical drives), 0 a solid-state or memory file system, -1 when it cannot be told.
int PLAT_volume_rotational(const std::string& path);
