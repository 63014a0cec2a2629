// The main window's frame and what it adds to its grids: per-page toolbar and resolvers, tabs closed
// by their glyph, the console view's save item, the pictures of the menus; striped painting and row
// numbers, Shift ranges, select all, the wheel and the device grid's export; and, last, exit.
#include "console/RecordTestSupport.h"
#include "platform/DataSetModel.h"
#include "platform/Exception.h"
#include "support/XlsxReader.h"

using namespace RecordTestSupport;
using namespace DevTestSupport;

namespace {

constexpr QRgb RgbMask = 0xFFFFFF;
const QRgb SixthRow = qRgb(237, 241, 244) & RgbMask;
const QRgb ThirdRow = qRgb(210, 217, 223) & RgbMask;
const QRgb Selected = qRgb(80, 151, 207) & RgbMask;

QList<int> SelectedRecNos(QTableView* grid)
{
    QList<int> rows;
    for (const QModelIndex& index : grid->selectionModel()->selectedRows())
        rows << index.row() + 1;
    std::sort(rows.begin(), rows.end());
    return rows;
}

DataSet Numbered(int count)
{
    std::vector<DataSet::Row> rows;
    for (int i = 1; i <= count; ++i)
        rows.push_back({QString::number(i), QString()});
    DataSet data;
    data.Open({"id", "name"}, std::move(rows));
    return data;
}

class GridBehaviourTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ShowConsole();
        for (int i = 10; i >= 1; --i) // the grid's order by name is not the order of the ids
            AddTerminal(QStringLiteral("终端%1").arg(i, 2, 10, QLatin1Char('0')), "up");
        designSql_ = Data().CommandText;
        ASSERT_TRUE(QTest::qWaitForWindowExposed(MainForm, WaitMs));
    }
    void SetUp() override
    {
        QApplication::setActiveWindow(MainForm);
        MainForm->ShowPageDev();
        Data().CommandText = designSql_;
        FormDbMod->ReopenQuery(Data());
        Grid()->clearSelection();
        MainForm->ShiftDown = false;
        MainForm->ShiftAnchorRecNo = 0;
        Grid()->setFocus();
        Pump();
    }
    static QTableView* Grid() { return MainForm->GrdDev; }
    static DataSet& Data() { return MainForm->QueryGrdDev; }
    // A click on record recNo's name cell, as the operator makes it (Shift held or not).
    static void Click(int recNo, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QModelIndex cell = Grid()->model()->index(recNo - 1, 2);
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, modifiers, Grid()->visualRect(cell).center());
        Pump();
    }
    static inline QString designSql_;
};

// Ten rows: 3 and 9 in the darker stripe, 6 in the lighter one, a selected row in the selection
// colour whatever its number, the row-number column on the button face with 1, 2, 3 ... from the
// first row of every result. With none selected, the current row (the commands' row) is drawn so.
TEST_F(GridBehaviourTest, RowsArePaintedByNumberAndSelection)
{
    DataSet data = Numbered(12);
    DataSetModel model(&data, {{"id", "", 0, false}, {"", "序号", 40, true}, {"name", "名称", 80, true}});
    QTableView view;
    model.ApplyColumns(&view);
    MainForm->AttachGridBehaviour(&view);
    view.resize(300, 400);
    view.verticalHeader()->setDefaultSectionSize(24);
    data.SetRecNo(4);
    view.selectionModel()->select(model.index(1, 2), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view.selectionModel()->select(model.index(8, 2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view, WaitMs));
    auto pixel = [&](int recNo, int column) {
        const QImage image = view.viewport()->grab().toImage();
        const QRect cell = view.visualRect(model.index(recNo - 1, column));
        return image.pixel(cell.topLeft() + QPoint(2, 2)) & RgbMask;
    };
    const QRgb base = view.palette().color(QPalette::Base).rgb() & RgbMask;
    const QRgb button = view.palette().color(QPalette::Button).rgb() & RgbMask;
    const auto painted = [&](const QList<int>& selected) {
        for (int recNo = 1; recNo <= 12; ++recNo) {
            QRgb expected = base;
            if (selected.contains(recNo))
                expected = Selected;
            else if (recNo % 6 == 0)
                expected = SixthRow;
            else if (recNo % 3 == 0)
                expected = ThirdRow;
            EXPECT_EQ(pixel(recNo, 2), expected) << recNo;
            EXPECT_EQ(pixel(recNo, 1), button) << recNo;
        }
    };
    painted({2, 9});
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(5, view.viewport()->height() - 3));
    ASSERT_FALSE(view.selectionModel()->hasSelection());
    EXPECT_EQ(data.RecNo(), 4);
    painted({4});

    // What the window shows, as last painted: a row the grid leaves out of a repaint keeps its old
    // colour there. Once the rows that lost their selection are painted again, so is the current row.
    const auto onScreen = [&](int recNo) {
        const QImage shown = view.screen()->grabWindow(view.winId()).toImage();
        const QRect cell = view.visualRect(model.index(recNo - 1, 2));
        return shown.pixel(view.viewport()->mapTo(&view, cell.topLeft() + QPoint(2, 2))) & RgbMask;
    };
    view.selectionModel()->select(model.index(6, 2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ASSERT_TRUE(QTest::qWaitFor([&] { return onScreen(7) == Selected && onScreen(4) == base; }, WaitMs));
    view.clearSelection();
    ASSERT_TRUE(QTest::qWaitFor([&] { return onScreen(7) == base; }, WaitMs));
    EXPECT_EQ(onScreen(4), Selected);

    // The number drawn is the row's place in the result, not anything the row holds.
    auto numberCell = [&](int recNo) {
        const QRect cell = view.visualRect(model.index(recNo - 1, 1)).adjusted(0, 0, -2, -2);
        return view.viewport()->grab(cell).toImage();
    };
    const QImage first = numberCell(1);
    const QImage second = numberCell(2);
    EXPECT_NE(first, second);
    data.Open({"id", "name"}, {{QString("77"), QString("x")}, {QString("78"), QString("y")}});
    QCoreApplication::processEvents();
    EXPECT_EQ(numberCell(1), first);
    EXPECT_EQ(numberCell(2), second);
}

// Click row 2, Shift+click row 5: rows 2 to 5, the current row back on 2; Shift+click row 1: rows
// 1 and 2. Without a plain click first, row 1 is the anchor; the tree's Shift counts too.
TEST_F(GridBehaviourTest, ShiftClicksSelectRangesFromTheAnchor)
{
    Click(2);
    QTest::keyPress(Grid(), Qt::Key_Shift);
    Click(5, Qt::ShiftModifier);
    EXPECT_EQ(SelectedRecNos(Grid()), (QList<int>{2, 3, 4, 5}));
    EXPECT_EQ(Data().RecNo(), 2);
    Click(1, Qt::ShiftModifier);
    EXPECT_EQ(SelectedRecNos(Grid()), (QList<int>{1, 2}));
    EXPECT_EQ(Data().RecNo(), 2);
    QTest::keyRelease(Grid(), Qt::Key_Shift);
    Click(4);
    EXPECT_EQ(SelectedRecNos(Grid()), QList<int>{4});

    MainForm->ShiftAnchorRecNo = 0;
    QTest::keyPress(MainForm->TreeDev, Qt::Key_Shift);
    Click(3, Qt::ShiftModifier);
    EXPECT_EQ(SelectedRecNos(Grid()), (QList<int>{1, 2, 3}));
    EXPECT_EQ(Data().RecNo(), 1);
    QTest::keyClick(Grid(), Qt::Key_Down); // any key released in a grid ends the Shift state
    EXPECT_FALSE(MainForm->ShiftDown);
}

// Ctrl+A and "全部选择" select every row of the current result and leave the current record. (The
// record grids' items run the same command on their page's grid.) Every such item shows the key.
TEST_F(GridBehaviourTest, SelectAllKeepsTheCurrentRecord)
{
    FormDbMod->QuerySqlOn(QStringLiteral("select * from zol_baseinfo a left join zol_status b on a.id = b.zol_id "
                                         "where name like '终端0%' order by name"),
                          Data());
    Data().SetRecNo(7);
    QTest::keyClick(Grid(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(SelectedRecNos(Grid()), (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(Data().RecNo(), 7);
    Grid()->clearSelection();
    MainForm->N9->trigger();
    EXPECT_EQ(SelectedRecNos(Grid()).size(), 9);
    for (QMenu* menu : MainForm->findChildren<QMenu*>())
        for (QAction* item : menu->actions())
            if (item->text() == QStringLiteral("全部选择") && menu != MainForm->PmemoInfo) {
                EXPECT_EQ(item->shortcut().toString(), "Ctrl+A") << item->objectName().toStdString();
            }
}

// One wheel turn moves the focused grid one row, whatever its size; without the focus the wheel
// does what it does by itself. A sideways turn, purely or mostly, scrolls sideways and leaves the row.
TEST_F(GridBehaviourTest, WheelMovesTheFocusedGridOneRow)
{
    auto turn = [](int delta, int sideways = 0) {
        const QPointF at(5, 5);
        QWheelEvent e(at, Grid()->viewport()->mapToGlobal(at), QPoint(), QPoint(sideways, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(Grid()->viewport(), &e);
        Pump();
    };
    ASSERT_TRUE(QTest::qWaitFor([] { return Grid()->hasFocus(); }, WaitMs));
    Data().SetRecNo(3);
    turn(-360);
    EXPECT_EQ(Data().RecNo(), 4);
    turn(120);
    EXPECT_EQ(Data().RecNo(), 3);
    turn(-120, 40);
    EXPECT_EQ(Data().RecNo(), 4);

    const int width = Grid()->columnWidth(2);
    Grid()->setColumnWidth(2, Grid()->viewport()->width() * 3); // room to scroll sideways
    QScrollBar* sideways = Grid()->horizontalScrollBar();
    for (const auto& [delta, across] : {std::pair(0, -120), std::pair(-40, -120), std::pair(0, 120)}) {
        const int before = sideways->value();
        turn(delta, across);
        EXPECT_EQ(sideways->value() > before, across < 0) << delta << ' ' << across;
        EXPECT_EQ(sideways->value() < before, across > 0) << delta << ' ' << across;
        EXPECT_EQ(Data().RecNo(), 4) << delta << ' ' << across;
    }
    Grid()->setColumnWidth(2, width);

    MainForm->TreeDev->setFocus();
    turn(-120);
    EXPECT_EQ(Data().RecNo(), 4);
}

// The device grid's export item: cancelling the dialog ends the command; a name without extension
// gets the format's. A file that cannot be created or put in place: the error box names the file and
// the reason. An empty grid is refused after the file was chosen. Only the written file is left.
TEST_F(GridBehaviourTest, ExportWritesTheDeviceGridOrSaysWhyNot)
{
    ScriptedAnswerer boxes;
    QTemporaryDir dir;
    const auto files = [&] { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot); };
    QString name;
    int asked = 0;
    MessageBoxes::SetFileAnswerer([&](const FileDialogRequest&) {
        ++asked;
        return name;
    });
    MainForm->ExportGrid(Grid());
    name = dir.filePath("设备列表");
    MainForm->N20->trigger();
    EXPECT_EQ(boxes.Count(), 0);
    EXPECT_EQ(MainForm->ExportThread, nullptr);
    EXPECT_EQ(files(), QStringList{QStringLiteral("设备列表.xlsx")});

    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.xlsx"));
    for (const QString& path : {dir.filePath("missing/a.xlsx"), dir.filePath("taken.xlsx")}) {
        name = path;
        MainForm->N20->trigger();
        const MessageRequest box = boxes.Last();
        EXPECT_EQ(box.caption, "错误");
        EXPECT_EQ(box.icon, MsgIcon::Error);
        const QStringList lines = box.text.split('\n');
        ASSERT_EQ(lines.size(), 2) << box.text.toStdString();
        EXPECT_EQ(lines[0], QStringLiteral("导出Excel文件失败: ") + path);
        EXPECT_FALSE(lines[1].trimmed().isEmpty());
    }

    name = dir.filePath("空");
    FormDbMod->QuerySqlOn(QStringLiteral("select * from zol_baseinfo where 1 = 0"), Data());
    MainForm->N20->trigger();
    MessageBoxes::SetFileAnswerer({});
    EXPECT_EQ(asked, 5);
    EXPECT_EQ(boxes.Count(), 3);
    EXPECT_EQ(Describe(boxes.Last()), Describe({"警告", "没有要导出的数据!", MsgIcon::Warning, MsgButtons::Ok}));
    EXPECT_EQ(files(), QStringList{QStringLiteral("设备列表.xlsx")});
}

// The workbook is an xlsx file: a name typed with .xls, in any case, is saved as .xlsx; every
// other name is kept. An .xlsx already under that name is replaced only when the operator agrees
// to the one question, which names it; "取消" goes back to the dialog with that name.
TEST_F(GridBehaviourTest, ExportUnderAnXlsNameWritesAnXlsxName)
{
    ScriptedAnswerer boxes;
    QTemporaryDir dir;
    QString name;
    MessageBoxes::SetFileAnswerer([&](const FileDialogRequest&) { return name; });
    for (const char* typed : {"旧格式.xls", "大写.XLS", "表.xls.bak", "点.xlsx"}) {
        name = dir.filePath(QString::fromUtf8(typed));
        MainForm->N20->trigger();
    }
    QStringList files = QDir(dir.path()).entryList(QDir::Files);
    files.sort();
    QStringList expected = {"旧格式.xlsx", "大写.xlsx", "表.xls.bak", "点.xlsx"};
    expected.sort();
    EXPECT_EQ(files, expected);
    EXPECT_EQ(ReadXlsx(dir.filePath("大写.xlsx")).text.value("B11"), "终端10");
    EXPECT_EQ(boxes.Count(), 0);

    const QString older = dir.filePath("旧格式.xlsx");
    const auto content = [&] {
        QFile f(older);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    {
        QFile f(older);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write("kept") == 4);
    }
    QStringList proposed;
    MessageBoxes::SetFileAnswerer([&](const FileDialogRequest& request) {
        proposed << request.fileName;
        return std::exchange(name, QString()); // the dialog shown again is cancelled
    });
    name = dir.filePath("旧格式.xls");
    boxes.Answer(MsgResult::Cancel);
    MainForm->N20->trigger();
    EXPECT_EQ(Describe(boxes.Last()),
              Describe({"另存为", "旧格式.xlsx 已存在。\n您想要替换它吗？", MsgIcon::Warning, MsgButtons::OkCancel}));
    EXPECT_EQ(proposed, QStringList({"", older}));
    EXPECT_EQ(content(), "kept");
    name = dir.filePath("旧格式.xls");
    MainForm->N20->trigger(); // answered Ok
    MessageBoxes::SetFileAnswerer({});
    EXPECT_EQ(boxes.Count(), 2);
    EXPECT_TRUE(content().startsWith("PK")) << "replaced by the workbook";
}

class MainFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ShowConsole(); }
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
    // A press on the inactive tab's glyph activates it; the release hides it.
    QTest::mousePress(Bar(), Qt::LeftButton, {}, glyph.center());
    EXPECT_EQ(F().GetActivePageIndex(), 3);
    QTest::mouseRelease(Bar(), Qt::LeftButton, {}, glyph.center());
    EXPECT_FALSE(F().PageControlMain->isTabVisible(3));
    EXPECT_TRUE(F().TabCloseRects[3].isNull());

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
