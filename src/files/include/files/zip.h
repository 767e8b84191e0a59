// Zip archives that keep what a Mac file carries beside its data: Unix mode, modification time,
// symbolic links, and Finder information and resource fork in an AppleDouble entry
// ("__MACOSX/._" + leaf) handed to the platform's mac_meta store.
#pragma once
#include <minizip/unzip.h>

#include <cstdint>
#include <string>
#include <vector>

#include "files/io_utils.h"
#include "files/temp_file.h"

// Unpacks every entry of zip_path (rooted) under out_dir (rooted, ends in "/"). first_name, when
// given, receives the first entry's name; with use_name non-zero every entry goes to out_dir +
// the name *first_name held at the call. Each file is written under a temporary name and renamed
// over the target in one step, so a failure or a crash leaves the old file whole; entries before a
// failure stay. An entry or link text that would leave out_dir, or a link to its own folder or
// above, fails with ERR_UNSAFE_NAME and writes nothing; once the entries are done, every link the
// call made must still lead inside out_dir on disk, else it is removed and the call fails with
// ERR_UNSAFE_NAME. A damaged entry is ERR_ZIP_READ, an encrypted one ERR_ZIP_ENCRYPTED.
// With sealed given, files and links are not renamed but appended to *sealed under their
// temporary names, in archive order, for the caller to place (and to check the links it places)
// or to drop; an AppleDouble entry after its sealed file is taken as the data file's.
ErrCode zip_to_file(std::string zip_path, std::string out_dir, std::string* first_name,
                    int use_name, std::vector<temp_file>* sealed = nullptr);

// Creates zip_path (rooted; replaces what is there) holding src_path's leaf (rooted), a symbolic
// link as a link, and its AppleDouble entry when the mac_meta store knows a resource fork.
// sig and size, when given, receive the signature and byte count of what was packed (of a link,
// its text), from the same read: a file that changes meanwhile cannot get another's signature.
ErrCode file_to_zip(std::string src_path, std::string zip_path, std::string* sig = nullptr,
                    int64_t* size = nullptr);

// Restorers of the current entry of an open archive, as zip_to_file uses them. target_path is
// the entry's full output path (for the AppleDouble entry, the "._" + leaf path).
ErrCode unzip_resource_fork(unzFile zip, std::string target_path, const unz_file_info64& info);
ErrCode unzip_symlink(unzFile zip, std::string target_path, const unz_file_info64& info);

// Names the file layer gives its temporary files beside a target while it unpacks: the prefix
// and mkstemp's six characters, or the link prefix, the process id, "-" and an attempt number.
inline constexpr char kUnpackTempPrefix[] = ".vol-unpack-";
inline constexpr char kLinkTempPrefix[] = ".vol-link-";
// The longest such name (a process id of ten digits and a two-digit attempt).
inline constexpr size_t kUnpackTempNameMax = 24;
// True for such a name, and for the ".old" copies that earlier versions set aside, so that what
// an interrupted run left can be found and removed.
bool is_unpack_leftover(const std::string& name);
