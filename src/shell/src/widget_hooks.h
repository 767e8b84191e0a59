// Installing the shell's services for the widgets (start-up).
#pragma once

// Gives the widgets the shell's frame, sub-windows, folder chooser and question.
void ZARIRU_install_widget_hooks();
