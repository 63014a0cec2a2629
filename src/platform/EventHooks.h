// Small event hooks for widgets: a released key, focus gained, focus lost.
#pragma once

#include <functional>

class QWidget;

// Runs action when key (a Qt::Key) is released in widget or in one of its child widgets (a date
// picker's or combo box's inner edit). The release is consumed, so the action runs once.
void OnKeyUp(QWidget* widget, int key, std::function<void()> action);
// Runs action when widget gains the keyboard focus.
void OnFocusIn(QWidget* widget, std::function<void()> action);
// Runs action when widget loses the keyboard focus.
void OnFocusOut(QWidget* widget, std::function<void()> action);
