// Placing and closing windows: centred on another window or the screen; closed from the message loop.
#pragma once

class QWidget;

// Moves window so that its frame is centred on anchor's frame (on window's screen when anchor is
// null or hidden).
void CentreOn(QWidget* window, const QWidget* anchor);

// Closes window from the message loop. Closing a modal window before its own modal run has begun
// (from its show handler) would leave that run waiting for a window that is gone.
void CloseLater(QWidget* window);
