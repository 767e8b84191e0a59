// Volume information: the free space of the volume that holds a path, and flushing what was
// written to that volume (syncfs on Linux; nothing here reads volume names or mount flags).
#pragma once
#include <cstdint>
#include <string>

// Free bytes available to this user on the volume of path, asked of its nearest existing
// ancestor (so a destination that does not exist yet still has a volume). 0 or an errno.
int PLAT_volume_free_bytes(const std::string& path, uint64_t& free_bytes);

// Writes everything this system holds in memory for the volume of path (data and folder entries
// of every file on it) to the device, and waits for it. path must exist. 0 or an errno.
int PLAT_volume_flush(const std::string& path);
