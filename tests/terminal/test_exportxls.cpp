// The export worker: the sheet of a grid read back from the file, refusals and stops. Write failures
// are checked through the device grid's export item.
#include "platform/DataSetModel.h"
#include "support/ScriptedAnswerer.h"
#include "support/XlsxReader.h"
#include "terminal/ThreadExportXls.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTableView>
#include <QTemporaryDir>
#include <cmath>

inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

// A grid as the record pages build it: hidden key, drawn row numbers, then the shown fields,
// with a hidden column, a blank-titled one and a title with trailing blanks among them.
struct Grid {
    DataSet data;
    DataSetModel model;
    QTableView view;

    Grid()
    {
        data.Open({"id", "name", "ip", "zol_id", "memo", "note"},
                  {{QString("7"), QString("一号机"), QString("10.0.0.1"), QString("3"), QString("007"), QString("x")},
                   {QString("8"), QString("二号机"), std::nullopt, QString("4"), QString("2013-01-02"), QString("y")}});
        model.SetDataSet(&data);
        model.SetColumns({{"id", "编号", 0, false},
                          {"", "序号", 40, true},
                          {"name", "设备名称", 100, true},
                          {"ip", "IP地址", 142, true},
                          {"zol_id", "设备编号", 60, false},
                          {"note", "  ", 70, true},
                          {"memo", "备注  ", 72, true}});
        model.ApplyColumns(&view);
        QFont font(QStringLiteral("宋体"));
        font.setPointSize(11);
        view.setFont(font);
    }
};

// Runs the worker on its thread and waits for it.
void RunToEnd(ThreadExportXls& worker)
{
    worker.Resume();
    worker.WaitFor();
}

QStringList Files(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Asks for a stop while the first data row is being reported.
class StopAtFirstRow : public ThreadExportXls {
public:
    using ThreadExportXls::ThreadExportXls;
    int rowsDone = 0;

protected:
    void RowDone(int r) override
    {
        ThreadExportXls::RowDone(r);
        ++rowsDone;
        Stop();
    }
};

} // namespace

// Row 1 holds the shown titles on the grey fill; the data rows hold the field texts as texts under
// their titles, nothing in the row-number column; hidden and blank-titled columns are left out. The
// whole sheet is in the grid's font. The rows are the grid's when the export was made.
TEST(ThreadExportXls, SheetHoldsTheShownColumnsAndEveryRow)
{
    Grid grid;
    grid.data.SetRecNo(2);
    QTemporaryDir dir;
    const QString path = dir.filePath("设备列表.xlsx");
    ScriptedAnswerer answers;
    ThreadExportXls worker(QStringLiteral("导出Excel线程"), &grid.view, path);
    grid.data.SetCell(0, 1, QString("改名"));
    RunToEnd(worker);
    EXPECT_EQ(answers.Count(), 0);
    EXPECT_EQ(worker.GetPosition(), 2);

    const XlsxSheet sheet = ReadXlsx(path);
    const QMap<QString, QString> expected{
        {"A1", "序号"},   {"B1", "设备名称"}, {"C1", "IP地址"},     {"D1", "备注  "},
        {"B2", "一号机"}, {"C2", "10.0.0.1"}, {"D2", "007"},
        {"B3", "二号机"}, {"D3", "2013-01-02"}};
    EXPECT_EQ(sheet.text, expected);
    EXPECT_TRUE(sheet.type.contains("C3")); // an empty value: a blank cell in the grid's font
    EXPECT_EQ(sheet.CellsOfColumn('A'), QStringList{"A1"}); // no cells below the row-number title
    for (const QString& cell : sheet.type.keys()) {
        EXPECT_EQ(sheet.type.value(cell), cell == "C3" ? "" : "inlineStr") << cell.toStdString();
        EXPECT_EQ(sheet.StyleOf(cell).fontName, QStringLiteral("宋体"));
        EXPECT_EQ(sheet.StyleOf(cell).fontSize, 11);
        EXPECT_EQ(sheet.StyleOf(cell).fill, cell.endsWith('1') ? "C0C0C0" : "") << cell.toStdString();
    }
    // Every other cell of the sheet, empty in the row-number column, right of the exported columns
    // or below the rows, is in the grid's font too.
    for (const QString cell : {"A2", "E1", "E3", "C4", "XFD1048576"}) {
        EXPECT_EQ(sheet.ShownStyle(cell).fontName, QStringLiteral("宋体")) << cell.toStdString();
        EXPECT_EQ(sheet.ShownStyle(cell).fontSize, 11) << cell.toStdString();
        EXPECT_EQ(sheet.ShownStyle(cell).fill, "") << cell.toStdString();
    }
    // Pixel widths divided by 7: 40 -> 5, 100 -> 14, 142 -> 20, 72 -> 10; the other columns keep the
    // standard width.
    QList<double> widths;
    for (double w : sheet.colWidth.values().mid(0, 5))
        widths << std::floor(w);
    EXPECT_EQ(widths, (QList<double>{5, 14, 20, 10, 9}));
    EXPECT_EQ(sheet.colWidth.lastKey(), 16384);
    EXPECT_EQ(sheet.dimension, "A1:D3"); // the formatted columns are not used cells
    EXPECT_EQ(sheet.rowHeight, (QMap<int, double>{{1, 20}, {2, 16}, {3, 16}}));
    EXPECT_EQ(grid.data.RecNo(), 2); // the grid's own set is not walked
}

// No data set, or an empty key in the current record: the warning alone. A stop in the data pass,
// or before the sheet is begun: nothing shown. Neither leaves a file.
TEST(ThreadExportXls, RefusedOrStoppedExportLeavesNoFile)
{
    QTemporaryDir dir;
    ScriptedAnswerer answers;
    QTableView bare;
    ThreadExportXls noData(QStringLiteral("导出Excel线程"), &bare, dir.filePath("a.xlsx"));
    RunToEnd(noData);
    Grid keyless;
    keyless.data.SetCell(0, 0, QString());
    ThreadExportXls emptyKey(QStringLiteral("导出Excel线程"), &keyless.view, dir.filePath("b.xlsx"));
    RunToEnd(emptyKey);
    ASSERT_EQ(answers.Count(), 2);
    for (const MessageRequest& box : answers.Requests())
        EXPECT_EQ(Describe(box), Describe({"警告", "没有要导出的记录!", MsgIcon::Warning, MsgButtons::Ok}));

    Grid grid;
    StopAtFirstRow inData(QStringLiteral("导出Excel线程"), &grid.view, dir.filePath("c.xlsx"));
    RunToEnd(inData);
    EXPECT_EQ(inData.rowsDone, 1);
    ThreadExportXls early(QStringLiteral("导出Excel线程"), &grid.view, dir.filePath("d.xlsx"));
    early.Stop();
    RunToEnd(early);
    EXPECT_EQ(answers.Count(), 2);
    EXPECT_TRUE(Files(dir).isEmpty());
}
