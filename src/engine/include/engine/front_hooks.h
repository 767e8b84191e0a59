// The two screens of the front end that the engine calls back while it holds the frame loop:
// the question about a file the user has changed, and the scan progress frame. The front end
// installs them; until then headless defaults answer.
#pragma once
#include <string>

// Answers: 1 act, 2 keep, 3 cancel the whole installation, 4 act for every changed file of
// this folder, 5 keep every changed file of this folder.
using select_alert_fn = int (*)(std::string path, int deleting);
// Draws and shows one complete frame. kind 0 parsing the list, 1 examining the disk.
using dir_progress_bar_fn = void (*)(float lo, float val, float hi, int kind, std::string line1,
                                     std::string line3);

// Each returns the hook installed before; null restores the default.
select_alert_fn set_select_alert_hook(select_alert_fn hook);
dir_progress_bar_fn set_dir_progress_bar_hook(dir_progress_bar_fn hook);

// What the engine calls (the front end's own select_alert and dir_progress_bar keep their
// names). Without a hook the question keeps the file (2) and is logged; no frame is drawn.
int engine_select_alert(std::string path, int deleting);
void engine_dir_progress_bar(float lo, float val, float hi, int kind, std::string line1,
                             std::string line3);
