// The log viewer: the fetched text, its smallest type size, saving through the real dialog, and
// failed fetches.
#include "platform/GbkCodec.h"
#include "platform/LongLines.h"
#include "support/AgentTestSupport.h"
#include "support/Thrown.h"
#include "terminal/LogExcerpt.h"
#include "windows/FrmGetLogFile.h"
#include "windows/FrmWait.h"

#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <QTreeView>

using namespace AgentTestSupport;

namespace {

class ViewerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SetUpConsole(); }
    void SetUp() override
    {
        UseAgent(agent);
        agent.SetLogFolder(logs.path());
    }
    // Shows the viewer as the remote log window does and runs action once its own modal run has
    // begun (the fetch under the wait window comes first).
    void View(TFormGetLogFile& viewer, const std::function<void()>& action)
    {
        FormGetLogFile = &viewer;
        WhenReady([&] { return QApplication::activeModalWidget() == &viewer; }, [&] {
            action();
            viewer.close();
        });
        EXPECT_TRUE(RunModal(viewer));
        FormGetLogFile = nullptr;
    }

    FakeAgent agent;
    QTemporaryDir logs;
    QTemporaryDir local;
};

namespace {

// The real save dialog, in the operator's language: its filter, buttons, and the sizes and dates of
// its list. Saving in it under a name without extension.
void SaveInTheRealDialog(const QTemporaryDir& local)
{
    MessageBoxes::SetFileAnswerer({});
    WriteFiles(local, {{"old.txt", QByteArray(20, 'x')}});
    QFile old(local.filePath("old.txt"));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    old.setFileTime(QDateTime(QDate(2013, 5, 7), QTime(8, 3, 9)), QFileDevice::FileModificationTime);
    WhenReady([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()) != nullptr; }, [folder = local.path()] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        EXPECT_EQ(dialog->findChild<QLineEdit*>("fileNameEdit")->text(), "app.log");
        EXPECT_EQ(dialog->findChild<QComboBox*>("fileTypeCombo")->currentText(), "文本文件(*.txt)");
        QPushButton* save = dialog->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Save);
        EXPECT_EQ(save->text(), "保存(&S)");
        dialog->setDirectory(folder);
        const auto* list = dialog->findChild<QTreeView*>("treeView");
        const auto oldCell = [list](int column) { // of old.txt's row, once listed
            const QModelIndexList found = list->model()->match(list->model()->index(0, 0, list->rootIndex()),
                                                               Qt::DisplayRole, "old.txt", 1, Qt::MatchExactly);
            return found.isEmpty() ? QString() : found[0].siblingAtColumn(column).data().toString();
        };
        EXPECT_TRUE(QTest::qWaitFor([&] { return !oldCell(1).isEmpty(); }, Patience));
        EXPECT_EQ(oldCell(1) + '|' + oldCell(3), "20 字节|2013/5/7 08:03");
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText("1");
        save->click();
    });
}

} // namespace

// The text is there, decoded, when the viewer shows: a GBK log as text, a rich-text log formatted
// with its GBK and Unicode escapes as characters. The type size never goes below one point;
// saving writes the plain text in the logs' GBK with CR LF, a rich-text log without its markup.
TEST_F(ViewerTest, ShowsTheLogAndSavesItsText)
{
    const QByteArray rtf = "{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0 SimSun;}}{\\colortbl ;\\red255\\green0\\blue0;}"
                           "\\f0 plain \\b bold\\b0  \\cf1 red\\cf0\\par \\'d6\\'d0\\'ce\\'c4 \\u8364?}";
    WriteFiles(logs, {{"app.log", Gbk::Encode(QStringLiteral("第一行\r\n第二行"))}, {"doc.rtf", rtf}});
    ScriptedAnswerer answers;
    TFormGetLogFile viewer("app.log", agent.Ip(), 20);
    View(viewer, [&] {
        EXPECT_EQ(viewer.RichEdit->toPlainText(), QStringLiteral("第一行\n第二行"));
        for (int i = 0; i < 100; ++i)
            viewer.N59->trigger();
        EXPECT_EQ(viewer.RichEdit->font().pointSize(), 1);
        SaveInTheRealDialog(local);
        viewer.N100->trigger();
    });
    MessageBoxes::SetFileAnswerer([&](const FileDialogRequest&) { return local.filePath("2.txt"); });
    TFormGetLogFile rich("doc.rtf", agent.Ip(), int(rtf.size()));
    View(rich, [&] {
        EXPECT_EQ(rich.RichEdit->toPlainText(), QStringLiteral("plain bold red\n中文 €"));
        QTextCursor at(rich.RichEdit->document());
        at.setPosition(8); // inside "bold"
        EXPECT_EQ(at.charFormat().fontWeight(), QFont::Bold);
        at.setPosition(13); // inside "red"
        EXPECT_EQ(at.charFormat().foreground().color(), QColor(255, 0, 0));
        at.setPosition(3);
        EXPECT_NE(at.charFormat().fontWeight(), QFont::Bold);
        rich.N100->trigger();
    });
    MessageBoxes::SetFileAnswerer({});
    // Saved as the logs are, GBK with CR LF: the plain log byte for byte.
    EXPECT_EQ(ReadFile(local.filePath("1.txt")), Gbk::Encode(QStringLiteral("第一行\r\n第二行")));
    EXPECT_EQ(ReadFile(local.filePath("2.txt")), Gbk::Encode(QStringLiteral("plain bold red\r\n中文 €")));
    EXPECT_EQ(Boxes(answers), QStringList());
}

// A huge log: the console answers and stays small while it arrives; the viewer shows, and saves as
// the log has it, all of its end from the first whole character, with a line saying that only a
// part is shown.
TEST_F(ViewerTest, ShowsTheEndOfABigLog)
{
    constexpr qint64 LogBytes = 200LL * 1024 * 1024;
    constexpr qint64 StallLimitMs = 1000;
    constexpr qint64 GrowthLimitMiB = 128;
    const QByteArray line = Gbk::Encode(QStringLiteral("2026-01-01 08:00:00 终端服务 进程检查完成\r\n"));
    const QByteArray lines = line.repeated(20000);
    const QByteArray last = Gbk::Encode(QStringLiteral("最后一行\r\n"));
    {
        QFile big(logs.filePath("big.log"));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        for (qint64 written = 0; written < LogBytes - last.size(); written += lines.size())
            big.write(lines);
        big.write(last);
    }
    const qint64 size = QFileInfo(logs.filePath("big.log")).size();
    agent.SetEndRawReplies(true);
    ScriptedAnswerer answers;
    MessageBoxes::SetFileAnswerer([&](const FileDialogRequest&) { return local.filePath("part.txt"); });
    TFormGetLogFile viewer("big.log", agent.Ip(), int(size));
    LoopWatch watch;
    QString shown;
    View(viewer, [&] {
        shown = viewer.RichEdit->toPlainText();
        EXPECT_TRUE(viewer.LblPart->isVisible());
        const QString megabytes = QString::number(double(size) / 1024 / 1024, 'f', 1) + QStringLiteral(" MB");
        EXPECT_TRUE(viewer.LblPart->text().contains(megabytes)) << viewer.LblPart->text().toStdString();
        EXPECT_TRUE(viewer.LblPart->text().contains(QStringLiteral("最后"))) << viewer.LblPart->text().toStdString();
        viewer.N100->trigger();
    });
    EXPECT_LT(watch.LongestStallMs(), StallLimitMs);
    EXPECT_LT(watch.GrowthMiB(), GrowthLimitMiB);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("最后一行\n")));
    QFile big(logs.filePath("big.log"));
    ASSERT_TRUE(big.open(QIODevice::ReadOnly));
    ASSERT_TRUE(big.seek(size - LogExcerpt::ShownBytes));
    const QByteArray end = big.readAll();
    const QByteArray saved = ReadFile(local.filePath("part.txt"));
    EXPECT_GE(saved.size(), LogExcerpt::ShownBytes - 1) << "all of the last part but a character cut in two";
    EXPECT_TRUE(end.endsWith(saved)) << "shown and saved in step with the log's characters";
    EXPECT_TRUE(saved.endsWith(last));
    EXPECT_EQ(Boxes(answers), QStringList());
}

// A line of half a million characters is shown in blocks of bounded length (as one block it would hold
// up the console at every repaint). Copied or saved, it is one line again, as the agent sent it.
TEST_F(ViewerTest, LongLinesAreBrokenForDisplayOnly)
{
    // Within the part shown, so the whole log comes back.
    const QByteArray log = Gbk::Encode(QStringLiteral("第一行\r\n长行")) + QByteArray(LogExcerpt::ShownBytes - 100, 'x') +
                           "\r\nlast\r\n";
    WriteFiles(logs, {{"long.log", log}});
    ScriptedAnswerer answers;
    MessageBoxes::SetFileAnswerer([&](const FileDialogRequest&) { return local.filePath("long.txt"); });
    TFormGetLogFile viewer("long.log", agent.Ip(), int(log.size()));
    View(viewer, [&] {
        int longest = 0;
        for (QTextBlock block = viewer.RichEdit->document()->begin(); block.isValid(); block = block.next())
            longest = std::max(longest, block.length() - 1);
        EXPECT_LE(longest, LongLines::MaxBlockChars);
        viewer.MenuItem14->trigger();
        viewer.MenuItem13->trigger();
        EXPECT_EQ(QGuiApplication::clipboard()->text(), Gbk::Decode(log).replace("\r\n", "\n"));
        viewer.N100->trigger();
    });
    EXPECT_EQ(ReadFile(local.filePath("long.txt")), log);
    EXPECT_EQ(Boxes(answers), QStringList());
}

// A fetch that cannot connect: its box, and the viewer closes as soon as the wait window has
// gone. A rejected key: its box. A fetch that got nothing leaves the text empty, and saving it
// writes an empty file; a file that cannot be written is an error naming it.
TEST_F(ViewerTest, FailedFetches)
{
    ScriptedAnswerer answers;
    agent.SetFault(FakeAgent::Fault::Refuse);
    TFormGetLogFile refused("app.log", agent.Ip(), 20);
    FormGetLogFile = &refused;
    EXPECT_TRUE(RunModal(refused)) << "the viewer closes by itself";
    FormGetLogFile = nullptr;
    agent.SetFault(FakeAgent::Fault::RejectKey);
    TFormGetLogFile rejected("app.log", agent.Ip(), 20);
    View(rejected, [] {});
    EXPECT_EQ(Boxes(answers), QStringList({Warning("建立连接失败!"), Warning("密钥错误,请检查!")}));

    agent.SetFault(FakeAgent::Fault::None);
    QString target = local.filePath("empty.txt");
    MessageBoxes::SetFileAnswerer([&](const FileDialogRequest&) { return target; });
    TFormGetLogFile missing("missing.log", agent.Ip(), 0);
    View(missing, [&] {
        EXPECT_EQ(missing.RichEdit->toPlainText(), QString());
        missing.N100Click();
        target = local.filePath("no/folder/x.txt");
        EXPECT_TRUE(Thrown([&] { missing.N100Click(); }).contains(target));
    });
    EXPECT_EQ(ReadFile(local.filePath("empty.txt")), QByteArray());

    // Closed while the fetch is still running: it closes once the fetch has ended.
    TFormGetLogFile early("missing.log", agent.Ip(), 0);
    WhenReady([] { return qobject_cast<TFormWait*>(QApplication::activeModalWidget()) != nullptr; },
              [&] { early.close(); });
    EXPECT_TRUE(RunModal(early));
}

} // namespace
