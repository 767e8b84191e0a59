// Installing the shell's services for the widgets (start-up).
#pragma once

// Gives the widgets the shell's frame, sub-windows and folder chooser.
void ZARIRU_install_widget_hooks();
