// The console's main window: frame, pages and the shared services the console and the windows reach
// through MainForm (the units below the console reach a few of them through ConsoleServices).
#pragma once

#include "console/MainFormServices.h"
#include "console/PageDevSearch.h"
#include "console/PageIns.h"
#include "console/PageLog.h"
#include "console/PageTask.h"
#include "console/PageTemp.h"
#include "console/PageUser.h"
#include "platform/DataSet.h"
#include "platform/ElidedLabel.h"
#include "platform/MessageBoxes.h"

#include <QMainWindow>
#include <QPoint>
#include <QRect>
#include <QString>
#include <array>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class QAbstractButton;
class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPainter;
class QStatusBar;
class QTabWidget;
class QTableView;
class QToolBar;
class QToolButton;
class TPagerNavigator;
class ThreadProcessBar;
class QTreeWidget;
class QPushButton;
class DataSetModel;
class DevTree;
class DevBean;
class QKeyEvent;
class QModelIndex;
class QStyleOptionViewItem;
class QStyledItemDelegate;
class ThreadExportXls;

class TMainForm : public TMainFormServices {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // ==== frame: pages, tabs, toolbar, menus, resolvers, show/activate/close
    // Page indexes of PageControlMain: the index is the page's position in the control,
    // whether or not its tab is shown.
    enum PageIndex : int {
        PageIdxDev = 0,
        PageIdxIns = 1,
        PageIdxTask = 2,
        PageIdxLog = 3,
        PageIdxUser = 4,
        PageIdxTemp = 5,
        PageIdxInfo = 6,
        PageCount = 7
    };

    // Pages and tabs.
    void ShowPage(int index);
    void HidePage(int index);
    void ShowPageDev();
    void ShowPageIns();
    void ShowPageTask();
    void ShowPageLog();
    void ShowPageInfo();
    void BringConsoleToFront() override { ShowPageInfo(); }
    int GetActivePageIndex() const;
    int TabToPageIndex(int tabIndex) const; // tabIndex counts visible tabs only
    void PageControlMainChange();           // toolbar enabling for the active page
    // Owner drawing and mouse handling of the tab row (coordinates of the tab bar).
    void PageControlMainDrawTab(QPainter& painter, int tabIndex, const QRect& rect, bool active);
    void PageControlMainMouseMove(const QPoint& pos);
    void PageControlMainMouseUp(const QPoint& pos);
    // Hit areas of the close glyphs as last drawn, by page; a null rectangle holds no point.
    std::array<QRect, PageCount> TabCloseRects{};

    // Resolvers: what every page-dependent command works on.
    QTableView* GetActiveGrid() const;      // null on the console page
    DataSet* GetActiveQuery();              // null on the console page
    TPagerNavigator* GetActivePager() const; // null on the device and console pages
    void RefreshActivePage();
    void ToggleSearchBox();

    // Toolbar and menu commands.
    void BtnRefreshClick();
    void BtnShowClick(QAbstractButton* sender = nullptr);
    void BtnExitClick();
    void E1Click();
    void BtnLogClick();
    void N18Click();
    void O1Click();
    void A1Click();
    void O2Click();
    void N58Click();
    void N44Click();
    void I2Click();
    void L1Click();
    void N52Click();
    void T2Click();

    // Life cycle: the first show fills the window, the first activation checks the network.
    void FormShow();
    void FormActivate();
    // What the first show failed with (null when it succeeded); taken once by start-up.
    std::exception_ptr TakeFirstShowError() { return std::exchange(firstShowError_, nullptr); }

    // Window layout.
    QToolBar* ToolBar = nullptr;
    QToolButton* BtnNew = nullptr;
    QToolButton* BtnEdit = nullptr;
    QToolButton* BtnDel = nullptr;
    QToolButton* BtnRefresh = nullptr;
    QToolButton* BtnSearch = nullptr;
    QToolButton* BtnShow = nullptr;
    QToolButton* BtnPing = nullptr;
    QToolButton* BtnLog = nullptr;
    QToolButton* BtnExit = nullptr;
    QMenu* PmenuAdd = nullptr; // popup of BtnNew
    QAction* N15 = nullptr;    // "设备信息"
    QAction* N17 = nullptr;    // "计划任务"
    QWidget* PanelTree = nullptr; // left panel; its QVBoxLayout receives TreeDev
    QWidget* Panel1 = nullptr;    // client area holding PageControlMain
    QTabWidget* PageControlMain = nullptr;
    QStatusBar* StatusBar = nullptr;
    QLabel* StatusPanel = nullptr; // the one right-aligned panel

    // Pages (each with a QVBoxLayout: search box first, then the page's own content).
    QWidget* PageDev = nullptr;
    QWidget* PageIns = nullptr;
    QWidget* PageTask = nullptr;
    QWidget* PageLog = nullptr;
    QWidget* PageUser = nullptr;
    QWidget* PageTemp = nullptr;
    QWidget* PageInfo = nullptr;
    QGroupBox* GbxDevSearch = nullptr;
    QGroupBox* GbxInsSearch = nullptr;
    QGroupBox* GbxTaskSearch = nullptr;
    QGroupBox* GbxLogSearch = nullptr;
    QGroupBox* GbxUserSearch = nullptr;
    QGroupBox* GbxTempSearch = nullptr;

    // Record pages: grid and query of each.
    QTableView* GrdIns = nullptr;
    QTableView* GrdTask = nullptr;
    QTableView* GrdLog = nullptr;
    QTableView* GrdUser = nullptr;
    QTableView* GrdTemp = nullptr;
    DataSet QueryGrdIns;
    DataSet QueryGrdTask;
    DataSet QueryGrdLog;
    DataSet QueryGrdUser;
    DataSet QueryGrdTemp;

    // Main menu.
    QMenuBar* MenuMain = nullptr;
    QAction* N3 = nullptr;  // "新增(&N)"
    QAction* N8 = nullptr;  // "修改(&M)"
    QAction* D1 = nullptr;  // "删除(&D)"
    QAction* E1 = nullptr;  // "退出(&X)"
    QAction* O2 = nullptr;  // "设备信息(&D)"
    QAction* N58 = nullptr; // "用户信息(&U)"
    QAction* N44 = nullptr; // "计划任务(&T)"
    QAction* I2 = nullptr;  // "操作日志(&I)"
    QAction* L1 = nullptr;  // "运行记录(&O)"
    QAction* N52 = nullptr; // "CPU 温度记录(&T)"
    QAction* O1 = nullptr;  // "数据源(&O)"
    QAction* N18 = nullptr; // "系统参数(&A)"
    QAction* A1 = nullptr;  // "关于(&A)"
    // ==== end frame

    // ==== device tree, device grid and detail box
    // Creates TreeDev in PanelTree's layout and GrdDev with GbxDevDetail in PageDev's layout.
    // Called once by the constructor after the frame exists.
    void BuildDevicePanels();
    // Rebuilds the four groups of the tree from the database.
    void BuildDevTree();
    // Fills the detail box for terminal id (nothing for id < 1).
    void ShowDevDetail(int id);
    // The status word of the group that holds terminal id's node; "down" when it has none.
    QString GetDevNetState(int id) const;
    // Moves terminal id to the group of its new state (a stored "poweroff" or "down" wins) and
    // keeps the detail box current. Any thread: the database is read on the calling thread, the
    // change is made on the UI thread, one call at a time in call order (at once on the UI thread).
    void UpdateDevNetState(int id, const QString& state) override;
    // Puts a saved terminal into the tree (replacing its old node) and checks its network.
    void AddDevTreeNode(const DevBean* dev);
    // Removes every node of terminal id and counts it out of its group.
    void RemoveDevTreeNode(int id);
    // The terminal's base row as a new record, or null when id < 0 or no row exists.
    std::unique_ptr<DevBean> LoadDevice(int id);
    int GetTreeDevId() const;      // selected device node's id, 0 when none
    int GetGridRowId();            // id in the current row of the active page's grid, 0 when none
    // Ids of the rows selected in GrdDev in selection order, or {GetGridRowId()} when none is
    // selected; the grid's current record is left on the last selected row.
    std::vector<int> GetSelectedDevIds();
    void GrdDevCellClick();
    void GrdDevDblClick();
    DevTree* DevTreeState() const { return devTree_.get(); } // the tree's groups and id index

    QTreeWidget* TreeDev = nullptr;
    QTableView* GrdDev = nullptr;
    DataSetModel* DsDev = nullptr;
    DataSet QueryGrdDev;
    QGroupBox* GbxDevDetail = nullptr;
    ElidedLabel* LblDevId = nullptr;
    ElidedLabel* LblDevName = nullptr;
    ElidedLabel* LblDevIp = nullptr;
    ElidedLabel* LblDevMac = nullptr;
    ElidedLabel* LblDevPos = nullptr;
    ElidedLabel* LblDevActiveIp = nullptr;
    ElidedLabel* LblDevPort = nullptr;
    ElidedLabel* LblDevStatus = nullptr;
    ElidedLabel* LblDevNet = nullptr;
    ElidedLabel* LblDevTemp = nullptr;
    QLabel* ImgDevRun = nullptr;
    QLabel* ImgDevStop = nullptr;
    QLabel* ImgNetSuc = nullptr;
    QLabel* ImgNetError = nullptr;
    QPushButton* BtnDevPing = nullptr; // "检测设备网络状态(&P)"; its click is a remote command
    // ==== end device tree

    // ==== remote commands and device popup menus
    // Creates the popup menus of GrdDev and TreeDev and connects the remote commands.
    // Called once by the constructor after BuildDevicePanels.
    void BuildRemoteMenus();

    // Network checks. Each runs under the wait window and returns when the check has ended.
    void CheckDevNet(const std::vector<int>& ids, const QString& name);
    void CheckAllDevNet(); // every terminal listed in GrdDev
    void BtnDevPingClick();
    void MenuItem7Click();
    void Ping3Click();
    void Ping2Click();
    void PingW1Click();
    void BtnPingClick();

    // Remote power commands (start, shutdown, power off, power on) on a grid row or a tree node.
    void PmenuGridDevStartClick();
    void PmenuGridDevShutdownClick();
    void PmenuGridDevPowerOffClick();
    void PmenuGridDevPowerOnClick();
    void PmenuTreeDevStartClick();
    void PmenuTreeDevShutdownClick();
    void PmenuTreeDevPowerOffClick();
    void PmenuTreeDevPowerOnClick();

    // Remote control: starts the remote-desktop viewer on terminal id and does not wait for it.
    void RemoteControlDevice(int id);
    void PmenuGridDevCtrlClick();
    void PmenuTreeDevCtrlClick();
    // Test seam: the viewer program started by RemoteControlDevice (default "vncviewer").
    static void SetRemoteViewerProgramForTest(const QString& program);

    // Windows of one terminal (the tree's or the grid's): live detail, desktop picture, remote
    // logs. Each is shown modally; the command returns when it has closed.
    void PmenuGridDevDetailClick();
    void PmenuTreeDevDetailClick();
    void PmenuGridDevDesktopClick();
    void PmenuTreeDevDesktopClick();
    void PmenuGridDevLogClick();
    void PmenuTreeDevLogClick();

    // Popup menus and their enabling by the terminal's state.
    void UpdateDevMenus(int id);
    void PmenuDevGrdPopup();
    void PmenuTreePopup();
    // Tree mouse handling (positions in the coordinates of TreeDev's viewport).
    void TreeDevContextPopup(const QPoint& mousePos, bool& handled);
    void TreeDevMouseUp(Qt::MouseButton button, const QPoint& pos);

    QMenu* PmenuDevGrd = nullptr;
    QAction* PmenuGridDevDetail = nullptr;
    QAction* PmenuGridDevDesktop = nullptr;
    QAction* PmenuGridDevLog = nullptr;
    QAction* PmenuGridDevCtrl = nullptr;
    QAction* PmenuGridDevStart = nullptr;
    QAction* PmenuGridDevShutdown = nullptr;
    QAction* PmenuGridDevPowerOn = nullptr;
    QAction* PmenuGridDevPowerOff = nullptr;
    QAction* N30 = nullptr;   // "新增设备信息(&A)"
    QAction* N31 = nullptr;   // "修改设备信息(&M)"
    QAction* N32 = nullptr;   // "删除已选设备(&D)"
    QAction* N9 = nullptr;    // "全部选择"
    QAction* Ping3 = nullptr;
    QAction* Ping2 = nullptr;
    QAction* F1 = nullptr;    // "刷新设备列表(&F)"
    QAction* N27 = nullptr;   // "显示相关操作日志(&I)"
    QAction* N26 = nullptr;   // "显示相关计划任务(&T)"
    QAction* N25 = nullptr;   // "浏览相关运行记录(&L)"
    QAction* N7 = nullptr;    // "显示相关温度记录(&T)"
    QAction* N20 = nullptr;   // "导出设备列表(&E)"

    QMenu* PmenuTree = nullptr;
    QAction* PmenuTreeDevDetail = nullptr;
    QAction* PmenuTreeDevDesktop = nullptr;
    QAction* PmenuTreeDevLog = nullptr;
    QAction* PmenuTreeDevCtrl = nullptr;
    QAction* PmenuTreeDevStart = nullptr;
    QAction* PmenuTreeDevShutdown = nullptr;
    QAction* PmenuTreeDevPowerOn = nullptr;
    QAction* PmenuTreeDevPowerOff = nullptr;
    QAction* MenuItem3 = nullptr;  // "新增设备信息(&A)"
    QAction* MenuItem4 = nullptr;  // "修改设备信息(&M)"
    QAction* MenuItem5 = nullptr;  // "删除已选设备(&D)"
    QAction* N41 = nullptr;        // "刷新设备树(&R)"
    QAction* MenuItem7 = nullptr;
    QAction* PingW1 = nullptr;
    QAction* MenuItem9 = nullptr;  // "显示相关操作日志(&I)"
    QAction* MenuItem10 = nullptr; // "显示相关计划任务(&T)"
    QAction* MenuItem11 = nullptr; // "浏览相关运行记录(&L)"
    QAction* N5 = nullptr;         // "显示相关温度记录(&T)"
    // ==== end remote commands

    // ==== grid behaviour, console menu and export
    // Gives a grid (a QTableView over a DataSetModel) of this window the cell painter (which draws
    // the current row as selected while no row is), the Shift key and mouse-release selection rule
    // and Ctrl+A. Once per grid.
    void AttachGridBehaviour(QTableView* grid);
    // The cell painter alone, for the grids of other windows.
    void AttachGridPainter(QTableView* grid);
    // Paints one cell: striped rows, the selected rows, the drawn row number of the column that
    // shows no field. Any grid over a DataSetModel; UI thread.
    void DrawGridCell(QTableView* grid, QPainter* painter, const QStyleOptionViewItem& option,
                      const QModelIndex& index);
    void GridShiftSelect(QTableView* grid); // the mouse-release selection rule
    void ActiveGridShiftSelect();
    void GridKeyDownShift(const QKeyEvent* event);
    void GridKeyUpShift();
    void TreeDevKeyDown(const QKeyEvent* event);
    // Selects every row of the grid's current result; the current record stays where it was.
    void SelectAllRows(QTableView* grid);
    // Asks for a workbook file and exports the grid to it under the wait window.
    void ExportGrid(QTableView* grid);

    // Select-all, export and refresh items of the grids' popup menus.
    void N9Click();
    void N10Click();
    void N12Click();
    void N53Click();
    void N50Click();
    void N20Click();
    void N37Click();
    void E3Click();
    void N40Click();
    void N14Click();
    void MenuItem23Click();
    void MenuItem17Click();

    // The console view's popup menu.
    void N49Click();
    void N59Click();
    void MenuItem14Click();
    void MenuItem13Click();
    void N100Click();
    void N46Click();

    // Shift held at the last key press in a grid or the tree; shared by every grid.
    bool ShiftDown = false;
    // Record number of the last mouse release in a grid without Shift: the start of a Shift range.
    int ShiftAnchorRecNo = 0;
    ThreadExportXls* ExportThread = nullptr; // while the wait window runs the export
    FileDialogRequest SaveDialogExcel;
    FileDialogRequest SDlgMemo;
    QObject* AetMouseWheel = nullptr; // the application-wide wheel rule of the grids

    QMenu* PmemoInfo = nullptr;
    QAction* N49 = nullptr;        // "字体放大"
    QAction* N59 = nullptr;        // "字体缩小"
    QAction* MenuItem14 = nullptr; // "全部选择"
    QAction* MenuItem13 = nullptr; // "复制到剪贴板"
    QAction* N100 = nullptr;       // "保存到文件"
    QAction* N46 = nullptr;        // "清空输出信息"
    // ==== end grid behaviour
    // ==== record pages: searches, paging, show and hide (one pair of files per page)
    // Creates the device page's search box and the five record pages' grids, pager bars, search
    // boxes and popup menus. Called once by the constructor after the device panels exist.
    void BuildRecordPages();
    // The pagers by slot: [0] run log, [1] operation records, [2] planned tasks, [3] operators,
    // [4] temperature records. Made by FormShow; until then no page has one.
    std::array<std::unique_ptr<TPagerNavigator>, 5> Pagers;

    DevSearchControls DevSearch;
    InsPageControls InsPage;
    TaskPageControls TaskPage;
    LogPageControls LogPage;
    UserPageControls UserPage;
    TempPageControls TempPage;

    // Searches (the search buttons), clear buttons, date-range check boxes and the Return key-up
    // handlers of the search controls (key: a Qt::Key; only Return searches).
    void BtnSearchDevClick();
    void BtnClearDevClick();
    void EdtDevNameKeyUp(int key);
    void BtnInsSearchClick();
    void BtnInsClearClick();
    void CbxInsTimeClick();
    void DbCbxDevInsKeyUp(int key);
    void BtnTaskSearchClick();
    void BtnTaskClearClick();
    void DbCbxDevTaskKeyUp(int key);
    void BtnLogSearchClick();
    void BtnLogClearClick();
    void CbxLogTimeClick();
    void DbCbxDevLogKeyUp(int key);
    void BtnSearchUserClick();
    void BtnUserClearClick();
    void EdtUserIdKeyUp(int key);
    void BtnTempSearchClick();
    void BtnTempClearClick();
    void CbxTempTimeClick();
    void CbxCondTempChange();
    void DbCbxDevTempKeyUp(int key);
    // Entering some search edits empties one of the device search's edits.
    void EdtDevNameEnter();
    void EdtDevIpEnter();
    void EdtDevMacEnter();
    void EdtDevPosEnter();
    // A record page becoming the active page shows its current list again; leaving it closes it.
    void PageInsShow();
    void PageInsHide();
    void PageTaskShow();
    void PageTaskHide();
    void PageLogShow();
    void PageLogHide();
    void PageUserShow();
    void PageUserHide();
    void PageTempShow();
    void PageTempHide();
    // ==== end record pages

    // ==== record commands
    void NewOnCurrentPage();
    void EditOnCurrentPage();
    void DeleteOnCurrentPage();
    void AddDevice();
    void EditGridDevice();
    void EditTreeDevice();
    void AddTask();
    void EditTask();  // the task page only
    void AddUser();
    void EditUser();
    void DeleteGridDevices();
    void DeleteTreeDevice();
    void DeleteOpLogs();
    void DeleteTasks(); // the task page only
    void DeleteRunLogs();
    void DeleteUsers();
    void DeleteTempLogs();
    // Opens the record page searched for terminal devId (nothing when devId < 1).
    void ShowRelatedOpLog(int devId);
    void ShowRelatedTasks(int devId);
    void ShowRelatedRunLog(int devId);
    void ShowRelatedTemp(int devId);
    void TreeDevDblClick();
    // The terminal of the device grid's current row, 0 when none (whatever page is active).
    int DevGridRowId() const;
    // Toolbar, file menu and popup items.
    void BtnNewClick();
    void BtnEditClick();
    void BtnDelClick();
    void N3Click();
    void N8Click();
    void D1Click();
    void N15Click();
    void N17Click();
    void N30Click();
    void N31Click();
    void N32Click();
    void F1Click();
    void N27Click();
    void N26Click();
    void N25Click();
    void N7Click();
    void MenuItem3Click();
    void MenuItem4Click();
    void MenuItem5Click();
    void N41Click();
    void MenuItem9Click();
    void MenuItem10Click();
    void MenuItem11Click();
    void N5Click();
    void N23Click();
    void F2Click();
    void N38Click();
    void E2Click();
    void D2Click();
    void N42Click();
    void N22Click();
    void N43Click();
    void MenuItem1Click();
    void MenuItem15Click();
    void MenuItem16Click();
    void MenuItem18Click();
    // ==== end record commands

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose();


    // ==== private: frame
    void BuildFrame();
    void BuildToolBar();
    void BuildMainMenu();
    void BuildPages();
    QWidget* AddPage(const QString& name, const QString& caption, int picture);
    QGroupBox* AddSearchBox(QWidget* page, const QString& name);
    QTableView* AddRecordGrid(QWidget* page, const QString& name);
    QGroupBox* SearchBoxOf(int page) const;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

    bool shown_ = false;     // FormShow ran (the first show)
    std::exception_ptr firstShowError_;
    bool firstShowFailed_ = false; // a window whose first show failed is never checked
    bool activated_ = false; // FormActivate ran (the first activation after start-up)
    // The pagers of the record pages come with the record pages; GetActivePager resolves them.
    // ==== end private: frame
    // ==== private: device tree
    void BuildDevDetailBox(QWidget* page);
    // The detail box's state texts and pictures for an effective state word.
    void ShowDevPowerState(const QString& text, bool running);
    void ShowDevNetState(const QString& state);
    // Queues one fill of the detail box for GrdDev's current record, however many moves come first.
    void FollowGrdDevRecord();
    bool detailFollowPending_ = false;
    void ApplyDevNetState(int id, const QString& state); // UI thread
    void ApplyPendingDevStates();                         // UI thread: every queued move, in order
    // State moves wait here for the UI thread. devStateLock_ is held from a call's database read
    // until its move is queued, so the queue holds the moves in the order of the calls;
    // pendingLock_ guards only the queue itself.
    struct PendingDevState {
        int id;
        QString state;
    };
    std::mutex devStateLock_;
    std::mutex pendingLock_;
    std::deque<PendingDevState> pendingDevStates_;
    // Shared ownership only so that this header needs no complete DevTree; the window is the owner.
    std::shared_ptr<DevTree> devTree_;
    // ==== end private: device tree
    // ==== private: remote commands
    // Runs worker (suspended, not yet started) under a new wait window stored in FormWait and
    // returns when the worker has ended and the window has freed it.
    void RunUnderWaitWindow(ThreadProcessBar* worker);
    // A remote power command on terminal id; warning is shown instead when id < 1.
    void RunPowerCommand(int id, char op, const QString& warning);
    void ShowDesktopWindow(int id);
    void ShowLogWindow(int id);
    // The sixteen device items of both popups, in the column order of the enabling table.
    void SetDevMenuItems(bool detail, bool start, bool shutdown, bool powerOn, bool powerOff, bool ctrl);
    // ==== end private: remote commands
    // ==== private: grid behaviour
    void BuildGridBehaviour(); // called once by the constructor, after the menus exist
    void BuildConsoleMenu();
    void ApplyMenuPictures();
    void ChangeMemoFontSize(int points);
    QStyledItemDelegate* defaultCellDrawing_ = nullptr; // made on first use
    // ==== end private: grid behaviour
    // ==== private: record pages and commands
    void BuildDevSearch();
    void BuildPageIns();
    void BuildPageTask();
    void BuildPageLog();
    void BuildPageUser();
    void BuildPageTemp();
    void MakePagers();
    void ActivePageChanged(int index);
    void BuildRecordCommands();
    // Asks question; then, unless the active grid is empty, runs deleteRow for the key of every
    // selected row (of the current row when none is selected) and refreshes the page. False when
    // nothing was deleted.
    bool DeleteGridRows(const QString& question, const std::function<void(const QString&)>& deleteRow);
    QStringList ActiveGridKeys();
    void DeleteDevice(const QString& key);
    int shownPage_ = PageIdxDev; // the page whose show handler ran last
    // ==== end private: record pages and commands
};

extern TMainForm* MainForm;
