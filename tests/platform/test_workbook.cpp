// The workbook writer: layout and text read back from the file, and no file unless it is saved whole.
#include "platform/Exception.h"
#include "platform/Workbook.h"
#include "support/XlsxReader.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <optional>

inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

QStringList Entries(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

// Widths, heights, the header fill, the font, and texts that stay texts exactly as given.
TEST(Workbook, CellsKeepTheirTextWithTheFontAndTheHeaderFill)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sheet.xlsx");
    {
        Workbook book(path, QStringLiteral("宋体"), 9);
        book.SetColumnWidth(0, 14);
        book.SetColumnWidth(1, 3);
        book.SetRowHeight(0, 20);
        book.WriteText(0, 0, QStringLiteral("设备名称"), Workbook::CellStyle::Header);
        book.WriteText(0, 1, QStringLiteral("备注  "), Workbook::CellStyle::Header);
        book.SetRowHeight(1, 16);
        book.WriteText(1, 0, QStringLiteral("007"), Workbook::CellStyle::Plain);
        book.WriteText(1, 1, QStringLiteral("2013-01-02"), Workbook::CellStyle::Plain);
        book.SetRowHeight(2, 16);
        book.WriteText(2, 0, QStringLiteral("'甲'\t<&>"), Workbook::CellStyle::Plain);
        book.Save();
    }
    const XlsxSheet sheet = ReadXlsx(path);
    EXPECT_EQ(sheet.text.value("A1"), QStringLiteral("设备名称"));
    EXPECT_EQ(sheet.text.value("B1"), QStringLiteral("备注  "));
    EXPECT_EQ(sheet.text.value("A2"), QStringLiteral("007"));
    EXPECT_EQ(sheet.text.value("B2"), QStringLiteral("2013-01-02"));
    EXPECT_EQ(sheet.text.value("A3"), QStringLiteral("'甲'\t<&>"));
    for (const QString& cell : sheet.type.keys())
        EXPECT_EQ(sheet.type.value(cell), "inlineStr") << cell.toStdString(); // text, never a number
    // The spreadsheet shows a width as the whole characters of the stored width.
    EXPECT_EQ(std::floor(sheet.colWidth.value(1)), 14);
    EXPECT_EQ(std::floor(sheet.colWidth.value(2)), 3);
    EXPECT_EQ(sheet.rowHeight.value(1), 20);
    EXPECT_EQ(sheet.rowHeight.value(2), 16);
    EXPECT_EQ(sheet.StyleOf("A1").fill, "C0C0C0");
    EXPECT_EQ(sheet.StyleOf("A2").fill, "");
    for (const QString cell : {"A1", "B1", "A2", "B2"}) {
        EXPECT_EQ(sheet.StyleOf(cell).fontName, QStringLiteral("宋体")) << cell.toStdString();
        EXPECT_EQ(sheet.StyleOf(cell).fontSize, 9) << cell.toStdString();
    }
    EXPECT_EQ(Entries(dir), QStringList{"sheet.xlsx"}); // nothing else left in the folder
}

// A text with characters a workbook cannot hold keeps the rest; an overlong text is cut to the
// limit without splitting a character.
TEST(Workbook, UnstorableCharactersAreDroppedFromTheTextOnly)
{
    EXPECT_EQ(Workbook::CellText(QStringLiteral("a\x01" "b\tc\r\nd\x1f\uFFFEe")), QStringLiteral("ab\tc\r\nde"));
    EXPECT_EQ(Workbook::CellText(QStringLiteral("普通的文字")), QStringLiteral("普通的文字"));
    QString longText(Workbook::MaxCellChars - 1, QLatin1Char('x'));
    longText += QStringLiteral("😀😀");
    const QString cut = Workbook::CellText(longText);
    EXPECT_EQ(cut.size(), Workbook::MaxCellChars - 1);

    QTemporaryDir dir;
    const QString path = dir.filePath("x.xlsx");
    Workbook book(path, QString(), 0);
    book.WriteText(0, 0, QStringLiteral("终端\x14" "01"), Workbook::CellStyle::Plain);
    book.WriteText(0, 1, longText, Workbook::CellStyle::Plain);
    book.Save();
    const XlsxSheet sheet = ReadXlsx(path);
    EXPECT_EQ(sheet.text.value("A1"), QStringLiteral("终端01"));
    EXPECT_EQ(sheet.text.value("B1"), cut);
}

// The file appears only when the workbook is saved whole: an unsaved workbook, a folder that
// refuses the file and a save that cannot put the file in place leave nothing behind.
TEST(Workbook, NoFileUnlessSavedWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("report.xlsx");
    {
        Workbook book(path, QString(), 0);
        book.WriteText(0, 0, QStringLiteral("x"), Workbook::CellStyle::Plain);
        EXPECT_FALSE(QFile::exists(path));
    }
    EXPECT_TRUE(Entries(dir).isEmpty());

    QFile old(path); // an older file is replaced whole
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    {
        Workbook book(path, QString(), 0);
        book.WriteText(0, 0, QStringLiteral("new"), Workbook::CellStyle::Plain);
        book.Save();
    }
    EXPECT_EQ(ReadXlsx(path).text.value("A1"), "new");

    // A folder that is a file, and a target that is a folder.
    try {
        Workbook book(dir.filePath("report.xlsx/inner.xlsx"), QString(), 0);
        ADD_FAILURE() << "created in a file";
    } catch (const Exception& e) {
        EXPECT_FALSE(e.Message.isEmpty());
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.xlsx"));
    std::optional<Workbook> book;
    book.emplace(dir.filePath("folder.xlsx"), QString(), 0);
    book->WriteText(0, 0, QStringLiteral("x"), Workbook::CellStyle::Plain);
    EXPECT_THROW(book->Save(), Exception);
    book.reset();
    EXPECT_EQ(Entries(dir), QStringList{"report.xlsx"});
}
