// Volume information: the free space of the volume that holds a path, whether it spins, and
// flushing what was written to it. On Linux: statvfs, the block device's queue flags in /sys,
// syncfs. Not here: volume names, mount flags and the Mac volume parameters (ejectable, remote,
// local caching) that nothing on this build asks for.
#pragma once
#include <cstdint>
#include <string>

// Free bytes available to this user on the volume of path, asked of its nearest existing
// ancestor (so a destination that does not exist yet still has a volume). 0 or an errno.
int PLAT_volume_free_bytes(const std::string& path, uint64_t& free_bytes);

// Writes everything this system holds in memory for the volume of path (data and folder entries
// of every file on it) to the device, and waits for it. path must exist. 0 or an errno.
int PLAT_volume_flush(const std::string& path);

// What lies under the nearest existing ancestor of path: 1 a spinning disc (or one that reads
// like one: optical drives), 0 a solid-state or memory file system, -1 when it cannot be told.
int PLAT_volume_rotational(const std::string& path);
