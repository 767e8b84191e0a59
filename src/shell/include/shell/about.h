// The About box: a modal screen in sub-window 994 with the product and version, the update
// check against the download server's list, and the download, unpacking and start of a newer
// installer. Downloads use the HTTP slots 0 (the list) and 1 (the installer archive).
#pragma once
#include <string>

// The host the server list "/serverlist.txt" is fetched from (a bare name, no "/"), and the
// product's web site.
extern std::string about_list_server;
extern std::string about_web_url;
// The public half (64 hex digits) of the key that an update's signature must verify with: the
// build's VOL_UPDATE_PUBLIC_KEY.
extern std::string about_update_key;

// Runs the screen until its sub-window is closed or the program is asked to quit.
void ZARIRU_about();

// Opens a web page in the browser; a URL longer than 499 characters is the fatal
// "String too long!".
void go_to_URL(const std::string& url);

// What the screen showed in its last frame, for whoever watches it (tests).
struct about_view {
  int list_done = 0;         // this opening's list attempt has ended
  int list_read = 0;         // the list's "FINAL" line was read
  int ins_state = 0;         // about_ins_* of shell/about_logic.h
  std::string status_line;   // the line about the current version
  std::string err_msg;
  std::string progress;      // the download line, empty when none shows
  int button_shown = 0;      // the update button
  float button_x = 0, button_y = 0;  // its centre in window pixels, y up
  std::string unpacked_to;   // the folder the last update was unpacked into
};
const about_view& ZARIRU_about_view();
