// The pictures of the menus: the main menu and the console popup, and the device popups.
#pragma once

#include <QIcon>

namespace MenuIcons {

// Pictures of the main menu and of the console view's popup.
enum class MenuImg {
    New,
    Edit,
    Delete,
    Exit,
    Terminals,
    Operators,
    Tasks,
    OperationLog,
    RunLog,
    Temperature,
    DataSource,
    Settings,
    FontLarger,
    FontSmaller,
    SelectAll,
    Copy,
    Save,
    Clear,
};

// Pictures of the popup menus of the device grid and the device tree.
enum class PmenuImg {
    Detail,
    Desktop,
    RemoteLog,
    RemoteControl,
    Start,
    Shutdown,
    PowerOn,
    PowerOff,
    New,
    Edit,
    Delete,
    SelectAll,
    CheckSelected,
    CheckAll,
    Refresh,
    OperationLog,
    Tasks,
    RunLog,
    Temperature,
    Export,
};

QIcon MenuImgList(MenuImg picture);
QIcon PmenuImgList(PmenuImg picture);

} // namespace MenuIcons
