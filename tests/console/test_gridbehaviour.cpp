// What the main window adds to its grids: striped painting and row numbers, Shift ranges, select
// all, the wheel, and the device grid's export.
#include "console/DevTestSupport.h"
#include "platform/DataSetModel.h"
#include "support/ScriptedAnswerer.h"

#include <QTest>

using namespace DevTestSupport;

namespace {

constexpr int ShowWaitMs = 10000;
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
        ConsoleDb::SetUp();
        MainForm->IniWriteBool(QStringLiteral("AutoDetected"), false);
        for (int i = 10; i >= 1; --i) // the grid's order by name is not the order of the ids
            AddTerminal(QStringLiteral("终端%1").arg(i, 2, 10, QLatin1Char('0')), "up");
        designSql_ = Data().CommandText;
        MainForm->show();
        QApplication::setActiveWindow(MainForm);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(MainForm, ShowWaitMs));
        Pump();
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
// first row of every result.
TEST_F(GridBehaviourTest, RowsArePaintedByNumberAndSelection)
{
    DataSet data = Numbered(12);
    DataSetModel model(&data, {{"id", "", 0, false}, {"", "序号", 40, true}, {"name", "名称", 80, true}});
    QTableView view;
    model.ApplyColumns(&view);
    MainForm->AttachGridBehaviour(&view);
    view.resize(300, 400);
    view.verticalHeader()->setDefaultSectionSize(24);
    view.selectionModel()->select(model.index(1, 2), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view.selectionModel()->select(model.index(8, 2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view, ShowWaitMs));
    auto pixel = [&](int recNo, int column) {
        const QImage image = view.viewport()->grab().toImage();
        const QRect cell = view.visualRect(model.index(recNo - 1, column));
        return image.pixel(cell.topLeft() + QPoint(2, 2)) & RgbMask;
    };
    const QRgb base = view.palette().color(QPalette::Base).rgb() & RgbMask;
    const QRgb button = view.palette().color(QPalette::Button).rgb() & RgbMask;
    for (int recNo = 1; recNo <= 12; ++recNo) {
        QRgb expected = base;
        if (recNo == 2 || recNo == 9)
            expected = Selected;
        else if (recNo % 6 == 0)
            expected = SixthRow;
        else if (recNo % 3 == 0)
            expected = ThirdRow;
        EXPECT_EQ(pixel(recNo, 2), expected) << recNo;
        EXPECT_EQ(pixel(recNo, 1), button) << recNo;
    }

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
// record grids' items run the same command on their page's grid.)
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
}

// One wheel turn moves the focused grid one row, whatever its size; without the focus the wheel
// does what it does by itself.
TEST_F(GridBehaviourTest, WheelMovesTheFocusedGridOneRow)
{
    auto turn = [](int delta) {
        const QPointF at(5, 5);
        QWheelEvent e(at, Grid()->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(Grid()->viewport(), &e);
        Pump();
    };
    ASSERT_TRUE(QTest::qWaitFor([] { return Grid()->hasFocus(); }, ShowWaitMs));
    Data().SetRecNo(3);
    turn(-360);
    EXPECT_EQ(Data().RecNo(), 4);
    turn(120);
    EXPECT_EQ(Data().RecNo(), 3);
    MainForm->TreeDev->setFocus();
    turn(-120);
    EXPECT_EQ(Data().RecNo(), 3);
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

} // namespace
