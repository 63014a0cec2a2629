// The remote log window against a fake agent: the list, browse, save as, delete and failures.
#include "console/RecordTestSupport.h"
#include "platform/Application.h"
#include "platform/GbkCodec.h"
#include "support/AgentTestSupport.h"
#include "windows/FrmGetLogFile.h"
#include "windows/FrmLogDev.h"

#include <QLabel>
#include <QRegularExpression>
#include <QTableView>
#include <QTcpSocket>
#include <QTextEdit>
#include <QToolButton>

using namespace AgentTestSupport;
using RecordTestSupport::Column;
using RecordTestSupport::SelectRows;

namespace {

const QString LongName = QString(70, QChar(u'长')) + QStringLiteral(".log"); // 144 bytes in GBK

class LogWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SetUpConsole(); }
    void SetUp() override
    {
        TestDb::Truncate();
        TimeOut = 10000;
        UseAgent(agent);
        agent.SetLogFolder(logs.path());
        id = DevTestSupport::AddTerminal(QStringLiteral("甲"), QStringLiteral("up"), agent.Ip());
        WriteFiles(logs, {{"a.log", QByteArray(999, 'a')},
                          {"b.log", "b\r\nline two\r\n"},
                          {"c.log", QByteArray(1536000, 'c')},
                          {"d.log", QByteArray(1000, 'd')},
                          {LongName, Gbk::Encode(QStringLiteral("长名字的日志"))}});
    }
    // The window as the main window opens it.
    std::unique_ptr<TFrmLog> Window(int devId)
    {
        auto w = std::make_unique<TFrmLog>();
        const QString ip = w->SelectIpById(QString::number(devId));
        w->LbDevIp->setText(ip);
        return w;
    }
    static bool Listed(TFrmLog& w, int rows)
    {
        return QTest::qWaitFor([&] { return w.SpeedButton1->isEnabled() && w.ClientDataSet.RecordCount() == rows; },
                               Patience);
    }

    FakeAgent agent;
    QTemporaryDir logs;
    int id = 0;
};

// The list through the window's worker: sizes in units of 1000 bytes, the true size kept, a long
// name shown cut. Both connections, the window's and the worker's, end with "exit".
TEST_F(LogWindowTest, ListsTheTerminalsLogFiles)
{
    ScriptedAnswerer answers;
    auto w = Window(id);
    EXPECT_TRUE(RunModal(*w, [&] {
        ASSERT_TRUE(Listed(*w, 5));
        EXPECT_EQ(Column(w->ClientDataSet, "size"), QStringList({"0KB", "0KB", "1536KB", "1KB", "0KB"}));
        EXPECT_EQ(Column(w->ClientDataSet, "truesize"), QStringList({"999", "13", "1536000", "1000", "12"}));
        EXPECT_EQ(Column(w->ClientDataSet, "name").mid(0, 4), QStringList({"a.log", "b.log", "c.log", "d.log"}));
        EXPECT_EQ(Column(w->ClientDataSet, "name")[4], LongName.left(64)) << "cut to 128 bytes";
        w->close();
    }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return agent.LinesStartingWith("exit").size() == 2; }, Patience));
    EXPECT_EQ(Boxes(answers), QStringList());
}

// Browse: two marked rows are refused; one opens the viewer with the file's text and caption, by its
// whole name when the grid shows it cut. Save as: cancelled, nothing is fetched; a file that cannot
// be made is named and the log never asked for. Delete, confirmed: one line naming the marked rows
// in grid order, then the list again. With no row browse and save as stop quietly, delete is off.
TEST_F(LogWindowTest, BrowseSaveAsAndDelete)
{
    QTemporaryDir local;
    ScriptedAnswerer answers;
    int asks = 0;
    QString answer;
    QString filter;
    MessageBoxes::SetFileAnswerer([&](const FileDialogRequest& request) {
        ++asks;
        filter = request.filter;
        return answer;
    });
    const QString bad = local.filePath("no/such/folder/b.txt");
    QString shown;
    auto w = Window(id);
    EXPECT_TRUE(RunModal(*w, [&] {
        ASSERT_TRUE(Listed(*w, 5));
        SelectRows(w->DBGrid, {0, 2});
        w->SpeedButton2->click();
        EXPECT_EQ(Boxes(answers), QStringList{QStringLiteral("错误提示|浏览时一次只能选择一个对象！")});
        EXPECT_EQ(answers.Last().icon, MsgIcon::None);
        SelectRows(w->DBGrid, {4});
        WhenReady([] { return FormGetLogFile && QApplication::activeModalWidget() == FormGetLogFile; }, [&] {
            shown = FormGetLogFile->windowTitle() + '|' + FormGetLogFile->RichEdit->toPlainText();
            FormGetLogFile->close();
        });
        w->SpeedButton2->click();
        SelectRows(w->DBGrid, {1});
        w->SpeedButton3->click(); // cancelled
        answer = bad;
        w->N2->trigger();
        EXPECT_EQ(Boxes(answers).last(), Warning("无法创建本地文件：" + bad));

        SelectRows(w->DBGrid, {4, 0, 1});
        answers.Answer(MsgResult::Cancel);
        w->SpeedButton4->click();
        EXPECT_TRUE(w->SpeedButton4->isEnabled());
        w->SpeedButton4->click();
        EXPECT_FALSE(w->SpeedButton4->isEnabled());
        ASSERT_TRUE(Listed(*w, 2));
        EXPECT_EQ(Column(w->ClientDataSet, "name"), QStringList({"c.log", "d.log"}));
        w->ClientDataSet.Clear();
        w->SpeedButton2->click();
        w->SpeedButton3->click();
        w->N3->trigger();
        EXPECT_FALSE(w->SpeedButton4->isEnabled());
        w->close();
    }));
    EXPECT_EQ(shown, LongName + "  --  " + agent.Ip() + "|长名字的日志");
    EXPECT_EQ(asks, 2);
    EXPECT_EQ(filter, "文本文件(*.txt)");
    EXPECT_FALSE(QFileInfo::exists(bad));
    EXPECT_EQ(agent.LinesStartingWith("getlog"), QStringList{"getlog," + LongName});
    EXPECT_EQ(agent.LinesStartingWith("dellog"), QStringList{"dellog,a.log,b.log," + LongName});
    EXPECT_EQ(Boxes(answers).mid(2), QStringList(3, QStringLiteral("确认|您确定要删除已选日志吗？")));
    EXPECT_EQ(FormGetLogFile, nullptr);
}

// Failures of the window's own connection and of the list, each with one box, also when it is held
// open a while; the console answers throughout. A too deep list is refused unparsed; after a
// time-out nothing that arrives late acts (the late key fetches no list).
TEST_F(LogWindowTest, FaultsOfTheAgent)
{
    using F = FakeAgent::Fault;
    const QString title = QString::fromUtf8(ApplicationTitle);
    const QString nothing = Warning("由于网络原因获得文件名时发生错误!");
    constexpr qint64 StallLimitMs = 1000;
    const struct {
        F fault;
        bool badDelete;    // a delete that the agent answers on the window's connection with a bad reply
        QStringList boxes; // the standard exception box by its caption alone
        bool closes;
        int rows;   // -1: no list
        int holdMs; // how long each box stays open
    } cases[] = {
        {F::Refuse, false, {title + QStringLiteral("|Socket连接错误！")}, true, -1, 2500},
        {F::Silent, false, {Warning("Socket连接超时！")}, true, -1, 0},
        {F::RejectKey, false, {Warning("密钥错误,建立连接失败！")}, true, -1, 0},
        {F::Split, false, {}, false, 5, 0},
        {F::Oversized, false, {Warning("连接发生错误!")}, false, -1, 0}, // a list over the limit of a reply
        {F::Garbage, false, {title}, false, -1, 0},
        {F::None, true, {QStringLiteral("确认|您确定要删除已选日志吗？"), title}, false, 5, 1500},
        {F::CloseMidTransfer, false, {title}, false, -1, 0},
        {F::CloseAfterAuth, false, {nothing, title}, false, -1, 0},
        {F::ResetAtOnce, false, {title + QStringLiteral("|Socket连接错误！")}, true, -1, 1500},
        {F::DeepNesting, false, {title + QStringLiteral("|远程设备的回复嵌套超过32层,无法解析!")}, false, -1, 0},
        // The key comes a second after the time-out, while its box is open.
        {F::Late, false, {Warning("Socket连接超时！")}, true, -1, 4000},
    };
    agent.SetLateMs(3000);
    for (const auto& c : cases) {
        EXPECT_TRUE(Settled(agent)); // the last case's lines are all in
        agent.ClearLines();
        agent.SetFault(c.fault);
        agent.SetReply("dellog", c.badDelete ? QByteArray("not XML</client>") : QByteArray());
        TimeOut = c.fault == F::Silent || c.fault == F::Refuse || c.fault == F::Late ? 1000 : 10000;
        ScriptedAnswerer answers;
        answers.HoldOpen(c.holdMs);
        LoopWatch watch;
        auto w = Window(id);
        bool closedByItself = true;
        EXPECT_TRUE(RunModal(*w, [&] {
            if (c.closes)
                return;
            if (c.rows >= 0) {
                EXPECT_TRUE(Listed(*w, c.rows)) << int(c.fault);
            } else {
                EXPECT_TRUE(QTest::qWaitFor([&] { return answers.Count() >= c.boxes.size(); }, Patience));
            }
            if (c.badDelete) { // nothing more to say once its box has closed and the list is back
                agent.ClearLines();
                w->SpeedButton4->click();
                EXPECT_TRUE(QTest::qWaitFor([&] { return agent.LinesStartingWith("listlogs").size() == 1; }, Patience));
                EXPECT_TRUE(Listed(*w, c.rows));
            }
            closedByItself = !w->isVisible();
            w->close();
        })) << int(c.fault);
        EXPECT_EQ(closedByItself, c.closes) << int(c.fault);
        QStringList boxes = Boxes(answers);
        for (QString& box : boxes)
            if (box.startsWith(title + '|') && !box.endsWith(QStringLiteral("Socket连接错误！")) &&
                !box.contains(QStringLiteral("远程设备")))
                box = title;
        // Whether "listlogs" still went out before the worker saw the close is up to the network;
        // if it did not, the send failed and said so.
        if (c.fault == F::CloseAfterAuth && boxes.size() == 3) {
            EXPECT_EQ(boxes.takeFirst(), Warning("连接发生错误!"));
        }
        EXPECT_EQ(boxes, c.boxes) << int(c.fault);
        if (c.fault == F::Refuse) {
            EXPECT_EQ(answers.Last().icon, MsgIcon::None);
        }
        if (c.fault == F::Silent) {
            EXPECT_EQ(w->TimeoutTicks(), 2);
        }
        EXPECT_EQ(agent.LinesStartingWith("listlogs").isEmpty(), c.rows < 0 && c.fault != F::Oversized &&
                                                                     c.fault != F::Garbage && c.fault != F::DeepNesting &&
                                                                     c.fault != F::CloseMidTransfer)
            << int(c.fault);
        EXPECT_LT(watch.LongestStallMs(), StallLimitMs) << int(c.fault);
    }
}

// A list longer than a reply may be, endless or 1.8 MB of nesting, is refused with the worker's one
// box: no part of it is read as a list, and the window stays open with no rows.
TEST_F(LogWindowTest, ListOverTheLimitHasOneBox)
{
    const struct {
        const char* what;
        FakeAgent::Fault fault;
        QByteArray reply;
    } cases[] = {
        {"endless", FakeAgent::Fault::Endless, {}},
        {"nested", FakeAgent::Fault::None, DeepDocument("listlogs", 260000)},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Settled(agent));
        agent.SetFault(c.fault, FakeAgent::Scope::CommandsOnly);
        agent.SetReply("listlogs", c.reply);
        ScriptedAnswerer answers;
        auto w = Window(id);
        EXPECT_TRUE(RunModal(*w, [&] {
            // Once the wait window has gone, the list has been taken (or not) in the same handler.
            EXPECT_TRUE(QTest::qWaitFor([&] {
                return answers.Count() >= 1 && QApplication::activeModalWidget() == w.get();
            }, Patience)) << c.what;
            DevTestSupport::Pump();
            EXPECT_TRUE(w->isVisible()) << c.what;
            EXPECT_EQ(w->ClientDataSet.RecordCount(), 0) << c.what;
            EXPECT_FALSE(w->SpeedButton1->isEnabled()) << c.what;
            w->close();
        })) << c.what;
        EXPECT_EQ(Boxes(answers), QStringList{Warning("连接发生错误!")}) << c.what;
    }
}

// A send on the window's connection that fails (the connection went before the key was sent) has
// its one box, shown from the message loop with the timers stopped: held open past the time-out,
// it gets no second box, and the window closes after it.
TEST_F(LogWindowTest, FailedSendHasOneBox)
{
    TimeOut = 1000;
    ScriptedAnswerer answers;
    answers.HoldOpen(3000);
    auto w = Window(id);
    EXPECT_TRUE(RunModal(*w, [&] {
        // The connection goes before the first tick of the key's timer.
        ASSERT_TRUE(QTest::qWaitFor([&] { return w->ClientSocket->state() == QAbstractSocket::ConnectedState; },
                                    Patience));
        w->ClientSocket->abort();
    }));
    EXPECT_EQ(Boxes(answers), QStringList{Warning("Socket连接出错！")});
    EXPECT_FALSE(w->OutTime->isActive());
}

// A connection error that is reported twice while its box is open (a failed read, then the
// toolkit's own error signal) has one box, and the window closes after it.
TEST_F(LogWindowTest, ConnectionErrorReportedTwiceHasOneBox)
{
    agent.SetFault(FakeAgent::Fault::ResetAtOnce);
    ScriptedAnswerer answers;
    answers.HoldOpen(1500);
    auto w = Window(id);
    bool signalled = false;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, w.get(), [&] {
        if (!signalled && answers.Holding()) {
            signalled = true;
            emit w->ClientSocket->errorOccurred(QAbstractSocket::NetworkError);
        }
    });
    look.start(LoopWatch::TickMs);
    EXPECT_TRUE(RunModal(*w));
    EXPECT_TRUE(signalled);
    EXPECT_EQ(Boxes(answers), QStringList{QString::fromUtf8(ApplicationTitle) + QStringLiteral("|Socket连接错误！")});
}

// Lists as full as a reply may be are read by the list worker: once its wait window has gone the
// console is held up for less time than the parse alone takes, and every row comes (or, for
// entries without a size, the box for the first of them).
TEST_F(LogWindowTest, BigListsHoldUpNothing)
{
    for (const BigReply& reply : BigListReplies()) {
        agent.SetReply("listlogs", reply.bytes);
        ScriptedAnswerer answers;
        AfterWaitWindow after;
        qint64 stall = 0;
        auto w = Window(id);
        EXPECT_TRUE(RunModal(*w, [&] {
            EXPECT_TRUE(QTest::qWaitFor([&] {
                return after.Gone() && (w->SpeedButton1->isEnabled() || answers.Count() > 0);
            }, Patience)) << reply.what;
            DevTestSupport::Pump(); // the layout and painting of the table
            stall = after.LongestStallMs();
            w->close();
        })) << reply.what;
        EXPECT_EQ(w->ClientDataSet.RecordCount(), reply.rows) << reply.what;
        if (reply.rows > 0) {
            w->ClientDataSet.Last();
            EXPECT_EQ(w->ClientDataSet.AsString("id"), QString::number(reply.rows)) << reply.what;
            const qsizetype size = reply.bytes.lastIndexOf("size=\"") + 6;
            EXPECT_EQ(w->ClientDataSet.AsString("truesize"), reply.bytes.mid(size, reply.bytes.indexOf('"', size) - size))
                << reply.what;
            EXPECT_EQ(Boxes(answers), QStringList()) << reply.what;
        } else {
            EXPECT_EQ(Boxes(answers), QStringList{QString::fromUtf8(ApplicationTitle) + QStringLiteral("|'' 不是有效的整数值")});
        }
        EXPECT_LT(stall, ParseMs(reply.bytes)) << reply.what;
    }
}

// A bad reply of a terminal, through the list worker or on the window's own connection, has its
// box in Chinese: nothing but what it quotes (of the reply, or of the markup's rules) is in
// letters. A size that is no number keeps the rows before it.
TEST_F(LogWindowTest, BadRepliesHaveChineseBoxes)
{
    const QString title = QString::fromUtf8(ApplicationTitle);
    const QRegularExpression quoted(QStringLiteral("'[^']*'|“[^”]*”|\"[^\"]*\""));
    const QRegularExpression letters(QStringLiteral("[A-Za-z]"));
    const auto list = [](const QByteArray& body) { return "<client cmd=\"listlogs\"><logs>" + body + "</logs></client>"; };
    const struct {
        const char* what;
        QByteArray reply;
    } cases[] = {
        {"size not a number", list("<log name=\"z.log\" size=\"5\"/><log name=\"a.log\" size=\"12KB\"/>")},
        {"tags that do not match", list("<log name=\"a.log\" size=\"1\">")},
        {"undeclared entity", list("&nope;")},
        {"value without quotes", list("<log name=a.log size=1/>")},
        {"too deep", DeepDocument("listlogs", AgentProtocol::MaxReplyDepth + 1)},
        {"too many attributes", list("<log" + QByteArray(" a0=\"0\"").repeated(AgentProtocol::MaxReplyAttributes + 1) + "/>")},
        {"document type", "<!DOCTYPE client><client cmd=\"listlogs\"></client>"},
        {"not a document", "nothing at all</client>"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Settled(agent));
        agent.SetReply("listlogs", {});
        agent.SetReply("dellog", {});
        ScriptedAnswerer answers;
        auto w = Window(id);
        EXPECT_TRUE(RunModal(*w, [&] {
            ASSERT_TRUE(Listed(*w, 5));
            // On the window's connection first (the delete's reply), then through the worker
            // (the list that follows the delete).
            agent.SetReply("dellog", c.reply);
            agent.SetReply("listlogs", c.reply);
            SelectRows(w->DBGrid, {0});
            w->SpeedButton4->click();
            EXPECT_TRUE(QTest::qWaitFor([&] { return answers.Count() >= 3; }, Patience)) << c.what;
            DevTestSupport::Pump();
            if (QByteArray(c.what) == "size not a number") {
                EXPECT_EQ(Column(w->ClientDataSet, "name"), QStringList{"z.log"});
            }
            w->close();
        })) << c.what;
        QStringList boxes = Boxes(answers);
        ASSERT_EQ(boxes.size(), 3) << c.what << ": " << boxes.join(" / ").toStdString();
        for (const QString& box : boxes.mid(1)) {
            EXPECT_TRUE(box.startsWith(title + '|')) << c.what << ": " << box.toStdString();
            const QString text = box.mid(title.size() + 1);
            EXPECT_FALSE(text.isEmpty()) << c.what;
            EXPECT_FALSE(QString(text).remove(quoted).contains(letters)) << c.what << ": " << text.toStdString();
        }
        EXPECT_EQ(boxes[1], boxes[2]) << "the same reply, the same words, whichever way it came";
    }
}

// An id without a row: the query's warning, then the empty address cannot be opened.
TEST_F(LogWindowTest, UnknownTerminal)
{
    ScriptedAnswerer answers;
    auto w = Window(id + 1000);
    EXPECT_TRUE(RunModal(*w));
    EXPECT_EQ(Boxes(answers), QStringList({Warning("数据库查询失败！"), Warning("Socket连接出错！")}));
    EXPECT_EQ(agent.Connections(), 0);
}

} // namespace
