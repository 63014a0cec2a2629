// Showing a maximised top-level window where no window manager is there to maximise it.
#pragma once

class QWidget;

// Whether a window manager on this display takes care of maximised windows. Without one (a bare
// X server) a maximised window would open at its default size in a corner.
bool WindowManagerMaximises();

// Shows a window whose state is maximised. Under a window manager it is only shown; without one
// it is first given the screen's available area, as maximised means on a desktop.
void ShowMaximised(QWidget* window);
