// The main window's frame: per-page toolbar and resolvers, tabs closed by their glyph, the console
// view's save item, the pictures of the menus, and exit.
#include "console/DevTestSupport.h"
#include "platform/Exception.h"
#include "support/ScriptedAnswerer.h"

#include <QtTest>

namespace {

constexpr int ActivationWaitMs = 500;
constexpr int WaitMs = 10000;

class MainFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ConsoleDb::SetUp();
        F().IniWriteBool(QStringLiteral("AutoDetected"), false);
        QSignalSpy pages(F().PageControlMain, &QTabWidget::currentChanged);
        F().show();
        QApplication::setActiveWindow(MainForm);
        // The first activation shows the console, then the devices.
        ASSERT_TRUE(QTest::qWaitFor([&] { return pages.count() >= 2; }, ActivationWaitMs));
    }
    void SetUp() override
    {
        for (int i = TMainForm::PageIdxIns; i <= TMainForm::PageIdxTemp; ++i)
            F().HidePage(i);
        F().ShowPageInfo();
        F().ShowPageDev();
    }
    static TMainForm& F() { return *MainForm; }
    static QTabBar* Bar() { return F().PageControlMain->tabBar(); }
    static QString Buttons() // enabling of new, edit, delete, refresh, search: "10110"
    {
        QString s;
        for (QToolButton* b : {F().BtnNew, F().BtnEdit, F().BtnDel, F().BtnRefresh, F().BtnSearch})
            s += b->isEnabled() ? '1' : '0';
        return s;
    }
    ScriptedAnswerer answerer_;
};

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
        if (item)
            item->trigger();
        else
            f.ShowPage(page);
        EXPECT_EQ(std::pair(f.GetActivePageIndex(), Buttons()), std::pair(page, buttons));
        EXPECT_EQ(std::pair(f.GetActiveGrid(), f.GetActiveQuery()), std::pair(grid, query)) << page;
    }
    f.ShowPage(7); // past the last page: ignored
    f.HidePage(7);
    EXPECT_EQ(f.GetActivePageIndex(), 0);
}

// Hiding the active tab hands over to the next tab to its right, or to the new last tab when it was
// the last; hiding another tab keeps the active one.
TEST_F(MainFrameTest, HidingPagesHandsOverTheActiveTab)
{
    for (int page : {1, 3, 5, 3})
        F().ShowPage(page);
    for (const auto& [page, active, buttons] :
         std::vector<std::tuple<int, int, QString>>{{3, 5, "00111"}, {5, 6, "00000"}, {1, 6, "00000"}}) {
        F().HidePage(page);
        EXPECT_EQ(std::pair(F().GetActivePageIndex(), Buttons()), std::pair(active, buttons)) << page;
    }
    F().ShowPage(2);
    F().ShowPage(6);
    F().HidePage(6);
    EXPECT_EQ(F().GetActivePageIndex(), 2);
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
    const QRect devTab = Bar()->tabRect(0);
    EXPECT_TRUE(F().TabCloseRects[0].isNull() && F().TabCloseRects[6].isNull());
    // The hand shows over the 18 x 18 glyph only (right and bottom edges excluded).
    EXPECT_EQ(glyph.size(), QSize(18, 18));
    const auto cursorAt = [&](QPoint p) {
        QTest::mouseMove(Bar(), p);
        return Bar()->cursor().shape();
    };
    EXPECT_EQ(cursorAt(glyph.topLeft()), Qt::PointingHandCursor);
    EXPECT_EQ(cursorAt(glyph.bottomRight() + QPoint(1, 1)), Qt::ArrowCursor);
    EXPECT_EQ(cursorAt(glyph.center()), Qt::PointingHandCursor);
    // A press on the inactive tab's glyph activates it; the release hides it, the console takes over.
    QTest::mousePress(Bar(), Qt::LeftButton, {}, glyph.center());
    EXPECT_EQ(F().GetActivePageIndex(), 3);
    QTest::mouseRelease(Bar(), Qt::LeftButton, {}, glyph.center());
    EXPECT_FALSE(F().PageControlMain->isTabVisible(3));
    EXPECT_TRUE(F().TabCloseRects[3].isNull());
    EXPECT_EQ(F().GetActivePageIndex(), 6);
    EXPECT_EQ(Buttons(), "00000");

    // The device tab has no glyph: a click there only activates it.
    QTest::mouseClick(Bar(), Qt::LeftButton, {}, QPoint(devTab.right() - 10, devTab.top() + 11));
    EXPECT_EQ(F().GetActivePageIndex(), 0);
    F().L1->trigger();
    Bar()->repaint();
    EXPECT_EQ(F().GetActivePageIndex(), 3);
    EXPECT_FALSE(F().TabCloseRects[3].isNull());
}

// The console view's text is saved line by line; a name without extension gets "txt"; the view
// counts as saved. Cancel writes nothing; a file that cannot be written is an error of the command.
TEST_F(MainFrameTest, ConsoleViewSaveWritesEveryLine)
{
    QTextEdit* memo = F().MemoInfo;
    memo->setPlainText(QStringLiteral("  信息 2013-05-07 08:03:09 : 第一行\n  错误 2013-05-07 08:03:10 : 第二行"));
    memo->document()->setModified(true);
    QTemporaryDir dir;
    QString answer;
    MessageBoxes::SetFileAnswerer([&](const FileDialogRequest&) { return answer; });
    F().N100->trigger(); // cancelled
    EXPECT_TRUE(memo->document()->isModified());

    answer = dir.filePath("控制台");
    F().N100->trigger();
    QFile saved(dir.filePath("控制台.txt"));
    EXPECT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(saved.readAll()), memo->toPlainText() + '\n');
    EXPECT_FALSE(memo->document()->isModified());

    answer = dir.filePath("控制台.txt/x.log");
    EXPECT_THROW(F().N100Click(), Exception);
    MessageBoxes::SetFileAnswerer({});
}

// The console view's popup opens on a right click; every item of the menus and popups has its
// picture, but the menu bar's own entries keep their captions.
TEST_F(MainFrameTest, PopupOpensAndEveryItemHasAPicture)
{
    emit F().MemoInfo->customContextMenuRequested(QPoint(5, 5));
    EXPECT_TRUE(QTest::qWaitFor([] { return F().PmemoInfo->isVisible(); }, WaitMs));
    F().PmemoInfo->hide();

    QList<QMenu*> menus{F().PmemoInfo, F().PmenuDevGrd, F().PmenuTree};
    for (QAction* top : F().MenuMain->actions())
        if (top->menu())
            menus << top->menu();
    for (QMenu* menu : menus)
        for (QAction* item : menu->actions()) {
            if (item->isSeparator())
                continue;
            EXPECT_FALSE(item->icon().isNull()) << item->objectName().toStdString();
        }
    EXPECT_TRUE(F().A1->icon().isNull()); // a picture would hide its caption in the menu bar
}

// Last: the accepted exit ends the event loop.
TEST_F(MainFrameTest, ExitAsksAndOnlyOkEndsTheLoop)
{
    constexpr int StillRunning = 7;
    answerer_.Answer(MsgResult::Cancel);
    QTimer::singleShot(0, [] { F().BtnExit->click(); });
    QTimer::singleShot(200, [] { qApp->exit(StillRunning); });
    EXPECT_EQ(qApp->exec(), StillRunning);
    EXPECT_EQ(Describe(answerer_.Last()), QStringLiteral("确认|您确定要退出系统吗?|4|1"));
    EXPECT_TRUE(F().isVisible());

    answerer_.Answer(MsgResult::Ok);
    QTimer::singleShot(0, [] { F().E1->trigger(); });
    QTimer::singleShot(2000, [] { qApp->exit(StillRunning); });
    EXPECT_EQ(qApp->exec(), 0);
    EXPECT_EQ(answerer_.Count(), 2);
}

} // namespace
