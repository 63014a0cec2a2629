// A right click on a grid opens its popup without moving the current row or changing the selection.
#pragma once

class QAbstractItemView;

// The commands of a grid's popup act on the current row and the selection as the operator left
// them; Qt's views would otherwise make the row under the mouse current on a right press (and drop
// a multi-selection). The right button's presses and releases are kept from the view; its popup
// request still comes.
void KeepRowOnRightClick(QAbstractItemView* view);
