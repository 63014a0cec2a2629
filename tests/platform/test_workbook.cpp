// The workbook writer: texts read back from the file as given, less what a workbook cannot hold.
// The layout, the styles and the failures that leave no file are checked through the export worker.
#include "platform/Workbook.h"
#include "support/XlsxReader.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

// Characters a workbook cannot hold are dropped and the rest kept; an overlong text is cut to the
// limit without splitting a character; quotes, tabs and markup characters stay as they are; an
// older file is replaced whole.
TEST(Workbook, TextsAreStoredAsGivenLessWhatAWorkbookCannotHold)
{
    EXPECT_EQ(Workbook::CellText(QStringLiteral("a\x01" "b\tc\r\nd\x1f\uFFFEe")), QStringLiteral("ab\tc\r\nde"));
    QString longText(Workbook::MaxCellChars - 1, QLatin1Char('x'));
    longText += QStringLiteral("😀😀");
    const QString cut = Workbook::CellText(longText);
    EXPECT_EQ(cut.size(), Workbook::MaxCellChars - 1);

    QTemporaryDir dir;
    const QString path = dir.filePath("x.xlsx");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    Workbook book(path, QString(), 0);
    book.WriteText(0, 0, QStringLiteral("终端\x14" "01"), Workbook::CellStyle::Plain);
    book.WriteText(0, 1, longText, Workbook::CellStyle::Plain);
    book.WriteText(1, 0, QStringLiteral("'甲'\t<&>"), Workbook::CellStyle::Plain);
    book.Save();
    const XlsxSheet sheet = ReadXlsx(path);
    EXPECT_EQ(sheet.text.value("A1"), QStringLiteral("终端01"));
    EXPECT_EQ(sheet.text.value("B1"), cut);
    EXPECT_EQ(sheet.text.value("A2"), QStringLiteral("'甲'\t<&>"));
}
