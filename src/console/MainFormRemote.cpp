// The remote commands of the main window and the device popup menus of the grid and the tree.
#include "console/MainForm.h"

#include "foundation/Consts.h"
#include "foundation/DevBean.h"
#include "terminal/RemoteDeviceController.h"
#include "terminal/ThreadConnectionTest.h"
#include "terminal/ThreadRemoteDeviceControlBatch.h"
#include "windows/FrmClientDetail.h"
#include "windows/FrmDevDesktop.h"
#include "windows/FrmLogDev.h"
#include "windows/FrmWait.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>

namespace {

const QString NameCheckOne = QStringLiteral("检测网络");
const QString NameCheckAll = QStringLiteral("检测所有设备网络状态");
const QString WarnSelectGrid = QStringLiteral("请在设备列表上选择设备后，再进行此操作！");
const QString WarnSelectTree = QStringLiteral("请在设备树上选择设备后，再进行此操作！");

QString& RemoteViewerProgram()
{
    static QString program = QStringLiteral("vncviewer");
    return program;
}

QAction* AddItem(QMenu* menu, const QString& name, const QString& caption)
{
    QAction* item = menu->addAction(caption);
    item->setObjectName(name);
    return item;
}

QAction* AddItem(QMenu* menu, const char* name, const QString& caption)
{
    return AddItem(menu, QString::fromLatin1(name), caption);
}

// The terminal items that both popups carry, in their order: the name after the popup's prefix,
// the caption, and the item and handler of the grid's popup and of the tree's.
struct DevItem {
    const char* name;
    const char* caption;
    QAction* TMainForm::*gridItem;
    void (TMainForm::*gridClick)();
    QAction* TMainForm::*treeItem;
    void (TMainForm::*treeClick)();
};

const DevItem DevItems[] = {
    {"Detail", "查看设备详情(&C)", &TMainForm::PmenuGridDevDetail, &TMainForm::PmenuGridDevDetailClick,
     &TMainForm::PmenuTreeDevDetail, &TMainForm::PmenuTreeDevDetailClick},
    {"Desktop", "查看远程桌面(&M)", &TMainForm::PmenuGridDevDesktop, &TMainForm::PmenuGridDevDesktopClick,
     &TMainForm::PmenuTreeDevDesktop, &TMainForm::PmenuTreeDevDesktopClick},
    {"Log", "查看远程日志(&L)", &TMainForm::PmenuGridDevLog, &TMainForm::PmenuGridDevLogClick,
     &TMainForm::PmenuTreeDevLog, &TMainForm::PmenuTreeDevLogClick},
    {"Ctrl", "设备远程控制(&R)", &TMainForm::PmenuGridDevCtrl, &TMainForm::PmenuGridDevCtrlClick,
     &TMainForm::PmenuTreeDevCtrl, &TMainForm::PmenuTreeDevCtrlClick},
    {"Start", "远程设备启动(&B)", &TMainForm::PmenuGridDevStart, &TMainForm::PmenuGridDevStartClick,
     &TMainForm::PmenuTreeDevStart, &TMainForm::PmenuTreeDevStartClick},
    {"Shutdown", "远程设备关闭(&S)", &TMainForm::PmenuGridDevShutdown, &TMainForm::PmenuGridDevShutdownClick,
     &TMainForm::PmenuTreeDevShutdown, &TMainForm::PmenuTreeDevShutdownClick},
    {"PowerOn", "远程设备加电(&P)", &TMainForm::PmenuGridDevPowerOn, &TMainForm::PmenuGridDevPowerOnClick,
     &TMainForm::PmenuTreeDevPowerOn, &TMainForm::PmenuTreeDevPowerOnClick},
    {"PowerOff", "远程设备断电(&R)", &TMainForm::PmenuGridDevPowerOff, &TMainForm::PmenuGridDevPowerOffClick,
     &TMainForm::PmenuTreeDevPowerOff, &TMainForm::PmenuTreeDevPowerOffClick},
};
constexpr int WindowItems = 4; // the windows and remote control, then the power commands

// The terminal items of one popup with their handlers, each group followed by a separator.
void AddDevItems(TMainForm* form, QMenu* menu, bool tree)
{
    const QString prefix = QLatin1String(tree ? "PmenuTreeDev" : "PmenuGridDev");
    for (int i = 0; i < int(std::size(DevItems)); ++i) {
        const DevItem& d = DevItems[i];
        if (i == WindowItems)
            menu->addSeparator();
        QAction* item = AddItem(menu, prefix + QLatin1String(d.name), QString::fromUtf8(d.caption));
        form->*(tree ? d.treeItem : d.gridItem) = item;
        const auto click = tree ? d.treeClick : d.gridClick;
        QObject::connect(item, &QAction::triggered, form, [form, click] { (form->*click)(); });
    }
    menu->addSeparator();
}

// Right-button presses and releases on the tree's viewport: the press selects the node under the
// mouse, the release opens the tree's popup on a device node. The tree itself never sees them.
class TreeMouseFilter : public QObject {
public:
    explicit TreeMouseFilter(TMainForm* form) : QObject(form), form_(form) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
            type != QEvent::MouseButtonDblClick)
            return QObject::eventFilter(watched, event);
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::RightButton)
            return QObject::eventFilter(watched, event);
        const QPoint pos = mouse->position().toPoint();
        if (type == QEvent::MouseButtonRelease) {
            form_->TreeDevMouseUp(Qt::RightButton, pos);
        } else {
            bool handled = false;
            form_->TreeDevContextPopup(pos, handled);
        }
        return true;
    }

private:
    TMainForm* form_;
};

} // namespace

void TMainForm::SetRemoteViewerProgramForTest(const QString& program)
{
    RemoteViewerProgram() = program.isEmpty() ? QStringLiteral("vncviewer") : program;
}

void TMainForm::BuildRemoteMenus()
{
    PmenuDevGrd = new QMenu(this);
    PmenuDevGrd->setObjectName(QStringLiteral("PmenuDevGrd"));
    AddDevItems(this, PmenuDevGrd, false);
    N30 = AddItem(PmenuDevGrd, "N30", QStringLiteral("新增设备信息(&A)"));
    N31 = AddItem(PmenuDevGrd, "N31", QStringLiteral("修改设备信息(&M)"));
    N32 = AddItem(PmenuDevGrd, "N32", QStringLiteral("删除已选设备(&D)"));
    PmenuDevGrd->addSeparator();
    N9 = AddItem(PmenuDevGrd, "N9", QStringLiteral("全部选择"));
    Ping3 = AddItem(PmenuDevGrd, "Ping3", QStringLiteral("检测已选设备网络状况(&P)"));
    Ping2 = AddItem(PmenuDevGrd, "Ping2", QStringLiteral("检测全部设备网络状况(&W)"));
    F1 = AddItem(PmenuDevGrd, "F1", QStringLiteral("刷新设备列表(&F)"));
    PmenuDevGrd->addSeparator();
    N27 = AddItem(PmenuDevGrd, "N27", QStringLiteral("显示相关操作日志(&I)"));
    N26 = AddItem(PmenuDevGrd, "N26", QStringLiteral("显示相关计划任务(&T)"));
    N25 = AddItem(PmenuDevGrd, "N25", QStringLiteral("浏览相关运行记录(&L)"));
    N7 = AddItem(PmenuDevGrd, "N7", QStringLiteral("显示相关温度记录(&T)"));
    PmenuDevGrd->addSeparator();
    N20 = AddItem(PmenuDevGrd, "N20", QStringLiteral("导出设备列表(&E)"));

    PmenuTree = new QMenu(this);
    PmenuTree->setObjectName(QStringLiteral("PmenuTree"));
    AddDevItems(this, PmenuTree, true);
    MenuItem3 = AddItem(PmenuTree, "MenuItem3", QStringLiteral("新增设备信息(&A)"));
    MenuItem4 = AddItem(PmenuTree, "MenuItem4", QStringLiteral("修改设备信息(&M)"));
    MenuItem5 = AddItem(PmenuTree, "MenuItem5", QStringLiteral("删除已选设备(&D)"));
    N41 = AddItem(PmenuTree, "N41", QStringLiteral("刷新设备树(&R)"));
    PmenuTree->addSeparator();
    MenuItem7 = AddItem(PmenuTree, "MenuItem7", QStringLiteral("检测设备网络情况(&P)"));
    PingW1 = AddItem(PmenuTree, "PingW1", QStringLiteral("检测全部设备网络状况(&W)"));
    PmenuTree->addSeparator();
    MenuItem9 = AddItem(PmenuTree, "MenuItem9", QStringLiteral("显示相关操作日志(&I)"));
    MenuItem10 = AddItem(PmenuTree, "MenuItem10", QStringLiteral("显示相关计划任务(&T)"));
    MenuItem11 = AddItem(PmenuTree, "MenuItem11", QStringLiteral("浏览相关运行记录(&L)"));
    N5 = AddItem(PmenuTree, "N5", QStringLiteral("显示相关温度记录(&T)"));

    connect(PmenuDevGrd, &QMenu::aboutToShow, this, [this] { PmenuDevGrdPopup(); });
    connect(PmenuTree, &QMenu::aboutToShow, this, [this] { PmenuTreePopup(); });

    const auto on = [this](QAction* item, void (TMainForm::*handler)()) {
        connect(item, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    on(Ping3, &TMainForm::Ping3Click);
    on(Ping2, &TMainForm::Ping2Click);
    on(MenuItem7, &TMainForm::MenuItem7Click);
    on(PingW1, &TMainForm::PingW1Click);

    if (GrdDev) {
        GrdDev->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(GrdDev, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
            PmenuDevGrd->popup(GrdDev->viewport()->mapToGlobal(pos));
        });
    }
    if (TreeDev) {
        // Right-button events reach the tree's own handlers only: the popup is opened by the
        // release handler, never by a context-menu request.
        TreeDev->setContextMenuPolicy(Qt::PreventContextMenu);
        TreeDev->viewport()->installEventFilter(new TreeMouseFilter(this));
    }
    if (BtnDevPing)
        connect(BtnDevPing, &QPushButton::clicked, this, [this] { BtnDevPingClick(); });
    if (BtnPing)
        connect(BtnPing, &QToolButton::clicked, this, [this] { BtnPingClick(); });
}

// ---- running workers

void TMainForm::RunUnderWaitWindow(ThreadProcessBar* worker)
{
    std::unique_ptr<TFormWait> wait(new TFormWait());
    FormWait = wait.get();
    wait->SetThread(worker);
    wait->ShowModal(); // the window starts the worker and frees it when it has finished
    FormWait = nullptr;
}

void TMainForm::CheckDevNet(const std::vector<int>& ids, const QString& name)
{
    if (ids.empty())
        return;
    RunUnderWaitWindow(new ThreadConnectionTest(ids, name));
}

void TMainForm::RunPowerCommand(int id, char op, const QString& warning)
{
    if (id < 1) {
        ShowWarning(warning);
        return;
    }
    RunUnderWaitWindow(new ThreadRemoteDeviceControlBatch(std::vector<int>{id}, NameCheckOne, op));
}

// ---- network checks

void TMainForm::BtnDevPingClick()
{
    bool ok = false;
    int id = LblDevId ? LblDevId->text().trimmed().toInt(&ok) : 0;
    if (!ok)
        id = 0;
    if (id >= 1)
        CheckDevNet({id}, NameCheckOne);
}

void TMainForm::MenuItem7Click()
{
    const int id = GetTreeDevId();
    if (id >= 1)
        CheckDevNet({id}, NameCheckOne);
}

void TMainForm::Ping3Click()
{
    if (QueryGrdDev.RecordCount() < 1)
        return;
    CheckDevNet(GetSelectedDevIds(), NameCheckAll);
}

void TMainForm::CheckAllDevNet()
{
    if (QueryGrdDev.RecordCount() < 1 || !GrdDev)
        return;
    // Every row of the grid's current result: a device search narrows what the check covers.
    SelectAllRows(GrdDev);
    CheckDevNet(GetSelectedDevIds(), NameCheckAll);
    // Moving the current record selects its row in the view: clear the selection after it.
    QueryGrdDev.First();
    GrdDev->clearSelection();
    if (TreeDev)
        TreeDev->expandAll();
}

void TMainForm::Ping2Click() { CheckAllDevNet(); }
void TMainForm::PingW1Click() { CheckAllDevNet(); }
void TMainForm::BtnPingClick() { CheckAllDevNet(); }

// ---- remote power commands

void TMainForm::PmenuGridDevStartClick() { RunPowerCommand(GetGridRowId(), OpStart, WarnSelectGrid); }
void TMainForm::PmenuGridDevShutdownClick() { RunPowerCommand(GetGridRowId(), OpShutdown, WarnSelectGrid); }
void TMainForm::PmenuGridDevPowerOffClick() { RunPowerCommand(GetGridRowId(), OpPowerOff, WarnSelectGrid); }
void TMainForm::PmenuGridDevPowerOnClick() { RunPowerCommand(GetGridRowId(), OpPowerOn, WarnSelectGrid); }
void TMainForm::PmenuTreeDevStartClick() { RunPowerCommand(GetTreeDevId(), OpStart, WarnSelectTree); }
void TMainForm::PmenuTreeDevShutdownClick() { RunPowerCommand(GetTreeDevId(), OpShutdown, WarnSelectTree); }
void TMainForm::PmenuTreeDevPowerOffClick() { RunPowerCommand(GetTreeDevId(), OpPowerOff, WarnSelectTree); }
void TMainForm::PmenuTreeDevPowerOnClick() { RunPowerCommand(GetTreeDevId(), OpPowerOn, WarnSelectTree); }

// ---- remote control

void TMainForm::RemoteControlDevice(int id)
{
    const std::unique_ptr<DevBean> dev = LoadDevice(id);
    if (!dev) {
        ShowWarning(QStringLiteral("未找到指定的设备，编号[") + QString::number(id) + QStringLiteral("]"));
        return;
    }
    if (IsBlank(dev->ip)) {
        ShowWarning(QStringLiteral("设备IP不能为空,编号[") + QString::number(id) + QStringLiteral("]"));
        return;
    }
    const Consts::IntSetting& viewerPort = Consts::SettingRemoteCtrlDevPort;
    const int port = IniReadInteger(viewerPort.key, viewerPort.def);
    // The viewer runs on its own; the console neither waits for it nor watches it.
    const QString target = dev->ip.trimmed() + QStringLiteral(":") + QString::number(port);
    if (!QProcess::startDetached(RemoteViewerProgram(), {target}))
        ShowError(QStringLiteral("远程控制程序启动失败，请重新安装！"));
}

void TMainForm::PmenuGridDevCtrlClick() { RemoteControlDevice(GetGridRowId()); }
void TMainForm::PmenuTreeDevCtrlClick() { RemoteControlDevice(GetTreeDevId()); }

// ---- windows of one terminal

void TMainForm::PmenuGridDevDetailClick()
{
    // An id without a row (0 when nothing is selected) is reported by the window itself.
    std::unique_ptr<TClientDetail> window(new TClientDetail(GetGridRowId()));
    window->ShowModal();
}

void TMainForm::PmenuTreeDevDetailClick()
{
    const int id = GetTreeDevId();
    if (id < 1) {
        ShowWarning(QStringLiteral("请先在左侧树上选择设备！"));
        return;
    }
    std::unique_ptr<TClientDetail> window(new TClientDetail(id));
    window->ShowModal();
}

void TMainForm::ShowDesktopWindow(int id)
{
    std::unique_ptr<TFormDevDesktop> window(new TFormDevDesktop(id));
    FormDevDesktop = window.get();
    window->ShowModal();
    FormDevDesktop = nullptr;
}

void TMainForm::PmenuGridDevDesktopClick() { ShowDesktopWindow(GetGridRowId()); }
void TMainForm::PmenuTreeDevDesktopClick() { ShowDesktopWindow(GetTreeDevId()); }

void TMainForm::ShowLogWindow(int id)
{
    std::unique_ptr<TFrmLog> window(new TFrmLog());
    FrmLog = window.get();
    const QString ip = window->SelectIpById(QString::number(id));
    window->LbDevIp->setText(ip);
    window->setWindowTitle(QStringLiteral("远程日志列表-") + ip);
    window->ShowModal();
    FrmLog = nullptr;
}

void TMainForm::PmenuGridDevLogClick() { ShowLogWindow(GetGridRowId()); }
void TMainForm::PmenuTreeDevLogClick() { ShowLogWindow(GetTreeDevId()); }

// ---- popup menus

void TMainForm::SetDevMenuItems(bool detail, bool start, bool shutdown, bool powerOn, bool powerOff, bool ctrl)
{
    for (QAction* item : {PmenuGridDevDetail, PmenuGridDevLog, PmenuGridDevDesktop, PmenuTreeDevDetail,
                          PmenuTreeDevLog, PmenuTreeDevDesktop})
        item->setEnabled(detail);
    PmenuGridDevStart->setEnabled(start);
    PmenuTreeDevStart->setEnabled(start);
    PmenuGridDevShutdown->setEnabled(shutdown);
    PmenuTreeDevShutdown->setEnabled(shutdown);
    PmenuGridDevPowerOn->setEnabled(powerOn);
    PmenuTreeDevPowerOn->setEnabled(powerOn);
    PmenuGridDevPowerOff->setEnabled(powerOff);
    PmenuTreeDevPowerOff->setEnabled(powerOff);
    PmenuGridDevCtrl->setEnabled(ctrl);
    PmenuTreeDevCtrl->setEnabled(ctrl);
}

void TMainForm::UpdateDevMenus(int id)
{
    if (id < 1) {
        SetDevMenuItems(false, false, false, false, false, false);
        return;
    }
    const QString status = GetDevNetState(id);
    if (status == Consts::StatusDown)
        SetDevMenuItems(false, true, false, false, true, true);
    else if (status == Consts::StatusPowerOff)
        SetDevMenuItems(false, false, false, true, false, true);
    else if (status == Consts::StatusError)
        SetDevMenuItems(false, false, true, false, true, true);
    else
        SetDevMenuItems(true, false, true, false, true, true);
}

void TMainForm::PmenuDevGrdPopup() { UpdateDevMenus(GetGridRowId()); }
void TMainForm::PmenuTreePopup() { UpdateDevMenus(GetTreeDevId()); }

// ---- tree mouse handling

void TMainForm::TreeDevContextPopup(const QPoint& mousePos, bool& handled)
{
    QTreeWidgetItem* node = TreeDev->itemAt(mousePos);
    if (!node) {
        handled = true; // no node there: no menu
        return;
    }
    TreeDev->setCurrentItem(node);
}

void TMainForm::TreeDevMouseUp(Qt::MouseButton button, const QPoint& pos)
{
    // Only a device node has a popup: the root, a group or empty space opens nothing (a click
    // on empty space leaves an earlier device node selected, so the position is asked too).
    if (button == Qt::RightButton && TreeDev->itemAt(pos) && GetTreeDevId() >= 1)
        PmenuTree->popup(TreeDev->viewport()->mapToGlobal(pos));
}
