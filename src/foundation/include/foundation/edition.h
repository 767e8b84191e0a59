// Build-time edition constants. Each executable (and each test edition) defines them in a
// source file of its own, so the libraries are compiled once for every edition.
#pragma once

extern const int is_dvd;        // disc type: 1 main disc, 2 to 4 scenery discs
extern const int install_type;
extern const int is_net;        // fetch files from download servers instead of the disc
extern const int is_build;      // master-building mode
