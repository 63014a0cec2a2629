// Small event hooks for widgets: a released key, focus gained, focus lost.
#pragma once

#include <functional>

class QWidget;

// Runs action when key (a Qt::Key) is released in widget or in one of its child widgets (a date
// picker's or combo box's inner edit), after its press went there too. The release is consumed,
// so the action runs once.
void OnKeyUp(QWidget* widget, int key, std::function<void()> action);
// Runs action when widget gains the keyboard focus.
void OnFocusIn(QWidget* widget, std::function<void()> action);
// Runs action when the operator moves into widget with the mouse or the keyboard (Tab, a
// shortcut); not when its window comes back to the front or a popup over it closes.
void OnEnter(QWidget* widget, std::function<void()> action);
// Runs action when widget loses the keyboard focus.
void OnFocusOut(QWidget* widget, std::function<void()> action);
