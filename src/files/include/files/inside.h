// Whether a place stays inside a folder: the one rule that the archive extractors, the install
// engine's destination checks and the save dialog share, and the resolution of a symbolic link
// that it is applied to.
#pragma once
#include <string>

// True when real_path is real_root itself or lies below it. Both are resolved absolute paths
// (realpath); a trailing "/" on either is ignored.
bool path_inside(const std::string& real_root, const std::string& real_path);

// Where the text of a link placed in the folder real_dir (a resolved path) leads, as the system
// would follow it: every link met on the way is followed, and parts that do not exist yet are taken
// as plain names. False when the links go round (more than 40 of them) or cannot be read.
bool resolve_link_text(const std::string& real_dir, const std::string& text, std::string* out);

// A link at link_path is safe to leave in a tree rooted at real_root: it leads, as resolved by
// resolve_link_text, to a place inside real_root that is neither its own folder nor one of that
// folder's ancestors (a tree holding such a link has no bottom). False for anything else,
// a path that is not a link included.
bool link_resolves_inside(const std::string& real_root, const std::string& link_path);

// What a file written as `name` in `folder` (rooted, ends in "/") would land on.
enum save_place : int {
  save_place_free = 0,  // nothing yet (a link inside the folder that leads nowhere yet included)
  save_place_file,      // an existing file, or a link inside the folder to one
  save_place_folder,    // a folder, or a link to one
  save_place_outside,   // a link that leads outside the folder
  save_place_too_long   // a path the system cannot take
};
save_place save_place_of(const std::string& folder, const std::string& name);
