// The terminal detail window against a fake agent: the three views, manual refreshes, time-out and failures.
#include "console/RecordTestSupport.h"
#include "platform/Application.h"
#include "platform/GbkCodec.h"
#include "support/AgentTestSupport.h"
#include "windows/FrmClientDetail.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTcpSocket>
#include <QTimer>
#include <QTreeWidget>

using namespace AgentTestSupport;
using RecordTestSupport::Column;

namespace {

const std::vector<FakeAgent::Process> Processes{
    {"100", "explorer.exe", "1"}, {"200", QStringLiteral("终端服务.exe"), "12"}, {"300", "agent.exe", "0"}};

class DetailTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SetUpConsole(); }
    void SetUp() override
    {
        TestDb::Truncate();
        TimeOut = 10000; // no time-out unless a test asks for one
        UseAgent(agent);
        id = DevTestSupport::AddTerminal(QStringLiteral("甲"), QStringLiteral("up"), agent.Ip());
        agent.SetProcesses(Processes);
        agent.SetNet({"2024-05-07 08:03:09", "11", "22", "3300", "4400"});
        agent.SetUps({{"I/P voltage", "220"}, {"O/P current", "3"}, {" Temperature ", "35"}, {"temperature", "36"},
                      {"O/P frequency", "50"}, {QStringLiteral("电池状态"), QStringLiteral("正常")}});
    }
    // Waits inside the window's modal run until the first replies of all three views are in.
    static bool Loaded(TClientDetail& w)
    {
        return QTest::qWaitFor([&] {
            return w.SetProcess.RecordCount() > 0 && !w.LblUpdateTime->text().isEmpty() &&
                   w.SetUpsStatus.RecordCount() > 0 && w.BtnUpsRefresh->isEnabled();
        }, Patience);
    }

    FakeAgent agent;
    int id = 0;
};

// On connect: auth, process, net, ups back to back; each view shows its reply; the key accepted
// enables all six controls with the boxes checked and their timers running. The named UPS values
// go to their labels (names trimmed, case counts, volts for the current); others are rows as
// received; a label missing from a later reply keeps its text. Fixed widths cut long values. With
// its box unchecked a view refreshes on its button alone; a refresh keeps the selected process
// while it is listed, else the first. Closing says "exit".
TEST_F(DetailTest, ShowsTheThreeViewsByTheirRules)
{
    ScriptedAnswerer answers;
    TClientDetail w(id);
    EXPECT_TRUE(RunModal(w, [&] {
        ASSERT_TRUE(Loaded(w));
        EXPECT_EQ(agent.Lines().mid(1, 3), QStringList({"process", "net", "ups"}));
        EXPECT_TRUE(agent.Lines().first().startsWith("auth,"));
        EXPECT_EQ(Column(w.SetProcess, "name"), QStringList({"explorer.exe", QStringLiteral("终端服务.exe"), "agent.exe"}));
        EXPECT_EQ(QStringList({w.LblUpdateTime->text(), w.LblPacSend->text(), w.LblPacReceive->text(),
                               w.LblByteSend->text(), w.LblByteReceive->text()}),
                  QStringList({"2024-05-07 08:03:09", "11", "22", "3300", "4400"}));
        for (QCheckBox* box : {w.CbxProcRefresh, w.CbxNetRefresh, w.CbxUpsRefresh})
            EXPECT_TRUE(box->isEnabled() && box->isChecked()) << box->objectName().toStdString();
        for (QTimer* t : {w.TimRunStatus, w.TimNetStatus, w.TimUpsStatus})
            EXPECT_TRUE(t->isActive()) << t->objectName().toStdString();
        EXPECT_FALSE(w.TimTimeOut->isActive());
        EXPECT_EQ(QStringList({w.LblIpVolt->text(), w.LblCurrentVolt->text(), w.LblTemperature->text(),
                               w.LblOpFrenquency->text(), w.LblOpVolt->text(), w.LblBatteryVolt->text()}),
                  QStringList({"220 V", "3 V", "35 C", "50 Hz", "0V", "0V"}));
        EXPECT_EQ(Column(w.SetUpsStatus, "name"), QStringList({"temperature", QStringLiteral("电池状态")}));

        w.CbxProcRefresh->click(); // manual refreshes from here on
        w.CbxUpsRefresh->click();
        EXPECT_TRUE(w.BtnProcRefresh->isEnabled());
        EXPECT_FALSE(w.TimRunStatus->isActive());
        ASSERT_TRUE(w.SetProcess.Locate("id", "200"));
        const QString longName(200, 'n');
        agent.SetProcesses({{"050", longName, "99.5"}, {"200", "moved", "1"}});
        agent.SetUps({{"I/P voltage", "230"}, {QStringLiteral("电池状态"), QString(300, 'v')}});
        w.BtnProcRefresh->click();
        w.BtnUpsRefresh->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.SetProcess.RecordCount() == 2 && w.LblIpVolt->text() == "230 V"; },
                                    Patience));
        EXPECT_EQ(w.SetProcess.AsString("name"), "moved") << "the selected id is still listed";
        EXPECT_EQ(w.GrdProc->currentIndex().row(), 1);
        EXPECT_EQ(w.SetProcess.Cell(0, 1)->size(), 128);
        EXPECT_EQ(w.LblTemperature->text(), "35 C");
        EXPECT_EQ(w.SetUpsStatus.Cell(0, 1)->size(), 128);

        agent.SetProcesses({{"9", "c", "0"}, {"7", "a", "0"}});
        w.BtnProcRefresh->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Column(w.SetProcess, "id").first() == "9"; }, Patience));
        EXPECT_EQ(w.SetProcess.RecNo(), 1) << "the selected id has gone: the first row";

        agent.SetProcesses({});
        w.BtnProcRefresh->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.SetProcess.IsEmpty(); }, Patience));

        // Replies lacking what a handler reads change nothing; an unknown command is ignored. A good
        // reply of another view follows them on the same connection: once it shows, they were handled.
        w.CbxNetRefresh->click();
        agent.SetReply("net", FakeAgent::Document("net", "<n><p send=\"1\"/></n>"));
        agent.SetReply("ups", FakeAgent::Document("ups", "<u><value>1</value></u>"));
        agent.SetProcesses({{"5", "marker", "0"}});
        w.BtnNetRefresh->click();
        w.BtnUpsRefresh->click();
        w.BtnProcRefresh->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Column(w.SetProcess, "name") == QStringList("marker"); }, Patience));
        EXPECT_EQ(w.LblPacSend->text(), "11");
        EXPECT_EQ(w.SetUpsStatus.RecordCount(), 1);
        agent.SetReply("process", FakeAgent::Document("other", "<p><q id=\"1\" name=\"x\" cpuUsing=\"1\"/></p>"));
        agent.SetReply("net", {});
        agent.SetNet({"2024-05-07 08:03:09", "11", "23", "3300", "4400"});
        w.BtnProcRefresh->click();
        w.BtnNetRefresh->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.LblPacReceive->text() == "23"; }, Patience));
        EXPECT_EQ(Column(w.SetProcess, "name"), QStringList("marker"));
        w.close();
    }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return agent.Lines().last() == "exit"; }, Patience));
    EXPECT_EQ(Boxes(answers), QStringList());
}

// No terminal: the tree's command without a selection warns and opens nothing; an id without a
// row opens the window, which says so and closes without a connection.
TEST_F(DetailTest, NoTerminal)
{
    ScriptedAnswerer answers;
    MainForm->TreeDev->setCurrentItem(nullptr);
    MainForm->PmenuTreeDevDetailClick();
    TClientDetail w(id + 1000);
    EXPECT_TRUE(RunModal(w));
    EXPECT_EQ(Boxes(answers), QStringList({Warning("请先在左侧树上选择设备！"), Warning("设备不存在")}));
    EXPECT_EQ(agent.Connections(), 0);
}

// With TimeOut 1000 the window gives up at the second tick, below 1000 at the first: one box,
// one log line, closed.
TEST_F(DetailTest, SilentAgentTimesOut)
{
    agent.SetFault(FakeAgent::Fault::Silent);
    for (const auto& [timeOut, ticks] : std::vector<std::pair<int, int>>{{1000, 2}, {500, 1}}) {
        TimeOut = timeOut;
        ConsoleDb::ClearLog();
        ScriptedAnswerer answers;
        TClientDetail w(id);
        EXPECT_TRUE(RunModal(w));
        EXPECT_EQ(w.TimeoutTicks(), ticks) << timeOut;
        EXPECT_EQ(Boxes(answers), QStringList{Warning("Socket连接超时！")});
        EXPECT_EQ(ConsoleDb::LogText().count("Connection Remote Device Timeout ."), 1);
    }
}

// After a time-out nothing that arrives late acts: the key switches on no control of the closing
// window, and a bad reply adds no second box, however long the operator leaves the box open.
TEST_F(DetailTest, LateRepliesAfterATimeOutChangeNothing)
{
    TimeOut = 500;             // the first tick, about a second after the window shows
    agent.SetLateMs(2500);     // the key at 2.5 s, the bad process reply at 5 s
    agent.SetFault(FakeAgent::Fault::Late);
    agent.SetReply("process", "not XML</client>");
    ScriptedAnswerer answers;
    answers.HoldOpen(5000);
    TClientDetail w(id);
    EXPECT_TRUE(RunModal(w));
    EXPECT_EQ(Boxes(answers), QStringList{Warning("Socket连接超时！")});
    EXPECT_FALSE(w.CbxProcRefresh->isEnabled());
    EXPECT_FALSE(w.BtnUpsRefresh->isEnabled());
}

// Every fault of the agent: the window's own box and closing, or the views as well as can be; the
// console answering and its memory small throughout. One failure, one box, held open as an operator
// reads it, with the refreshes resting behind it; a too deep reply is refused unparsed.
TEST_F(DetailTest, FaultsOfTheAgent)
{
    using F = FakeAgent::Fault;
    const QString title = QString::fromUtf8(ApplicationTitle);
    constexpr int DeepLevels = 100000; // 700 KB, within the size of a reply
    constexpr int HoldMs = 1500;
    constexpr qint64 StallLimitMs = 1000;
    constexpr qint64 GrowthLimitMiB = 64;
    const struct {
        F fault;
        bool deep;         // every reply to a command nests DeepLevels deep
        QStringList boxes; // captions and texts; only the caption of the standard exception box
        bool closes;       // by itself
        bool views;        // all three views filled
    } cases[] = {
        {F::Refuse, false, {Warning("Socket 连接错误！")}, true, false},
        {F::RejectKey, false, {Warning("密钥错误,建立连接失败！")}, true, false},
        {F::Split, false, {}, false, true},
        {F::Batch, false, {}, false, true},
        {F::Garbage, false, {title}, false, false},
        {F::GarbageStream, false, {title}, false, false},
        {F::None, true, {title}, false, false},
        {F::Oversized, false, {}, false, false},
        {F::CloseAfterAuth, false, {}, false, false},
        {F::CloseMidTransfer, false, {}, false, false},
        {F::ResetMidTransfer, false, {Warning("Socket 连接错误！")}, true, false},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Settled(agent)); // the last case's lines are all in
        agent.SetFault(c.fault);
        for (const char* command : {"process", "net", "ups"})
            agent.SetReply(command, c.deep ? DeepDocument(command, DeepLevels) : QByteArray());
        agent.ClearLines();
        ConsoleDb::ClearLog();
        ScriptedAnswerer answers;
        answers.HoldOpen(HoldMs);
        bool restedBehindTheBox = true;
        TClientDetail w(id);
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&] {
            if (answers.Holding() && answers.Last().caption == title)
                restedBehindTheBox = restedBehindTheBox && !w.TimRunStatus->isActive() && !w.TimTimeOut->isActive();
        });
        look.start(LoopWatch::TickMs);
        LoopWatch watch;
        bool closedByItself = true;
        EXPECT_TRUE(RunModal(w, [&] {
            if (c.closes)
                return;
            if (c.views) {
                EXPECT_TRUE(Loaded(w)) << int(c.fault);
            } else {
                // The replies have had their chance: the agent got its lines (two where it stops
                // reading at its first reply) and a box has been closed.
                const bool endsAtFirst = c.fault == F::CloseMidTransfer || c.fault == F::GarbageStream;
                const int lines = c.fault == F::CloseAfterAuth ? 0 : endsAtFirst ? 2 : 4;
                EXPECT_TRUE(QTest::qWaitFor([&] { return agent.Lines().size() >= lines; }, Patience)) << int(c.fault);
                QTest::qWait(2 * FakeAgent::DefaultSplitPauseMs);
                EXPECT_TRUE(QTest::qWaitFor([&] { return !answers.Holding(); }, Patience));
                EXPECT_TRUE(w.SetProcess.IsEmpty()) << int(c.fault);
                EXPECT_TRUE(w.LblUpdateTime->text().isEmpty()) << int(c.fault);
            }
            if (!c.boxes.isEmpty()) { // the refreshes run again once the box is closed
                EXPECT_TRUE(w.TimRunStatus->isActive()) << int(c.fault);
            }
            closedByItself = !w.isVisible();
            w.close();
        })) << int(c.fault);
        EXPECT_EQ(closedByItself, c.closes) << int(c.fault);
        QStringList boxes = Boxes(answers);
        for (QString& box : boxes) // the parser's message aside
            if (box.startsWith(title + '|'))
                box = title;
        EXPECT_EQ(boxes, c.boxes) << int(c.fault);
        EXPECT_TRUE(restedBehindTheBox) << int(c.fault);
        EXPECT_LT(watch.LongestStallMs(), StallLimitMs) << int(c.fault);
        EXPECT_LT(watch.GrowthMiB(), GrowthLimitMiB) << int(c.fault);
        if (c.fault == F::Oversized) {
            EXPECT_GE(ConsoleDb::LogText().count(QStringLiteral("字节,已丢弃.")), 3);
        }
    }
}

// A connection error that is reported twice while its box is open (a failed read, then the
// toolkit's own error signal) has one box, and the window closes after it.
TEST_F(DetailTest, ConnectionErrorReportedTwiceHasOneBox)
{
    agent.SetFault(FakeAgent::Fault::ResetMidTransfer);
    ScriptedAnswerer answers;
    answers.HoldOpen(1500);
    TClientDetail w(id);
    bool signalled = false;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &w, [&] {
        if (!signalled && answers.Holding()) {
            signalled = true;
            emit w.CSocket->errorOccurred(QAbstractSocket::NetworkError);
        }
    });
    look.start(LoopWatch::TickMs);
    EXPECT_TRUE(RunModal(w));
    EXPECT_TRUE(signalled);
    EXPECT_EQ(Boxes(answers), QStringList{Warning("Socket 连接错误！")});
}

// Replies just under the limit of a reply (many rows, many attributes, many elements) are read off
// the console's thread: while the window refreshes from one, the console never stops answering
// for as long as the parser takes over that reply alone, the rows come whole, and once the window
// has gone the memory the replies took has gone back to the system.
TEST_F(DetailTest, BigRepliesHoldUpNothing)
{
    constexpr qint64 KeptLimitMiB = 16; // the replies take 70 MiB and more
    ScriptedAnswerer answers;
    for (const BigReply& reply : BigProcessReplies()) {
        agent.SetReply("process", reply.bytes);
        agent.SetUps({{"Temperature", "35"}});
        const qint64 before = LoopWatch::Resident();
        qint64 stall = 0;
        {
            TClientDetail w(id);
            LoopWatch watch;
            EXPECT_TRUE(RunModal(w, [&] {
                ASSERT_TRUE(QTest::qWaitFor([&] { return w.BtnUpsRefresh->isEnabled() && w.LblTemperature->text() == "35 C"; },
                                            Patience)) << reply.what;
                // Replies are shown in the order they come: once this one shows, so has a refresh
                // of the processes sent before it.
                agent.SetUps({{"Temperature", "36"}});
                EXPECT_TRUE(QTest::qWaitFor([&] { return w.LblTemperature->text() == "36 C"; }, Patience)) << reply.what;
                stall = watch.LongestStallMs();
                EXPECT_EQ(w.SetProcess.RecordCount(), reply.bytes.count("<p ")) << reply.what;
                w.close();
            })) << reply.what;
        }
        DevTestSupport::Pump();
        if (MemoryMeasurable) {
            EXPECT_LT((LoopWatch::Resident() - before) / (1024 * 1024), KeptLimitMiB) << reply.what;
        }
        EXPECT_LT(stall, ParseMs(reply.bytes)) << reply.what;
    }
    EXPECT_EQ(Boxes(answers), QStringList());
}

} // namespace
