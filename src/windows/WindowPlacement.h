// Placing a window: centred on another window, or on the screen when there is none.
#pragma once

class QWidget;

// Moves window so that its frame is centred on anchor's frame (on window's screen when anchor is
// null or hidden).
void CentreOn(QWidget* window, const QWidget* anchor);
