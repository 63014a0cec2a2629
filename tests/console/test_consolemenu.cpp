// The console view's popup menu (type size, select, copy, save, clear) and the pictures of the menus.
#include "console/MainForm.h"
#include "platform/Exception.h"
#include "support/ConsoleDb.h"
#include "support/ScriptedAnswerer.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QtWidgets>

inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

class ConsoleMenuTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ConsoleDb::SetUp(); }
    void SetUp() override
    {
        Memo()->setPlainText(QStringLiteral("  信息 2013-05-07 08:03:09 : 第一行\n  错误 2013-05-07 08:03:10 : 第二行"));
        MessageBoxes::SetFileAnswerer([this](const FileDialogRequest& r) {
            asked_.push_back(r);
            return answer_;
        });
    }
    void TearDown() override { MessageBoxes::SetFileAnswerer({}); }
    static QTextEdit* Memo() { return MainForm->MemoInfo; }
    static int Points() { return Memo()->font().pointSize(); }

    QString answer_;
    std::vector<FileDialogRequest> asked_;
};

// One point per click either way, the text following the view's font; the smallest type drawable
// is one point.
TEST_F(ConsoleMenuTest, FontSizeChangesByOnePointPerClick)
{
    const int start = Points();
    MainForm->N49->trigger();
    EXPECT_EQ(Points(), start + 1);
    EXPECT_EQ(Memo()->document()->defaultFont().pointSize(), start + 1);
    for (int i = 0; i < 3; ++i)
        MainForm->N59->trigger();
    EXPECT_EQ(Points(), start - 2);
    for (int i = 0; i < start + 5; ++i)
        MainForm->N59Click();
    EXPECT_EQ(Points(), 1);
    MainForm->N49Click();
    EXPECT_EQ(Points(), 2);
}

// Select all and copy put the whole text on the clipboard; clear empties the view.
TEST_F(ConsoleMenuTest, SelectCopyAndClear)
{
    MainForm->MenuItem14->trigger();
    MainForm->MenuItem13->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), Memo()->toPlainText());
    MainForm->N46->trigger();
    EXPECT_TRUE(Memo()->toPlainText().isEmpty());
}

// The text is saved line by line; a name without extension gets "txt"; the view counts as saved.
// Cancel writes nothing; a file that cannot be written is an error of the command.
TEST_F(ConsoleMenuTest, SaveWritesEveryLine)
{
    QTemporaryDir dir;
    Memo()->document()->setModified(true);
    MainForm->N100->trigger(); // cancelled
    EXPECT_TRUE(Memo()->document()->isModified());

    answer_ = dir.filePath("控制台");
    MainForm->N100->trigger();
    QFile saved(dir.filePath("控制台.txt"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(saved.readAll()), Memo()->toPlainText() + '\n');
    EXPECT_FALSE(Memo()->document()->isModified());
    ASSERT_EQ(asked_.size(), 2u);
    EXPECT_EQ(asked_[1].defaultSuffix, "txt");
    EXPECT_TRUE(asked_[1].filter.isEmpty());

    answer_ = dir.filePath("控制台.txt/x.log");
    EXPECT_THROW(MainForm->N100Click(), Exception);
}

// The view's popup opens on a right click; every item of the menus and popups has its picture.
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
