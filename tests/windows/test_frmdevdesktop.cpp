// The desktop window and its picture thread against a fake agent: pictures, closing, failures, saving, the wheel.
#include "support/AgentTestSupport.h"
#include "windows/FrmDevDesktop.h"

#include <QElapsedTimer>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

using namespace AgentTestSupport;

namespace {

class DesktopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SetUpConsole(); }
    void SetUp() override
    {
        TestDb::Truncate();
        UseAgent(agent);
        id = DevTestSupport::AddTerminal(QStringLiteral("甲"), QStringLiteral("up"), agent.Ip());
    }
    void TearDown() override { EXPECT_TRUE(NoDesktopThreadLeft()); }
    // Runs the window until it has shown a picture (and then closes it), or until it closes.
    void RunUntilPicture(TFormDevDesktop& window)
    {
        EXPECT_TRUE(RunModal(window, [&] {
            const bool shown = QTest::qWaitFor([&] { return !window.PictureJpeg.isEmpty() || !window.isVisible(); },
                                               Patience);
            EXPECT_TRUE(shown);
            EXPECT_FALSE(window.PictureJpeg.isEmpty());
            window.close();
        }));
    }

    FakeAgent agent;
    int id = 0;
};

// With the shipped 6 s waits, pictures still follow each other at the window's pace: each
// transfer ends with its picture. "exit" goes out after the window has closed.
TEST_F(DesktopTest, PicturesFollowAtTheWindowsPace)
{
    WaitsFor shipped(1);
    ScriptedAnswerer answers;
    TFormDevDesktop window(id);
    EXPECT_TRUE(RunModal(window, [&] {
        // Four pictures; had each transfer waited for 6 s of silence, this would take 26 s.
        EXPECT_TRUE(QTest::qWaitFor([&] { return agent.DesksServed() >= 4; }, 5900));
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.Picture.size() == QSize(320, 240); }, Patience));
        window.close();
    }));
    EXPECT_TRUE(NoDesktopThreadLeft());
    EXPECT_TRUE(Settled(agent));
    EXPECT_EQ(agent.Lines().last(), "exit");
    EXPECT_EQ(Boxes(answers), QStringList());
}

// A picture smaller than one read is kept. Of what comes after "desk", a reply document in front
// (the answer to the second authentication line, when it comes late) is no part of the picture,
// whole or still arriving; every byte after it is.
TEST_F(DesktopTest, SmallPicturesAndPicturesAfterAReplyAreKept)
{
    ScriptedAnswerer answers; // an unexpected box fails the test instead of waiting for an operator
    const QByteArray small = FakeAgent::MakeJpeg(12, 8, 5);
    ASSERT_LT(small.size(), 4096);
    agent.SetReply("desk", small);
    TFormDevDesktop window(id);
    RunUntilPicture(window);
    EXPECT_EQ(window.PictureJpeg, small);
    EXPECT_EQ(window.Picture.size(), QSize(12, 8));
    EXPECT_EQ(Boxes(answers), QStringList());

    const QByteArray reply = FakeAgent::Document("auth", "<result>success</result>");
    EXPECT_EQ(ThreadDevDesktop::PictureStart(small), 0);
    EXPECT_EQ(ThreadDevDesktop::PictureStart(reply + "\r\n" + small), reply.size() + 2);
    EXPECT_EQ(ThreadDevDesktop::PictureStart("\r\n" + reply), reply.size() + 2) << "the picture has not begun";
    EXPECT_EQ(ThreadDevDesktop::PictureStart(reply.left(20)), -1) << "the document is still arriving";
    EXPECT_EQ(ThreadDevDesktop::PictureStart(" \r\n"), -1);
    EXPECT_EQ(ThreadDevDesktop::PictureStart(reply + reply + small), reply.size()) << "one document only";
}

struct Counter : QObject, DesktopTarget {
    void ShowPicture(const QImage&, const QByteArray&) override { ++pictures; }
    void CloseForm() override { ++closes; }
    int pictures = 0;
    int closes = 0;
};

// Once Running is cleared nothing reaches the window, not even what was handed over before.
// Closed during a transfer, the window is destroyed at once; the thread runs out on its own.
TEST_F(DesktopTest, NothingReachesAClosedWindow)
{
    Counter counter;
    auto link = std::make_shared<DesktopLink>(&counter, &counter);
    link->Post([](DesktopTarget& t) { t.ShowPicture({}, {}); });
    DevTestSupport::Pump();
    EXPECT_EQ(counter.pictures, 1);
    link->Post([](DesktopTarget& t) { t.ShowPicture({}, {}); });
    link->Stop();
    link->Post([](DesktopTarget& t) { t.CloseForm(); });
    DevTestSupport::Pump();
    EXPECT_EQ(counter.pictures + counter.closes, 1);

    // Half a picture, then nothing; an authentication reply that trickles: the thread ends
    // within a read of the window's closing, without a word.
    ScriptedAnswerer answers;
    agent.SetSplitPauseMs(Patience);
    const std::pair<FakeAgent::Fault, FakeAgent::Scope> faults[] = {
        {FakeAgent::Fault::Split, FakeAgent::Scope::CommandsOnly},
        {FakeAgent::Fault::Trickle, FakeAgent::Scope::All},
    };
    for (const auto& [fault, scope] : faults) {
        agent.SetFault(fault, scope);
        agent.ClearLines();
        const int desks = agent.DesksServed();
        auto window = std::make_unique<TFormDevDesktop>(id);
        EXPECT_TRUE(RunModal(*window, [&] {
            EXPECT_TRUE(QTest::qWaitFor([&] {
                return scope == FakeAgent::Scope::All ? !agent.Lines().isEmpty() : agent.DesksServed() > desks;
            }, Patience));
            window->close();
        }));
        window.reset();
        QElapsedTimer clock;
        clock.start();
        EXPECT_TRUE(NoDesktopThreadLeft());
        EXPECT_LT(clock.elapsed(), QuietMs()) << int(fault);
    }
    EXPECT_EQ(Boxes(answers), QStringList());
}

// Each fault of the agent: the thread's box, the window closed, no thread left, little memory and
// no stall; the faults that harm no reply still bring pictures. A rejected key ends the conversation.
TEST_F(DesktopTest, FaultsOfTheAgentEndInTheirBox)
{
    using F = FakeAgent::Fault;
    using S = FakeAgent::Scope;
    const struct {
        F fault;
        QString box; // empty: pictures come
        S scope = S::All;
    } cases[] = {
        {F::Refuse, "建立连接失败!"},    {F::Silent, "连接发生错误!"},           {F::RejectKey, "密钥错误,请检查!"},
        {F::Garbage, "连接发生错误!"},   {F::CloseAfterAuth, "连接发生错误!"}, {F::CloseMidTransfer, "连接发生错误!"},
        {F::Late, {}},                  {F::Split, {}},                         {F::Batch, {}},
        {F::HugePicture, "连接发生错误!"}, {F::ResetMidTransfer, "连接发生错误!"},
        {F::Endless, "连接发生错误!"},     // the authentication reply: over the limit of a reply
        {F::Endless, "连接发生错误!", S::CommandsOnly}, // the picture: over the limit of a picture
        {F::Trickle, "密钥错误,请检查!"},  // what came of the reply in four waits holds no "success"
    };
    agent.SetLateMs(QuietMs() / 4); // well within the quiet wait of a transfer
    for (const auto& c : cases) {
        EXPECT_TRUE(Settled(agent)); // the last case's lines are all in
        agent.SetFault(c.fault, c.scope);
        agent.SetSplitPauseMs(c.fault == F::Trickle ? QuietMs() / 4 : FakeAgent::DefaultSplitPauseMs);
        agent.ClearLines();
        ScriptedAnswerer answers;
        LoopWatch watch;
        TFormDevDesktop window(id);
        if (c.box.isEmpty()) {
            RunUntilPicture(window);
            EXPECT_EQ(Boxes(answers), QStringList()) << int(c.fault);
        } else {
            EXPECT_TRUE(RunModal(window)) << "the thread closes the window, " << int(c.fault);
            EXPECT_EQ(Boxes(answers), QStringList{Warning(c.box)}) << int(c.fault);
        }
        EXPECT_TRUE(NoDesktopThreadLeft()) << int(c.fault);
        EXPECT_LT(watch.GrowthMiB(), 100) << int(c.fault);
        EXPECT_LT(watch.LongestStallMs(), Patience / 4) << int(c.fault);
        if (c.fault == F::RejectKey) {
            EXPECT_TRUE(Settled(agent)) << "the connection is closed";
            EXPECT_EQ(agent.Lines().size(), 2) << "the two authentication lines, nothing after them";
        }
    }
}

// A terminal without a row: one error box, the console page in front, no connection.
TEST_F(DesktopTest, UnknownTerminalClosesWithoutAConnection)
{
    ScriptedAnswerer answers;
    MainForm->ShowPageDev();
    TFormDevDesktop window(id + 1000);
    EXPECT_TRUE(RunModal(window));
    EXPECT_EQ(Boxes(answers), QStringList{QStringLiteral("错误|设备不存在!")});
    EXPECT_EQ(agent.Connections(), 0);
    EXPECT_EQ(MainForm->GetActivePageIndex(), TMainForm::PageIdxInfo);
}

// Saved before the first picture: the placeholder bitmap, with "jpg" added to a bare name;
// afterwards the picture exactly as the agent sent it.
TEST_F(DesktopTest, SaveWritesThePictureInItsOwnFormat)
{
    QTemporaryDir dir;
    const QByteArray picture = FakeAgent::MakeJpeg(64, 64, 9);
    agent.SetDesktop(picture);
    ScriptedAnswerer answers;
    QString answer = dir.filePath("first");
    MessageBoxes::SetFileAnswerer([&](const FileDialogRequest&) { return answer; });
    TFormDevDesktop before(id); // never shown: no picture comes
    before.S1->trigger();

    answer = dir.filePath("second.jpeg");
    TFormDevDesktop after(id);
    EXPECT_TRUE(RunModal(after, [&] {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !after.PictureJpeg.isEmpty(); }, Patience));
        after.S1->trigger();
        after.close();
    }));
    EXPECT_EQ(Boxes(answers), QStringList());
    EXPECT_TRUE(ReadFile(dir.filePath("first.jpg")).startsWith("BM"));
    EXPECT_EQ(QImage(dir.filePath("first.jpg"), "BMP").size(), QSize(894, 700));
    EXPECT_EQ(ReadFile(dir.filePath("second.jpeg")), picture);
}

// A wheel turn of several notches scrolls the picture by one line, and goes no further.
TEST_F(DesktopTest, WheelScrollsOneLinePerTurn)
{
    ScriptedAnswerer answers; // an unexpected box fails the test instead of waiting for an operator
    agent.SetDesktop(FakeAgent::MakeJpeg(1600, 2400, 4));
    TFormDevDesktop window(id);
    EXPECT_TRUE(RunModal(window, [&] {
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.Picture.height() == 2400; }, Patience));
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.isActiveWindow(); }, Patience));
        QScrollBar* bar = window.ScrollBox1->verticalScrollBar();
        const auto turn = [&](int delta) {
            QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            return QApplication::sendEvent(window.ImgDevDesktop, &wheel);
        };
        EXPECT_TRUE(turn(-3 * 120));
        EXPECT_EQ(bar->value(), bar->singleStep());
        turn(0);
        EXPECT_EQ(bar->value(), bar->singleStep());
        turn(5 * 120);
        EXPECT_EQ(bar->value(), 0);
        window.close();
    }));
    EXPECT_EQ(Boxes(answers), QStringList());
}

} // namespace
