// The console view's popup menu (type size, save) and the pictures of the menus.
#include "console/MainForm.h"
#include "platform/Exception.h"
#include "support/ConsoleDb.h"
#include "support/ScriptedAnswerer.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QtWidgets>

inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

QTextEdit* Memo() { return MainForm->MemoInfo; }
int Points() { return Memo()->font().pointSize(); }

class ConsoleMenuTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ConsoleDb::SetUp(); }
};

// One point per click either way, the text following the view's font; the smallest type drawable
// is one point.
TEST_F(ConsoleMenuTest, FontSizeChangesByOnePointPerClick)
{
    const int start = Points();
    MainForm->N49->trigger();
    EXPECT_EQ(Points(), start + 1);
    EXPECT_EQ(Memo()->document()->defaultFont().pointSize(), start + 1);
    for (int i = 0; i < start + 5; ++i)
        MainForm->N59->trigger();
    EXPECT_EQ(Points(), 1);
    MainForm->N49->trigger();
    EXPECT_EQ(Points(), 2);
}

// The text is saved line by line; a name without extension gets "txt"; the view counts as saved.
// Cancel writes nothing; a file that cannot be written is an error of the command.
TEST_F(ConsoleMenuTest, SaveWritesEveryLine)
{
    Memo()->setPlainText(QStringLiteral("  信息 2013-05-07 08:03:09 : 第一行\n  错误 2013-05-07 08:03:10 : 第二行"));
    Memo()->document()->setModified(true);
    QTemporaryDir dir;
    QString answer;
    MessageBoxes::SetFileAnswerer([&](const FileDialogRequest&) { return answer; });
    MainForm->N100->trigger(); // cancelled
    EXPECT_TRUE(Memo()->document()->isModified());

    answer = dir.filePath("控制台");
    MainForm->N100->trigger();
    QFile saved(dir.filePath("控制台.txt"));
    EXPECT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(saved.readAll()), Memo()->toPlainText() + '\n');
    EXPECT_FALSE(Memo()->document()->isModified());

    answer = dir.filePath("控制台.txt/x.log");
    EXPECT_THROW(MainForm->N100Click(), Exception);
    MessageBoxes::SetFileAnswerer({});
}

// The view's popup opens on a right click; every item of the menus and popups has its picture,
// but the menu bar's own entries keep their captions.
TEST_F(ConsoleMenuTest, PopupOpensAndEveryItemHasAPicture)
{
    emit Memo()->customContextMenuRequested(QPoint(5, 5));
    EXPECT_TRUE(QTest::qWaitFor([] { return MainForm->PmemoInfo->isVisible(); }, 10000));
    MainForm->PmemoInfo->hide();

    QList<QMenu*> menus{MainForm->PmemoInfo, MainForm->PmenuDevGrd, MainForm->PmenuTree};
    for (QAction* top : MainForm->MenuMain->actions())
        if (top->menu())
            menus << top->menu();
    for (QMenu* menu : menus)
        for (QAction* item : menu->actions()) {
            if (item->isSeparator())
                continue;
            EXPECT_FALSE(item->icon().isNull()) << item->objectName().toStdString();
        }
    EXPECT_TRUE(MainForm->A1->icon().isNull()); // a picture would hide its caption in the menu bar
}

} // namespace
