// Opens a web page in the desktop's browser.
#pragma once
#include <string>

// Starts "xdg-open URL" without a shell and does not wait for it. 0, or the errno of the failed start.
int PLAT_open_url(const std::string& url);
