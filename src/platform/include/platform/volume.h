// Volume information: the free space of the volume that holds a path, whether it spins,
// flushing what was written to it, and whether its file system is read-only or a user's.
// Stands for: PBXGetVolInfoSync and PBHGetVolParmsSync of the File Manager.
// Implemented on Linux: statvfs on the nearest existing ancestor (free = f_bavail x f_frsize,
// allocation unit f_frsize); the block device's rotational flag in /sys; syncfs; the mount that
// holds an open file, from its mount id in /proc/self/fdinfo and that mount in
// /proc/self/mountinfo.
// Missing: volume names, total size, mount flags other than read-only and the volume's attribute
// bits.
#pragma once
#include <cstdint>
#include <string>

// Free bytes available to this user on the volume of path, asked of its nearest existing
// ancestor (so a destination that does not exist yet still has a volume). 0 or an errno.
int PLAT_volume_free_bytes(const std::string& path, uint64_t& free_bytes);
// The volume's allocation unit (every file takes whole ones), asked the same way. 0 or an errno.
int PLAT_volume_block_bytes(const std::string& path, uint64_t& block_bytes);

// Writes everything this system holds in memory for the volume of path (data and folder entries
// of every file on it) to the device, and waits for it. path must exist. 0 or an errno.
int PLAT_volume_flush(const std::string& path);

// What lies under the nearest existing ancestor of path: 1 a spinning disc (or one that reads
// like one: optical drives), 0 a solid-state or memory file system, -1 when it cannot be told.
int PLAT_volume_rotational(const std::string& path);

// What the system says of the mount that holds an open file (when it cannot tell: neither).
struct PLAT_volume_origin {
  bool read_only = false;  // its file system itself is read-only, not only this view of it
  long mounted_by = -1;    // the user who mounted it without privilege (FUSE); -1 for the system
  long mount_id = -1;      // as PLAT_mount_id gives it
};
PLAT_volume_origin PLAT_volume_origin_of(int fd);
// The id of the mount that holds an open file (O_PATH descriptors included), read without asking
// its file system anything; -1 when it cannot be told.
long PLAT_mount_id(int fd);
// The user who mounted a file system of this type with these options (of /proc/self/mounts or
// the super options of /proc/self/mountinfo) without privilege, as FUSE records it; else -1.
long PLAT_mounted_by(const std::string& type, const std::string& options);
