// The main window's frame: captions, per-page toolbar and resolvers, tabs closed by their glyph and
// opened again, refresh, the search and tree panel toggles and exit.
#include "console/MainForm.h"

#include "foundation/DbMod.h"
#include "support/ConsoleDb.h"
#include "support/ScriptedAnswerer.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

namespace {

constexpr int ActivationWaitMs = 500;

class MainFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ConsoleDb::SetUp();
        F().IniWriteBool(QStringLiteral("AutoDetected"), false);
        int changes = 0; // the first activation shows the console, then the devices
        const auto spy = QObject::connect(F().PageControlMain, &QTabWidget::currentChanged, [&] { ++changes; });
        F().show();
        QApplication::setActiveWindow(MainForm);
        const bool activated = QTest::qWaitFor([&] { return changes >= 2; }, ActivationWaitMs);
        QObject::disconnect(spy);
        ASSERT_TRUE(activated);
    }
    void SetUp() override
    {
        for (int i = TMainForm::PageIdxIns; i <= TMainForm::PageIdxTemp; ++i)
            F().HidePage(i);
        F().ShowPageDev();
    }
    static TMainForm& F() { return *MainForm; }
    static QTabBar* Bar() { return F().PageControlMain->tabBar(); }
    // Enabling of new, edit, delete, refresh, search as "10110".
    static QString Buttons()
    {
        QString s;
        for (QToolButton* b : {F().BtnNew, F().BtnEdit, F().BtnDel, F().BtnRefresh, F().BtnSearch})
            s += b->isEnabled() ? '1' : '0';
        return s;
    }
    static void Move(const QPoint& pos)
    {
        QMouseEvent move(QEvent::MouseMove, pos, Bar()->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, {});
        QApplication::sendEvent(Bar(), &move);
    }
    ScriptedAnswerer answerer_;
};

TEST_F(MainFrameTest, CaptionsOfToolbarMenusAndPages)
{
    QStringList texts;
    for (QToolButton* b : {F().BtnNew, F().BtnEdit, F().BtnDel, F().BtnRefresh, F().BtnSearch, F().BtnShow,
                           F().BtnPing, F().BtnLog, F().BtnExit}) {
        texts << b->text() + "/" + b->toolTip();
        EXPECT_EQ(b->size(), QSize(65, 65));
    }
    for (QAction* a : F().PmenuAdd->actions() + F().MenuMain->actions())
        texts << a->text();
    for (const char* name : {"N3", "N8", "D1", "E1", "O2", "N58", "N44", "I2", "L1", "N52", "O1", "N18", "A1"})
        texts << QString(name) + "=" + (F().findChild<QAction*>(name) ? F().findChild<QAction*>(name)->text() : "?");
    for (int i = 0; i < F().PageControlMain->count(); ++i)
        texts << F().PageControlMain->widget(i)->objectName() + "=" + F().PageControlMain->tabText(i);
    EXPECT_EQ(texts.join(' '),
              "新增/添加 编辑/编辑 删除/删除 刷新/刷新显示 查找/查找符合条件的记录 隐藏/开关左面的树面板 检测/帮助 "
              "设置/帮助 退出/退出当前画面 设备信息 计划任务 文件(&F) 管理(&M) 浏览(&B) 系统设置(&S) 关于(&A) "
              "N3=新增(&N) N8=修改(&M) D1=删除(&D) E1=退出(&X) O2=设备信息(&D) N58=用户信息(&U) "
              "N44=计划任务(&T) I2=操作日志(&I) L1=运行记录(&O) N52=CPU 温度记录(&T) O1=数据源(&O) "
              "N18=系统参数(&A) A1=关于(&A) PageDev=设备管理 PageIns=操作记录 PageTask=计划任务 "
              "PageLog=运行记录 PageUser=用户管理 PageTemp=温度记录 PageInfo=控制台");
    EXPECT_EQ(F().PanelTree->width(), 241);
    EXPECT_TRUE(F().MemoInfo->isReadOnly());
    EXPECT_TRUE(F().windowState() & Qt::WindowMaximized);
}

// Each page opened by its menu item: toolbar enabling and the grid and query resolvers.
TEST_F(MainFrameTest, ToolbarAndResolversFollowThePage)
{
    TMainForm& f = F();
    const std::vector<std::tuple<QAction*, int, QString, QTableView*, DataSet*>> table = {
        {f.I2, 1, "00111", f.GrdIns, &f.QueryGrdIns},    {f.N44, 2, "11111", f.GrdTask, &f.QueryGrdTask},
        {f.L1, 3, "00111", f.GrdLog, &f.QueryGrdLog},    {f.N58, 4, "11111", f.GrdUser, &f.QueryGrdUser},
        {f.N52, 5, "00111", f.GrdTemp, &f.QueryGrdTemp}, {nullptr, 6, "00000", nullptr, nullptr},
        {f.O2, 0, "11111", f.GrdDev, &f.QueryGrdDev}};
    for (const auto& [item, page, buttons, grid, query] : table) {
        item ? item->trigger() : f.ShowPage(page);
        EXPECT_EQ(f.GetActivePageIndex(), page);
        EXPECT_EQ(Buttons(), buttons) << page;
        EXPECT_EQ(f.GetActiveGrid(), grid) << page;
        EXPECT_EQ(f.GetActiveQuery(), query) << page;
        EXPECT_EQ(f.GetActivePager(), nullptr);
    }
    f.T2Click();
    EXPECT_EQ(f.GetActivePageIndex(), 2);
    f.PageControlMain->setCurrentIndex(6); // as by a click on the tab
    EXPECT_EQ(Buttons(), "00000");

    // Showing the active page again changes nothing; indexes past the last page are ignored.
    f.ShowPageDev();
    f.BtnNew->setEnabled(false);
    f.ShowPageDev();
    EXPECT_FALSE(f.BtnNew->isEnabled());
    f.ShowPage(7);
    f.HidePage(7);
    EXPECT_EQ(f.GetActivePageIndex(), 0);
}

TEST_F(MainFrameTest, HidingPagesAndTabPositions)
{
    for (int page : {1, 3, 5, 3})
        F().ShowPage(page);
    F().HidePage(3); // the active page: the next tab to the right takes over
    EXPECT_EQ(F().GetActivePageIndex(), 5);
    EXPECT_EQ(Buttons(), "00111");
    F().HidePage(5);
    EXPECT_EQ(F().GetActivePageIndex(), 6);
    EXPECT_EQ(Buttons(), "00000");
    F().HidePage(1); // not active: the active one stays
    EXPECT_EQ(F().GetActivePageIndex(), 6);
    F().ShowPage(2);
    F().ShowPage(6);
    F().HidePage(6); // the last tab: the new last tab takes its place
    EXPECT_EQ(F().GetActivePageIndex(), 2);

    F().ShowPage(4);
    F().ShowPage(6);
    for (const auto& [tab, page] : std::vector<std::pair<int, int>>{{0, 0}, {1, 2}, {2, 4}, {3, 6}, {5, 0}, {7, 6}})
        EXPECT_EQ(F().TabToPageIndex(tab), page) << tab;
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
    const QRect glyph = F().TabCloseRects[3], tab = Bar()->tabRect(3), devTab = Bar()->tabRect(0);
    EXPECT_EQ(glyph, QRect(tab.x() + tab.width() - 20, tab.top() + 2, 18, 18));
    EXPECT_TRUE(F().TabCloseRects[0].isNull());
    EXPECT_TRUE(F().TabCloseRects[6].isNull());

    // The hand cursor shows over the glyph area only; the device tab has none.
    const QPoint devGlyph(devTab.x() + devTab.width() - 11, devTab.top() + 11);
    for (const auto& [pos, shape] : std::vector<std::pair<QPoint, Qt::CursorShape>>{
             {glyph.center(), Qt::PointingHandCursor}, {glyph.topLeft() + QPoint(18, 0), Qt::ArrowCursor},
             {devGlyph, Qt::ArrowCursor}}) {
        Move(pos);
        EXPECT_EQ(Bar()->cursor().shape(), shape);
    }
    // A press on the inactive tab's glyph activates it; the release hides it, the console takes over.
    QTest::mousePress(Bar(), Qt::LeftButton, {}, glyph.center());
    EXPECT_EQ(F().GetActivePageIndex(), 3);
    QTest::mouseRelease(Bar(), Qt::LeftButton, {}, glyph.center());
    EXPECT_FALSE(F().PageControlMain->isTabVisible(3));
    EXPECT_TRUE(F().TabCloseRects[3].isNull());
    EXPECT_EQ(F().GetActivePageIndex(), 6);
    EXPECT_EQ(Buttons(), "00000");

    QTest::mouseClick(Bar(), Qt::LeftButton, {}, devGlyph);
    EXPECT_TRUE(F().PageControlMain->isTabVisible(0));
    EXPECT_EQ(F().GetActivePageIndex(), 0);
    F().L1->trigger();
    EXPECT_EQ(F().GetActivePageIndex(), 3);
    Bar()->repaint();
    EXPECT_EQ(F().TabCloseRects[3].size(), QSize(18, 18));
}

TEST_F(MainFrameTest, RefreshAndTheSearchAndTreeToggles)
{
    const int before = F().QueryGrdDev.RecordCount();
    TestDb::Exec("insert into zol_baseinfo (name, ip) values ('刷新测试', '10.1.1.1');");
    F().RefreshActivePage();
    EXPECT_EQ(F().QueryGrdDev.RecordCount(), before + 1);
    F().ShowPageInfo(); // the console and a never opened query have nothing to read
    F().RefreshActivePage();
    F().ShowPageIns();
    F().BtnRefreshClick();
    EXPECT_FALSE(F().QueryGrdIns.Active());
    EXPECT_EQ(answerer_.Count(), 0);

    // The search button toggles the active page's box; nothing happens on the console.
    const std::vector<std::tuple<int, QGroupBox*, bool>> toggles = {
        {0, F().GbxDevSearch, false}, {2, F().GbxTaskSearch, false}, {2, F().GbxTaskSearch, true},
        {6, F().GbxDevSearch, false}, {0, F().GbxDevSearch, true}};
    EXPECT_TRUE(F().GbxDevSearch->isHidden() && F().GbxTaskSearch->isHidden());
    for (const auto& [page, box, hidden] : toggles) {
        F().ShowPage(page);
        page == 0 ? F().BtnSearch->click() : F().ToggleSearchBox();
        EXPECT_EQ(box->isHidden(), hidden) << page;
    }
    for (const char* caption : {"显示", "隐藏"}) {
        F().BtnShow->click();
        EXPECT_EQ(F().PanelTree->isVisible(), caption == QStringLiteral("隐藏"));
        EXPECT_EQ(F().BtnShow->text(), caption);
    }
}

// Last: the accepted exit ends the event loop.
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

} // namespace
