// The export commands of the main window: the save dialog, the refusal of an empty grid, and the
// workbook of the device grid written under the wait window (a record grid's is the operator's day).
#include "console/DevTestSupport.h"
#include "support/ScriptedAnswerer.h"
#include "support/XlsxReader.h"

#include <QTemporaryDir>

using namespace DevTestSupport;

namespace {

// Answers the save dialog with a chosen name (empty: cancelled) and keeps what was asked.
struct SaveAnswer {
    QString name;
    std::vector<FileDialogRequest> asked;
    SaveAnswer()
    {
        MessageBoxes::SetFileAnswerer([this](const FileDialogRequest& r) {
            asked.push_back(r);
            return name;
        });
    }
    ~SaveAnswer() { MessageBoxes::SetFileAnswerer({}); }
};

QStringList Files(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

class ExportGridTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ConsoleDb::SetUp();
        AddTerminal(QStringLiteral("乙"), "up", "10.0.0.2");
        AddTerminal(QStringLiteral("甲"), "down", "10.0.0.1");
        designSql_ = MainForm->QueryGrdDev.CommandText;
    }
    void SetUp() override
    {
        MainForm->ShowPageDev();
        MainForm->QueryGrdDev.CommandText = designSql_;
        FormDbMod->ReopenQuery(MainForm->QueryGrdDev);
    }
    static inline QString designSql_;
    ScriptedAnswerer boxes_;
    SaveAnswer save_;
    QTemporaryDir dir_;
};

// Cancelling the dialog ends the command; an empty grid is refused after the file was chosen.
TEST_F(ExportGridTest, CancelOrAnEmptyGridWritesNothing)
{
    MainForm->ExportGrid(MainForm->GrdDev);
    EXPECT_EQ(boxes_.Count(), 0);

    save_.name = dir_.filePath("空");
    FormDbMod->QuerySqlOn(QStringLiteral("select * from zol_baseinfo where 1 = 0"), MainForm->QueryGrdDev);
    MainForm->N20->trigger();
    EXPECT_EQ(save_.asked.size(), 2u);
    EXPECT_EQ(Describe(boxes_.Last()), Describe({"警告", "没有要导出的数据!", MsgIcon::Warning, MsgButtons::Ok}));
    EXPECT_TRUE(Files(dir_).isEmpty());
}

// "导出设备列表(&E)": a name without extension gets the format's, and the workbook holds every
// terminal of the device grid in its order, the row-number column empty below its title.
TEST_F(ExportGridTest, DeviceListFromItsPopupItem)
{
    save_.name = dir_.filePath("设备列表");
    MainForm->N20->trigger();
    EXPECT_EQ(boxes_.Count(), 0);
    EXPECT_EQ(MainForm->ExportThread, nullptr);
    ASSERT_EQ(Files(dir_), QStringList{QStringLiteral("设备列表.xlsx")});
    const XlsxSheet sheet = ReadXlsx(dir_.filePath("设备列表.xlsx"));
    EXPECT_EQ(QStringList({sheet.text.value("B2"), sheet.text.value("C2"), sheet.text.value("B3")}),
              QStringList({"乙", "10.0.0.2", "甲"})); // sorted by name
    EXPECT_EQ(sheet.CellsOfColumn('A'), QStringList{"A1"});
}

} // namespace
