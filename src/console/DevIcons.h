// Small pictures of the device tree and the detail box, drawn once on first use (UI thread only).
#pragma once

#include <QIcon>
#include <QPixmap>

namespace DevIcons {

QIcon Root();             // the tree's root "设备列表"
QIcon Group(int group);   // a group node, 1 up, 2 error, 3 down, 4 poweroff
QIcon Device(int group);  // a terminal in that group

QPixmap DevRun();   // terminal running
QPixmap DevStop();  // terminal shut down or without power
QPixmap NetOk();    // network check good
QPixmap NetError(); // network check failed or terminal off

} // namespace DevIcons
