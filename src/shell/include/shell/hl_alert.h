// The four-line alert as the user sees it: on the main thread with OpenGL up it takes over
// sub-window 995 and runs nested frames until its button or Return; before OpenGL, or while
// another alert shows, the system's message box. Installed at start-up as the alert hook.
#pragma once
#include <string>

void ZARIRU_shell_alert(int window, std::string l1, std::string l2, std::string l3, std::string l4,
                        int type, const char* file, int line);
// Installs ZARIRU_shell_alert as the program's alert.
void ZARIRU_install_alert();
// 1 while an alert is being shown on the main thread.
int ZARIRU_in_alert();
// "(" + file + " line " + line + ")".
std::string ZARIRU_alert_location(const char* file, int line);
