// Texts as long as their columns allow, Latin and Chinese, where the console shows them: no window
// grows with them; what does not fit is cut with "…" and stands whole in the label's tip.
#include "console/RecordTestSupport.h"
#include "platform/ElidedLabel.h"
#include "windows/TaskEdit.h"

#include <QScreen>

using namespace RecordTestSupport;
using namespace DevTestSupport;

namespace {

// A terminal whose every text column is full of letter; its id.
int LongestTerminal(QChar letter)
{
    QStringList values;
    for (const char* column : {"name", "ip", "mac", "position", "relayIp", "memo"})
        values << "'" + QString(ColumnLength("zol_baseinfo", column), letter) + "'";
    return Insert("insert into zol_baseinfo (name, ip, mac, position, relayIp, memo, port) values (" + values.join(',') +
                  ", 2147483647)");
}

class LongTextsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ShowConsole(); }
    void SetUp() override { Reset(); }

    ScriptedAnswerer answers_;
};

} // namespace

// The label asks for the width of its text where there is room and for next to none where there is
// not; narrower than its text, it shows the text's start and "…", the whole text in its tip.
TEST(ElidedLabelTest, CutToItsRoomWholeInItsTip)
{
    ElidedLabel label;
    const QString text = "地理位置" + QString(200, u'楼');
    label.setText(text);
    EXPECT_EQ(label.toolTip(), text);
    EXPECT_GE(label.sizeHint().width(), label.fontMetrics().horizontalAdvance(text));
    EXPECT_LT(label.minimumSizeHint().width(), label.fontMetrics().horizontalAdvance("地理"));
    label.resize(label.fontMetrics().horizontalAdvance("地理位置") * 2, label.sizeHint().height());
    QImage cut(label.size(), QImage::Format_ARGB32);
    label.render(&cut);
    ElidedLabel expected;
    expected.setText(label.fontMetrics().elidedText(text, Qt::ElideRight, label.contentsRect().width()));
    expected.resize(label.size());
    QImage drawn(label.size(), QImage::Format_ARGB32);
    expected.render(&drawn);
    EXPECT_EQ(cut, drawn);
    label.clear();
    EXPECT_EQ(label.toolTip(), "");
}

// A terminal with every text at its column's length: on every page the main window's smallest
// width stays what it is without it, within the screen, and the detail box holds every text whole
// in its tips.
TEST_F(LongTextsTest, TheMainWindowNeverGrowsWithTheTexts)
{
    const int screen = MainForm->screen()->availableGeometry().width();
    // The smallest width of each page, the record pages listing the terminals in their choices too.
    auto smallest = [] {
        QList<int> widths;
        for (int page = TMainForm::PageIdxDev; page <= TMainForm::PageIdxInfo; ++page) {
            MainForm->ShowPage(page);
            Pump();
            widths << MainForm->minimumSizeHint().width();
        }
        MainForm->ShowPageDev();
        return widths;
    };
    smallest(); // the record pages, once made, count in every page's smallest width
    // The same steps with a short terminal first.
    QList<int> plain;
    for (QChar letter : {QChar(), QChar(u'W'), QChar(u'汉')}) {
        Reset();
        const int id = letter.isNull() ? AddTerminal("甲", "down", "127.0.0.2") : LongestTerminal(letter);
        MainForm->RefreshActivePage();
        MainForm->ShowDevDetail(id);
        const QList<int> widths = smallest();
        if (letter.isNull()) {
            plain = widths;
            for (int width : plain)
                EXPECT_LE(width, screen);
            continue;
        }
        const QString position(ColumnLength("zol_baseinfo", "position"), letter);
        EXPECT_EQ(MainForm->LblDevPos->text(), position);
        EXPECT_EQ(MainForm->LblDevPos->toolTip(), position);
        EXPECT_EQ(MainForm->LblDevName->toolTip(), QString(ColumnLength("zol_baseinfo", "name"), letter));
        EXPECT_EQ(widths, plain) << QString(letter).toStdString();
        EXPECT_LE(MainForm->width(), screen);
    }
}

// The task dialog's terminal details: as wide with the longest terminal as with a short one.
TEST_F(LongTextsTest, TheTaskDialogNeverGrowsWithTheTexts)
{
    AddTaskTypes();
    AddTerminal("甲", "down", "127.0.0.2");
    LongestTerminal(u'汉');
    TFormTaskEdit dialog(MainForm);
    const QString longest(ColumnLength("zol_baseinfo", "name"), u'汉');
    QSet<int> widths;
    for (const QString& terminal : {QStringLiteral("甲"), longest}) {
        const int entry = dialog.DbCbxDevTask->findText(terminal);
        ASSERT_GE(entry, 0) << terminal.toStdString();
        dialog.DbCbxDevTask->setCurrentIndex(entry);
        emit dialog.DbCbxDevTask->activated(entry);
        widths << dialog.sizeHint().width();
    }
    EXPECT_EQ(widths.size(), 1);
    EXPECT_LE(*widths.begin(), dialog.screen()->availableGeometry().width());
    EXPECT_EQ(dialog.LblDevPos->toolTip(), QString(ColumnLength("zol_baseinfo", "position"), u'汉'));
}
