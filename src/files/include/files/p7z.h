// 7z archives: extraction through libarchive, and packing through the external "7za" tool.
#pragma once
#include <string>
#include <vector>

#include "files/io_utils.h"
#include "files/temp_file.h"

// Unpacks the files of archive_path under out_dir (both used as given; out_dir ends in "/").
// Folder records are skipped: every output folder must exist. Before each file is written its
// output path goes to *name_io when given; with use_name non-zero it is out_dir + *name_io.
// Each file is written under a temporary name and renamed over the target. Codes: errno (archive
// or output cannot be opened), ERR_ZIP_OPEN (not a 7z archive), ERR_ZIP_READ (damaged data),
// ENOMEM, ERR_ZIP_WRITE (short write), ERR_UNSAFE_NAME. With sealed given, the files are not
// renamed but appended to *sealed under their temporary names, for the caller to place or drop.
ErrCode p7z_to_file(std::string archive_path, std::string out_dir, std::string* name_io,
                    int use_name, std::vector<temp_file>* sealed = nullptr);

// Runs "7za a archive_path source_path"; returns its wait status, or errno when it cannot start.
int file_to_p7z(std::string source_path, std::string archive_path);
