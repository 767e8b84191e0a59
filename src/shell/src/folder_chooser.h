// The in-window folder chooser used when no desktop chooser program can be started.
#pragma once
#include <string>
#include <vector>

// The visible sub-folders of a folder, sorted.
std::vector<std::string> ZARIRU_list_folders(const std::string& folder);
// Runs the modal chooser from start; 1 with out = the chosen folder (no final "/"), 0 cancelled.
int ZARIRU_choose_folder_in_window(const std::string& start, std::string& out);
