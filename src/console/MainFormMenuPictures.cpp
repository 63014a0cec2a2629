// The pictures of the main menu, the console popup and the device popups.
#include "console/MainForm.h"
#include "console/MenuIcons.h"

#include <QAction>
#include <tuple>
#include <utility>

using MenuIcons::MenuImg;
using MenuIcons::PmenuImg;

void TMainForm::ApplyMenuPictures()
{
    const std::pair<QAction*, MenuImg> menu[] = {
        {N3, MenuImg::New},
        {N8, MenuImg::Edit},
        {D1, MenuImg::Delete},
        {E1, MenuImg::Exit},
        {O2, MenuImg::Terminals},
        {N58, MenuImg::Operators},
        {N44, MenuImg::Tasks},
        {I2, MenuImg::OperationLog},
        {L1, MenuImg::RunLog},
        {N52, MenuImg::Temperature},
        {O1, MenuImg::DataSource},
        {N18, MenuImg::Settings},
        {N49, MenuImg::FontLarger},
        {N59, MenuImg::FontSmaller},
        {MenuItem14, MenuImg::SelectAll},
        {MenuItem13, MenuImg::Copy},
        {N100, MenuImg::Save},
        {N46, MenuImg::Clear},
    };
    // "关于(&A)" stands in the menu bar itself, where a picture would take the place of its caption.
    for (const auto& [item, picture] : menu)
        item->setIcon(MenuIcons::MenuImgList(picture));

    // The grid's and the tree's popups offer the same commands with the same pictures.
    const std::tuple<QAction*, QAction*, PmenuImg> popups[] = {
        {PmenuGridDevDetail, PmenuTreeDevDetail, PmenuImg::Detail},
        {PmenuGridDevDesktop, PmenuTreeDevDesktop, PmenuImg::Desktop},
        {PmenuGridDevLog, PmenuTreeDevLog, PmenuImg::RemoteLog},
        {PmenuGridDevCtrl, PmenuTreeDevCtrl, PmenuImg::RemoteControl},
        {PmenuGridDevStart, PmenuTreeDevStart, PmenuImg::Start},
        {PmenuGridDevShutdown, PmenuTreeDevShutdown, PmenuImg::Shutdown},
        {PmenuGridDevPowerOn, PmenuTreeDevPowerOn, PmenuImg::PowerOn},
        {PmenuGridDevPowerOff, PmenuTreeDevPowerOff, PmenuImg::PowerOff},
        {N30, MenuItem3, PmenuImg::New},
        {N31, MenuItem4, PmenuImg::Edit},
        {N32, MenuItem5, PmenuImg::Delete},
        {N9, nullptr, PmenuImg::SelectAll},
        {Ping3, MenuItem7, PmenuImg::CheckSelected},
        {Ping2, PingW1, PmenuImg::CheckAll},
        {F1, N41, PmenuImg::Refresh},
        {N27, MenuItem9, PmenuImg::OperationLog},
        {N26, MenuItem10, PmenuImg::Tasks},
        {N25, MenuItem11, PmenuImg::RunLog},
        {N7, N5, PmenuImg::Temperature},
        {N20, nullptr, PmenuImg::Export},
    };
    for (const auto& [grid, tree, picture] : popups) {
        const QIcon icon = MenuIcons::PmenuImgList(picture);
        grid->setIcon(icon);
        if (tree)
            tree->setIcon(icon);
    }
}
