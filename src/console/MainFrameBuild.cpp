// Building the main window's frame: toolbar, main menu, tree panel, page control with its seven
// pages, status bar and the console view.
#include "console/MainForm.h"

#include "console/Icons.h"
#include "console/PageControl.h"

#include <QAction>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QFrame>
#include <QStatusBar>
#include <QTableView>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int ToolBarHeight = 70;
constexpr int ToolButtonSize = 65;
constexpr int ToolGlyphSize = 32;
constexpr int TreePanelWidth = 241;
constexpr int StatusPanelWidth = 100;

struct PageEntry {
    const char* name;
    const char* caption;
    int picture; // number in the page pictures
};

// In index order: the index of a page is its position in PageControlMain.
constexpr PageEntry PageEntries[TMainForm::PageCount] = {
    {"PageDev", "设备管理", 0},  {"PageIns", "操作记录", 1},  {"PageTask", "计划任务", 2},
    {"PageLog", "运行记录", 3},  {"PageUser", "用户管理", 6}, {"PageTemp", "温度记录", 3},
    {"PageInfo", "控制台", 4},
};

QString U(const char* text) { return QString::fromUtf8(text); }
} // namespace

void TMainForm::BuildFrame()
{
    BuildToolBar();
    BuildMainMenu();

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);

    auto* panelTree = new QFrame(central);
    panelTree->setFrameStyle(QFrame::Panel | QFrame::Sunken); // lowered bevel
    PanelTree = panelTree;
    PanelTree->setObjectName(QStringLiteral("PanelTree"));
    PanelTree->setFixedWidth(TreePanelWidth);
    auto* treeLayout = new QVBoxLayout(PanelTree);
    treeLayout->setContentsMargins(1, 1, 1, 1);
    row->addWidget(PanelTree);

    Panel1 = new QWidget(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto* clientLayout = new QVBoxLayout(Panel1);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    row->addWidget(Panel1, 1);
    setCentralWidget(central);

    PageControlMain = new PageControl(this, Panel1);
    clientLayout->addWidget(PageControlMain);
    BuildPages();
    connect(PageControlMain, &QTabWidget::currentChanged, this, [this] { PageControlMainChange(); });

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusPanel = new QLabel(QStringLiteral("就绪"), StatusBar);
    StatusPanel->setObjectName(QStringLiteral("StatusPanel"));
    StatusPanel->setFixedWidth(StatusPanelWidth);
    StatusPanel->setAlignment(Qt::AlignCenter);
    StatusBar->addPermanentWidget(StatusPanel);
    setStatusBar(StatusBar);
}

void TMainForm::BuildToolBar()
{
    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setMovable(false);
    ToolBar->setFloatable(false);
    ToolBar->setFixedHeight(ToolBarHeight);
    ToolBar->setIconSize(QSize(ToolGlyphSize, ToolGlyphSize));
    ToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, ToolBar);

    auto make = [this](const char* name, const char* caption, const char* hint, Icons::Tool glyph) {
        auto* button = new QToolButton(ToolBar);
        button->setObjectName(QString::fromLatin1(name));
        button->setText(U(caption));
        button->setToolTip(U(hint));
        button->setIcon(Icons::ToolIcon(glyph));
        button->setIconSize(QSize(ToolGlyphSize, ToolGlyphSize));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setFixedSize(ToolButtonSize, ToolButtonSize);
        button->setAutoRaise(true); // flat
        ToolBar->addWidget(button);
        return button;
    };
    BtnNew = make("BtnNew", "新增", "添加", Icons::Tool::New);
    BtnEdit = make("BtnEdit", "编辑", "编辑", Icons::Tool::Edit);
    BtnDel = make("BtnDel", "删除", "删除", Icons::Tool::Delete);
    BtnRefresh = make("BtnRefresh", "刷新", "刷新显示", Icons::Tool::Refresh);
    BtnSearch = make("BtnSearch", "查找", "查找符合条件的记录", Icons::Tool::Search);
    BtnShow = make("BtnShow", "隐藏", "开关左面的树面板", Icons::Tool::Show);
    BtnPing = make("BtnPing", "检测", "帮助", Icons::Tool::Ping);
    BtnLog = make("BtnLog", "设置", "帮助", Icons::Tool::Settings);
    BtnExit = make("BtnExit", "退出", "退出当前画面", Icons::Tool::Exit);

    // The New button's popup menu (a right click on the button) offers what can be added.
    PmenuAdd = new QMenu(BtnNew);
    PmenuAdd->setObjectName(QStringLiteral("PmenuAdd"));
    N15 = PmenuAdd->addAction(U("设备信息"));
    N15->setObjectName(QStringLiteral("N15"));
    N17 = PmenuAdd->addAction(U("计划任务"));
    N17->setObjectName(QStringLiteral("N17"));
    BtnNew->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(BtnNew, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PmenuAdd->popup(BtnNew->mapToGlobal(pos)); });

    connect(BtnRefresh, &QToolButton::clicked, this, [this] { BtnRefreshClick(); });
    connect(BtnSearch, &QToolButton::clicked, this, [this] { ToggleSearchBox(); });
    connect(BtnShow, &QToolButton::clicked, this, [this] { BtnShowClick(BtnShow); });
    connect(BtnLog, &QToolButton::clicked, this, [this] { BtnLogClick(); });
    connect(BtnExit, &QToolButton::clicked, this, [this] { BtnExitClick(); });
    // BtnNew, BtnEdit and BtnDel run the record commands; BtnPing runs the network check of
    // every terminal (connected with the remote commands).
}

void TMainForm::BuildMainMenu()
{
    MenuMain = new QMenuBar(this);
    MenuMain->setObjectName(QStringLiteral("MenuMain"));
    setMenuBar(MenuMain);

    auto item = [](QMenu* menu, const char* name, const char* caption, const QIcon& icon = QIcon()) {
        QAction* action = menu->addAction(icon, U(caption));
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    auto pageIcon = [](int picture) { return QIcon(Icons::PageImage(picture)); };

    QMenu* file = MenuMain->addMenu(U("文件(&F)"));
    file->setObjectName(QStringLiteral("MenuFile"));
    N3 = item(file, "N3", "新增(&N)", Icons::ToolIcon(Icons::Tool::New));
    N8 = item(file, "N8", "修改(&M)", Icons::ToolIcon(Icons::Tool::Edit));
    D1 = item(file, "D1", "删除(&D)", Icons::ToolIcon(Icons::Tool::Delete));
    file->addSeparator();
    E1 = item(file, "E1", "退出(&X)", Icons::ToolIcon(Icons::Tool::Exit));

    QMenu* manage = MenuMain->addMenu(U("管理(&M)"));
    manage->setObjectName(QStringLiteral("MenuManage"));
    O2 = item(manage, "O2", "设备信息(&D)", pageIcon(0));
    N58 = item(manage, "N58", "用户信息(&U)", pageIcon(6));
    N44 = item(manage, "N44", "计划任务(&T)", pageIcon(2));

    QMenu* browse = MenuMain->addMenu(U("浏览(&B)"));
    browse->setObjectName(QStringLiteral("MenuBrowse"));
    I2 = item(browse, "I2", "操作日志(&I)", pageIcon(1));
    L1 = item(browse, "L1", "运行记录(&O)", pageIcon(3));
    N52 = item(browse, "N52", "CPU 温度记录(&T)", pageIcon(5));

    QMenu* settings = MenuMain->addMenu(U("系统设置(&S)"));
    settings->setObjectName(QStringLiteral("MenuSettings"));
    O1 = item(settings, "O1", "数据源(&O)");
    N18 = item(settings, "N18", "系统参数(&A)", Icons::ToolIcon(Icons::Tool::Settings));

    A1 = MenuMain->addAction(U("关于(&A)"));
    A1->setObjectName(QStringLiteral("A1"));

    connect(E1, &QAction::triggered, this, [this] { E1Click(); });
    connect(O2, &QAction::triggered, this, [this] { O2Click(); });
    connect(N58, &QAction::triggered, this, [this] { N58Click(); });
    connect(N44, &QAction::triggered, this, [this] { N44Click(); });
    connect(I2, &QAction::triggered, this, [this] { I2Click(); });
    connect(L1, &QAction::triggered, this, [this] { L1Click(); });
    connect(N52, &QAction::triggered, this, [this] { N52Click(); });
    connect(O1, &QAction::triggered, this, [this] { O1Click(); });
    connect(N18, &QAction::triggered, this, [this] { N18Click(); });
    connect(A1, &QAction::triggered, this, [this] { A1Click(); });
    // N3, N8 and D1 run the record commands.
}

QWidget* TMainForm::AddPage(const QString& name, const QString& caption, int picture)
{
    auto* page = new QWidget(PageControlMain);
    page->setObjectName(name);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    // The tab row draws picture and caption itself; the caption is kept for accessibility.
    PageControlMain->addTab(page, QIcon(Icons::PageImage(picture)), caption);
    return page;
}

QGroupBox* TMainForm::AddSearchBox(QWidget* page, const QString& name)
{
    auto* box = new QGroupBox(QStringLiteral("搜索"), page);
    box->setObjectName(name);
    box->setVisible(false);
    page->layout()->addWidget(box);
    return box;
}

QTableView* TMainForm::AddRecordGrid(QWidget* page, const QString& name)
{
    auto* grid = new QTableView(page);
    grid->setObjectName(name);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    AttachGridBehaviour(grid);
    page->layout()->addWidget(grid);
    return grid;
}

void TMainForm::BuildPages()
{
    QWidget* pages[PageCount];
    for (int i = 0; i < PageCount; ++i)
        pages[i] = AddPage(QString::fromLatin1(PageEntries[i].name), U(PageEntries[i].caption),
                           PageEntries[i].picture);
    PageDev = pages[PageIdxDev];
    PageIns = pages[PageIdxIns];
    PageTask = pages[PageIdxTask];
    PageLog = pages[PageIdxLog];
    PageUser = pages[PageIdxUser];
    PageTemp = pages[PageIdxTemp];
    PageInfo = pages[PageIdxInfo];

    // The device page's grid and detail box follow its search box (built with the device panels).
    GbxDevSearch = AddSearchBox(PageDev, QStringLiteral("GbxDevSearch"));

    GbxInsSearch = AddSearchBox(PageIns, QStringLiteral("GbxInsSearch"));
    GrdIns = AddRecordGrid(PageIns, QStringLiteral("GrdIns"));
    GbxTaskSearch = AddSearchBox(PageTask, QStringLiteral("GbxTaskSearch"));
    GrdTask = AddRecordGrid(PageTask, QStringLiteral("GrdTask"));
    GbxLogSearch = AddSearchBox(PageLog, QStringLiteral("GbxLogSearch"));
    GrdLog = AddRecordGrid(PageLog, QStringLiteral("GrdLog"));
    GbxUserSearch = AddSearchBox(PageUser, QStringLiteral("GbxUserSearch"));
    GrdUser = AddRecordGrid(PageUser, QStringLiteral("GrdUser"));
    GbxTempSearch = AddSearchBox(PageTemp, QStringLiteral("GbxTempSearch"));
    GrdTemp = AddRecordGrid(PageTemp, QStringLiteral("GrdTemp"));

    MemoInfo = new QTextEdit(PageInfo);
    MemoInfo->setObjectName(QStringLiteral("MemoInfo"));
    MemoInfo->setReadOnly(true);
    MemoInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    PageInfo->layout()->addWidget(MemoInfo);

    // Pages 1 to 5 start with their tab hidden; the device page is active.
    for (int i = PageIdxIns; i <= PageIdxTemp; ++i)
        PageControlMain->setTabVisible(i, false);
    PageControlMain->setCurrentIndex(PageIdxDev);
}
