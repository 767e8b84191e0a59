// Volume information: the free space of the volume that holds a path.
// Stands for: PBXGetVolInfoSync and PBHGetVolParmsSync of the File Manager.
// Implemented on Linux: statvfs on the nearest existing ancestor; free = f_bavail x f_frsize.
// Missing: volume names, total size, and the volume's attribute bits.
#pragma once
#include <cstdint>
#include <string>

// Free bytes available to this user on the volume of path, asked of its nearest existing
// ancestor (so a destination that does not exist yet still has a volume). 0 or an errno.
int PLAT_volume_free_bytes(const std::string& path, uint64_t& free_bytes);
