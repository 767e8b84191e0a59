// Opens a web page in the desktop's browser.
// Stands for: Internet Config (ICLaunchURL).
// Implemented on Linux: "xdg-open URL", started without a shell and not waited for.
// Missing: knowing whether a browser really opened the page (xdg-open reports only its start).
#pragma once
#include <string>

// Starts "xdg-open URL" without a shell and does not wait for it. 0, or the errno of the failed start.
int PLAT_open_url(const std::string& url);
