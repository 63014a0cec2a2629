// The main window's frame: layout, per-page toolbar, tabs that close by their glyph and open again,
// the resolvers, refresh, the tree panel toggle, exit and the one-time first activation.
#include "console/MainForm.h"

#include "foundation/DbMod.h"
#include "platform/Application.h"
#include "support/ConsoleDb.h"
#include "support/ScriptedAnswerer.h"
#include "support/TestDb.h"
#include "windows/AboutBox.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <vector>

namespace {

std::vector<int> pagesAtStart; // page changes of the first show and activation

class MainFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ConsoleDb::SetUp();
        QFile ini(ConsoleDb::SettingsDir() + "/conf.ini");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write("[system]\nAutoDetected=0\n");
        ini.close();
        const auto spy = QObject::connect(MainForm->PageControlMain, &QTabWidget::currentChanged,
                                          [](int index) { pagesAtStart.push_back(index); });
        MainForm->show();
        QApplication::setActiveWindow(MainForm);
        for (int i = 0; i < 20 && pagesAtStart.size() < 2; ++i)
            QTest::qWait(10);
        QObject::disconnect(spy);
    }
    void SetUp() override
    {
        for (int i = TMainForm::PageIdxIns; i <= TMainForm::PageIdxTemp; ++i)
            F().HidePage(i);
        F().ShowPageDev();
    }

    static TMainForm& F() { return *MainForm; }
    static QTabBar* Bar() { return F().PageControlMain->tabBar(); }
    static std::vector<bool> Buttons()
    {
        return {F().BtnNew->isEnabled(), F().BtnEdit->isEnabled(), F().BtnDel->isEnabled(),
                F().BtnRefresh->isEnabled(), F().BtnSearch->isEnabled()};
    }
    static QPoint Centre(const QRect& r) { return r.topLeft() + QPoint(r.width() / 2, r.height() / 2); }
    static void Move(const QPoint& pos)
    {
        QMouseEvent move(QEvent::MouseMove, pos, Bar()->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(Bar(), &move);
    }

    ScriptedAnswerer answerer_;
};

TEST_F(MainFrameTest, FrameHoldsToolbarMenusAndPages)
{
    const QList<QToolButton*> buttons = {F().BtnNew, F().BtnEdit, F().BtnDel, F().BtnRefresh,
                                         F().BtnSearch, F().BtnShow, F().BtnPing, F().BtnLog,
                                         F().BtnExit};
    const QStringList captions = {"新增", "编辑", "删除", "刷新", "查找", "隐藏", "检测", "设置", "退出"};
    const QStringList hints = {"添加", "编辑", "删除", "刷新显示", "查找符合条件的记录",
                               "开关左面的树面板", "帮助", "帮助", "退出当前画面"};
    for (int i = 0; i < buttons.size(); ++i) {
        EXPECT_EQ(buttons[i]->text(), captions[i]);
        EXPECT_EQ(buttons[i]->toolTip(), hints[i]);
        EXPECT_EQ(buttons[i]->size(), QSize(65, 65));
        EXPECT_EQ(buttons[i]->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        EXPECT_FALSE(buttons[i]->icon().isNull());
    }
    ASSERT_EQ(F().PmenuAdd->actions().size(), 2);
    EXPECT_EQ(F().PmenuAdd->actions()[0]->text(), QStringLiteral("设备信息"));
    EXPECT_EQ(F().PmenuAdd->actions()[1]->text(), QStringLiteral("计划任务"));

    const QStringList menuNames = {"N3", "N8", "D1", "E1", "O2", "N58", "N44",
                                   "I2", "L1", "N52", "O1", "N18", "A1"};
    const QStringList menuTexts = {"新增(&N)", "修改(&M)", "删除(&D)", "退出(&X)", "设备信息(&D)",
                                   "用户信息(&U)", "计划任务(&T)", "操作日志(&I)", "运行记录(&O)",
                                   "CPU 温度记录(&T)", "数据源(&O)", "系统参数(&A)", "关于(&A)"};
    for (int i = 0; i < menuNames.size(); ++i) {
        auto* action = F().findChild<QAction*>(menuNames[i]);
        ASSERT_NE(action, nullptr) << menuNames[i].toStdString();
        EXPECT_EQ(action->text(), menuTexts[i]);
    }
    QStringList menus;
    for (QAction* a : F().MenuMain->actions())
        menus << a->text();
    EXPECT_EQ(menus, QStringList({"文件(&F)", "管理(&M)", "浏览(&B)", "系统设置(&S)", "关于(&A)"}));

    const QStringList pages = {"设备管理", "操作记录", "计划任务", "运行记录", "用户管理", "温度记录", "控制台"};
    const QStringList names = {"PageDev", "PageIns", "PageTask", "PageLog", "PageUser", "PageTemp", "PageInfo"};
    ASSERT_EQ(F().PageControlMain->count(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(F().PageControlMain->tabText(i), pages[i]);
        EXPECT_EQ(F().PageControlMain->widget(i)->objectName(), names[i]);
    }
    EXPECT_EQ(F().PanelTree->width(), 241);
    EXPECT_TRUE(F().MemoInfo->isReadOnly());
    EXPECT_EQ(F().MemoInfo->objectName(), QStringLiteral("MemoInfo"));
    EXPECT_EQ(F().StatusPanel->width(), 100);
    EXPECT_TRUE(F().windowState() & Qt::WindowMaximized);
    for (QGroupBox* box : {F().GbxDevSearch, F().GbxInsSearch, F().GbxTaskSearch, F().GbxLogSearch,
                           F().GbxUserSearch, F().GbxTempSearch})
        EXPECT_TRUE(box->isHidden()) << box->objectName().toStdString();
}

TEST_F(MainFrameTest, FirstActivationShowsConsoleThenDevicesOnlyOnce)
{
    EXPECT_EQ(pagesAtStart, (std::vector<int>{6, 0}));
    // Later activations (back from a dialog or another window) do not run it again.
    F().ShowPageTask();
    QApplication::setActiveWindow(nullptr);
    QApplication::setActiveWindow(MainForm);
    QTest::qWait(20);
    EXPECT_EQ(F().GetActivePageIndex(), TMainForm::PageIdxTask);
}

TEST_F(MainFrameTest, ToolbarFollowsThePage)
{
    const std::vector<std::vector<bool>> table = {
        {1, 1, 1, 1, 1}, {0, 0, 1, 1, 1}, {1, 1, 1, 1, 1}, {0, 0, 1, 1, 1},
        {1, 1, 1, 1, 1}, {0, 0, 1, 1, 1}, {0, 0, 0, 0, 0},
    };
    for (int page : {6, 1, 2, 3, 4, 5, 0}) {
        F().ShowPage(page);
        EXPECT_EQ(F().GetActivePageIndex(), page);
        EXPECT_EQ(Buttons(), table[page]) << "page " << page;
    }
    // A change made by clicking a tab follows the table as well.
    F().ShowPage(3);
    F().PageControlMain->setCurrentIndex(6);
    EXPECT_EQ(Buttons(), table[6]);

    // Showing the page that is already active changes nothing else.
    F().ShowPageDev();
    F().BtnNew->setEnabled(false);
    F().ShowPageDev();
    EXPECT_FALSE(F().BtnNew->isEnabled());
    F().PageControlMainChange();

    // Indexes past the last page are ignored.
    F().ShowPage(7);
    F().HidePage(7);
    EXPECT_EQ(F().GetActivePageIndex(), 0);
}

TEST_F(MainFrameTest, MenuItemsOpenTheirPages)
{
    const std::vector<std::pair<QAction*, int>> items = {{F().I2, 1}, {F().N44, 2}, {F().L1, 3},
                                                         {F().N58, 4}, {F().N52, 5}, {F().O2, 0}};
    for (const auto& [action, page] : items) {
        action->trigger();
        EXPECT_EQ(F().GetActivePageIndex(), page) << action->objectName().toStdString();
        EXPECT_TRUE(F().PageControlMain->isTabVisible(page));
    }
    F().T2Click();
    EXPECT_EQ(F().GetActivePageIndex(), 2);
}

TEST_F(MainFrameTest, HidingTheActivePageActivatesTheNextTabToTheRight)
{
    F().ShowPage(1);
    F().ShowPage(3);
    F().ShowPage(5);
    F().ShowPage(3);
    F().HidePage(3);
    EXPECT_EQ(F().GetActivePageIndex(), 5);
    EXPECT_EQ(Buttons(), (std::vector<bool>{0, 0, 1, 1, 1}));
    F().HidePage(5);
    EXPECT_EQ(F().GetActivePageIndex(), 6);
    EXPECT_EQ(Buttons(), (std::vector<bool>{0, 0, 0, 0, 0}));
    // Hiding a page that is not active keeps the active one.
    F().HidePage(1);
    EXPECT_EQ(F().GetActivePageIndex(), 6);
    // The last tab hidden: the new last tab takes its place.
    F().ShowPage(2);
    F().ShowPage(6);
    F().HidePage(6);
    EXPECT_EQ(F().GetActivePageIndex(), 2);
    F().ShowPage(6);
}

TEST_F(MainFrameTest, TabPositionsMapToPages)
{
    F().ShowPage(2);
    F().ShowPage(4);
    EXPECT_EQ(F().TabToPageIndex(0), 0);
    EXPECT_EQ(F().TabToPageIndex(1), 2);
    EXPECT_EQ(F().TabToPageIndex(2), 4);
    EXPECT_EQ(F().TabToPageIndex(3), 6);
    EXPECT_EQ(F().TabToPageIndex(5), 0); // no page at that position
    EXPECT_EQ(F().TabToPageIndex(7), 6);
}

TEST_F(MainFrameTest, CloseGlyphHidesTheTabAndTheMenuShowsItAgain)
{
    // A tab hidden by a command leaves no hit area behind for the tab later drawn in its place.
    F().ShowPage(2);
    Bar()->repaint();
    ASSERT_FALSE(F().TabCloseRects[2].isNull());
    F().HidePage(2);
    EXPECT_TRUE(F().TabCloseRects[2].isNull());

    F().ShowPage(3);
    F().ShowPageDev();
    Bar()->repaint();
    const QRect glyph = F().TabCloseRects[3];
    ASSERT_EQ(glyph.size(), QSize(18, 18));
    const QRect tab = Bar()->tabRect(3);
    EXPECT_EQ(glyph.topLeft(), QPoint(tab.x() + tab.width() - 20, tab.top() + 2));
    EXPECT_TRUE(F().TabCloseRects[0].isNull());
    EXPECT_TRUE(F().TabCloseRects[6].isNull());

    // The hand cursor shows over the glyph area only.
    Move(Centre(glyph));
    EXPECT_EQ(Bar()->cursor().shape(), Qt::PointingHandCursor);
    Move(glyph.topLeft() + QPoint(18, 0)); // right edge is outside
    EXPECT_EQ(Bar()->cursor().shape(), Qt::ArrowCursor);
    const QRect devTab = Bar()->tabRect(0);
    Move(QPoint(devTab.x() + devTab.width() - 11, devTab.top() + 11)); // where a glyph would be
    EXPECT_EQ(Bar()->cursor().shape(), Qt::ArrowCursor);

    // Press and release on the glyph of the inactive tab: it becomes active, then is hidden and
    // the console tab (next to its right) takes its place.
    QTest::mousePress(Bar(), Qt::LeftButton, Qt::NoModifier, Centre(glyph));
    EXPECT_EQ(F().GetActivePageIndex(), 3);
    QTest::mouseRelease(Bar(), Qt::LeftButton, Qt::NoModifier, Centre(glyph));
    EXPECT_FALSE(F().PageControlMain->isTabVisible(3));
    EXPECT_TRUE(F().TabCloseRects[3].isNull());
    EXPECT_EQ(F().GetActivePageIndex(), 6);
    EXPECT_EQ(Buttons(), (std::vector<bool>{0, 0, 0, 0, 0}));

    // The device tab has no glyph: a click where one would be only selects it.
    QTest::mouseClick(Bar(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(devTab.x() + devTab.width() - 11, devTab.top() + 11));
    EXPECT_TRUE(F().PageControlMain->isTabVisible(0));
    EXPECT_EQ(F().GetActivePageIndex(), 0);

    F().L1->trigger();
    EXPECT_TRUE(F().PageControlMain->isTabVisible(3));
    EXPECT_EQ(F().GetActivePageIndex(), 3);
    Bar()->repaint();
    EXPECT_EQ(F().TabCloseRects[3].size(), QSize(18, 18));
}

TEST_F(MainFrameTest, ResolversFollowTheActivePage)
{
    const std::vector<std::pair<QTableView*, DataSet*>> expected = {
        {F().GrdDev, &F().QueryGrdDev},   {F().GrdIns, &F().QueryGrdIns},
        {F().GrdTask, &F().QueryGrdTask}, {F().GrdLog, &F().QueryGrdLog},
        {F().GrdUser, &F().QueryGrdUser}, {F().GrdTemp, &F().QueryGrdTemp},
        {nullptr, nullptr},
    };
    for (int page = 0; page < 7; ++page) {
        F().ShowPage(page);
        EXPECT_EQ(F().GetActiveGrid(), expected[page].first) << page;
        EXPECT_EQ(F().GetActiveQuery(), expected[page].second) << page;
        EXPECT_EQ(F().GetActivePager(), nullptr);
    }
}

TEST_F(MainFrameTest, RefreshReadsTheActivePageAgain)
{
    const int before = F().QueryGrdDev.RecordCount();
    TestDb::Exec("insert into zol_baseinfo (name, ip) values ('刷新测试', '10.1.1.1');");
    F().RefreshActivePage();
    EXPECT_EQ(F().QueryGrdDev.RecordCount(), before + 1);

    // The console and a page whose query was never opened have nothing to read.
    F().ShowPageInfo();
    F().RefreshActivePage();
    F().ShowPageIns();
    F().BtnRefreshClick();
    EXPECT_FALSE(F().QueryGrdIns.Active());
    EXPECT_EQ(answerer_.Count(), 0);
}

TEST_F(MainFrameTest, SearchButtonTogglesTheActivePagesBox)
{
    F().BtnSearch->click();
    EXPECT_FALSE(F().GbxDevSearch->isHidden());
    F().ShowPageTask();
    F().ToggleSearchBox();
    EXPECT_FALSE(F().GbxTaskSearch->isHidden());
    F().ToggleSearchBox();
    EXPECT_TRUE(F().GbxTaskSearch->isHidden());
    F().ShowPageInfo();
    F().ToggleSearchBox(); // nothing on the console
    EXPECT_FALSE(F().GbxDevSearch->isHidden());
    F().ShowPageDev();
    F().ToggleSearchBox();
    EXPECT_TRUE(F().GbxDevSearch->isHidden());
}

TEST_F(MainFrameTest, ShowButtonTogglesTheTreePanel)
{
    F().BtnShow->click();
    EXPECT_FALSE(F().PanelTree->isVisible());
    EXPECT_EQ(F().BtnShow->text(), QStringLiteral("显示"));
    F().BtnShow->click();
    EXPECT_TRUE(F().PanelTree->isVisible());
    EXPECT_EQ(F().BtnShow->text(), QStringLiteral("隐藏"));
}

TEST_F(MainFrameTest, ExitAsksAndOnlyOkEndsTheLoop)
{
    constexpr int StillRunning = 7;
    answerer_.Answer(MsgResult::Cancel);
    QTimer::singleShot(0, [] { F().BtnExit->click(); });
    QTimer::singleShot(200, [] { qApp->exit(StillRunning); });
    EXPECT_EQ(qApp->exec(), StillRunning);
    ASSERT_EQ(answerer_.Count(), 1);
    EXPECT_EQ(answerer_.Last().caption, QStringLiteral("确认"));
    EXPECT_EQ(answerer_.Last().text, QStringLiteral("您确定要退出系统吗?"));
    EXPECT_TRUE(F().isVisible());

    answerer_.Answer(MsgResult::Ok);
    QTimer::singleShot(0, [] { F().E1->trigger(); });
    QTimer::singleShot(2000, [] { qApp->exit(StillRunning); });
    EXPECT_EQ(qApp->exec(), 0);
    EXPECT_EQ(answerer_.Count(), 2);
}

TEST_F(MainFrameTest, AboutBoxShowsTitleAndBuild)
{
    QString caption, product, version, ok;
    QTimer::singleShot(0, [&] {
        ASSERT_NE(AboutBox, nullptr);
        caption = AboutBox->windowTitle();
        product = AboutBox->ProductName->text();
        version = AboutBox->Version->text();
        ok = AboutBox->OKButton->text();
        AboutBox->OKButton->click();
    });
    F().A1->trigger();
    EXPECT_EQ(AboutBox, nullptr);
    EXPECT_EQ(caption, QStringLiteral("关于我们"));
    EXPECT_EQ(product, QString::fromUtf8(ApplicationTitle));
    EXPECT_TRUE(version.startsWith(QStringLiteral("ZOL Build Version  "))) << version.toStdString();
    EXPECT_GT(version.size(), QStringLiteral("ZOL Build Version  ").size());
    EXPECT_EQ(ok, QStringLiteral("确定"));
}

} // namespace
