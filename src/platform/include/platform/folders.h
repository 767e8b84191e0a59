// The folders of the operating system that the installer needs: its own folder, the desktop,
// the applications folder, a private temporary folder and the preferences folder.
// Every path returned is absolute and ends in "/".
// Stands for: the Folder Manager (FSFindFolder) and the main bundle's folder.
// Implemented on Linux: the folder of /proc/self/exe, the XDG desktop folder, $HOME/Applications,
// a private folder made by mkdtemp and removed at exit, the XDG config folder, the home folder.
// Missing: every other Folder Manager kind (fonts, system, trash...) and per-volume folders.
#pragma once
#include <string>

enum : int {
  PLAT_folder_app = 0,      // the folder that holds the running executable
  PLAT_folder_desktop = 1,  // XDG desktop, else $HOME/Desktop when it exists, else $HOME
  PLAT_folder_apps = 2,     // $HOME/Applications (whether or not it exists)
  PLAT_folder_temp = 3,     // a private folder made once per process, removed at exit; its
                            // first request also removes those of earlier runs that were killed
  PLAT_folder_prefs = 4,    // $XDG_CONFIG_HOME, else $HOME/.config (created when missing)
  PLAT_folder_count = 5
};

// Fills out with the folder's path and returns 0, or returns an errno value and leaves out alone.
// which outside 0..4 gives EINVAL.
int PLAT_find_folder(int which, std::string& out);

// The user's home folder, ending in "/"; empty when none can be found.
std::string PLAT_home_folder();

// Removes the private temporary folders under base ("volarium-" folders of this user) whose
// process no longer runs, however it ended; folders in use and anything else stay. Returns how
// many were removed.
int PLAT_remove_stale_temp_folders(const std::string& base);
