// The log-save and log-list workers against a fake agent: progress, stops, and what the windows cannot reach.
#include "platform/GbkCodec.h"
#include "platform/LongLines.h"
#include "support/AgentTestSupport.h"
#include "terminal/ThreadGetAllFileName.h"
#include "terminal/ThreadGetLogFile.h"
#include "terminal/ThreadSaveFile.h"

#include <QElapsedTimer>
#include <QTextEdit>
#include <optional>

using namespace AgentTestSupport;

namespace {

// Runs a worker as the wait window would: started, followed until it has finished, freed.
// during runs at every look. The positions seen along the way.
std::vector<int> RunWorker(ThreadProcessBar* worker, const std::function<void(ThreadProcessBar&)>& during = {})
{
    std::unique_ptr<ThreadProcessBar> owned(worker);
    std::vector<int> positions{0};
    owned->Resume();
    EXPECT_TRUE(QTest::qWaitFor([&] {
        if (during)
            during(*owned);
        if (positions.back() != owned->GetPosition())
            positions.push_back(owned->GetPosition());
        return bool(owned->Finished);
    }, Patience)) << "the worker did not end";
    owned.reset();
    DevTestSupport::Pump(); // what the worker handed to the user-interface thread
    return positions;
}

class LogThreadsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SetUpConsole(); }
    void SetUp() override
    {
        agent = std::make_unique<FakeAgent>();
        agent->SetLogFolder(logs.path());
        UseAgent(*agent);
        ThreadGetAllFileName::ClearResult();
    }
    QString Fetch() // a list worker's result, as the remote log window takes it
    {
        RunWorker(new ThreadGetAllFileName(agent->Ip()));
        const std::optional<ThreadGetAllFileName::Result> result = ThreadGetAllFileName::GetResult();
        ThreadGetAllFileName::ClearResult();
        return result ? result->text : Refused;
    }

    // What Fetch gives for a list refused for its length.
    static inline const QString Refused = QStringLiteral("<refused>");

    QTemporaryDir logs;
    QTemporaryDir local;
    std::unique_ptr<FakeAgent> agent;
};

// The list transfer ends at its closing tag rather than after a quiet wait. (The rows it brings,
// and a list that never comes, are checked through the remote log window.)
TEST_F(LogThreadsTest, ListEndsAtItsClosingTag)
{
    ScriptedAnswerer answers; // an unexpected box fails the test instead of waiting for an operator
    WriteFiles(logs, {{"a.log", QByteArray(999, 'a')}});
    QElapsedTimer clock;
    clock.start();
    const QString list = Fetch();
    EXPECT_LT(clock.elapsed(), QuietMs()) << "the list ends at </client>, not after a quiet wait";
    EXPECT_TRUE(list.startsWith("<client cmd=\"listlogs\"><logs><log name=\"a.log\" size=\"999\""));
    EXPECT_TRUE(Settled(*agent));
    EXPECT_EQ(agent->Lines().mid(1), QStringList({"listlogs", "exit"}));
    EXPECT_EQ(Boxes(answers), QStringList());
}

// The worker hands the list over read into the table's rows; asked again before it is emptied,
// the list gives the same rows, then read from its text.
TEST_F(LogThreadsTest, ListComesAsRows)
{
    ScriptedAnswerer answers;
    WriteFiles(logs, {{"a.log", QByteArray(1999, 'a')}, {"b.log", "b"}});
    RunWorker(new ThreadGetAllFileName(agent->Ip()));
    for (int ask = 0; ask < 2; ++ask) {
        const std::optional<ThreadGetAllFileName::Result> result = ThreadGetAllFileName::GetResult();
        ASSERT_TRUE(result && result->list.rows) << ask;
        EXPECT_FALSE(result->list.error) << ask;
        const std::vector<DataSet::Row>& rows = *result->list.rows;
        ASSERT_EQ(rows.size(), 2u) << ask;
        for (size_t i = 0; i < rows.size(); ++i) {
            const DataSet::Row& row = rows[i];
            EXPECT_EQ(QStringList({*row[0], *row[1], *row[2], *row[3], *row[5]}),
                      i == 0 ? QStringList({"1", "a.log", "1KB", "1999", "a.log"})
                             : QStringList({"2", "b.log", "0KB", "1", "b.log"})) << ask;
        }
    }
    ThreadGetAllFileName::ClearResult();
    EXPECT_EQ(Boxes(answers), QStringList());
}

// A list is handed on whole or not at all: one over the limit of a reply, whether its closing tag
// comes past the limit or never, leaves no part of itself to be read as a list, and the worker's
// warning is the only word; one up to the limit comes whole.
TEST_F(LogThreadsTest, ListIsWholeOrRefused)
{
    ScriptedAnswerer answers;
    const QByteArray head = "<client cmd=\"listlogs\"><logs>";
    const QByteArray tail = "</logs></client>";
    const qsizetype limit = AgentLimits::Reply;
    int refused = 0;
    for (const qsizetype size : {limit - 5000, limit, limit + 1, limit + 70000, 2 * limit}) {
        const QByteArray reply = head + QByteArray(size - head.size() - tail.size(), ' ') + tail;
        agent->SetReply("listlogs", reply);
        const QString result = Fetch();
        // Compared whole, but only the lengths are said: a megabyte is no message.
        if (size <= limit) {
            EXPECT_TRUE(result == QString::fromLatin1(reply)) << size << ": " << result.size() << " characters";
        } else {
            EXPECT_TRUE(result == Refused) << size << ": " << result.size() << " characters";
            ++refused;
        }
    }
    agent->SetReply("listlogs", {});
    agent->SetFault(FakeAgent::Fault::Endless, FakeAgent::Scope::CommandsOnly);
    EXPECT_EQ(Fetch(), Refused);
    EXPECT_EQ(Boxes(answers), QStringList(refused + 1, Warning("连接发生错误!")));
    agent->SetFault(FakeAgent::Fault::None);
    EXPECT_TRUE(Fetch().startsWith("<client cmd=\"listlogs\">")) << "the refusal went with its list";
}

// Every byte as the agent sent it, CR LF, lone LF and GBK text alike; every block counts in the
// progress; the maximum is the listed size / 100, at least 1, and 100 for under 100 bytes.
TEST_F(LogThreadsTest, SaveWritesTheBytesUnchanged)
{
    ScriptedAnswerer answers; // an unexpected box fails the test instead of waiting for an operator
    QByteArray log = Gbk::Encode(QStringLiteral("第一行\r\nsecond\nthird\r\n\r\n"));
    while (log.size() < 20000)
        log += log;
    WriteFiles(logs, {{"big.log", log}, {"tiny.log", "0123456789"}});
    auto* save = new ThreadSaveLogFile(agent->Ip(), "big.log", local.filePath("big.txt"), int(log.size()));
    EXPECT_EQ(save->GetMax(), int(log.size()) / 100);
    const std::vector<int> seen = RunWorker(save);
    EXPECT_EQ(ReadFile(local.filePath("big.txt")), log);
    EXPECT_GE(seen.back(), int(log.size() / 4096) * 40);

    for (const auto& [size, max] : std::vector<std::pair<int, int>>{{99, 100}, {100, 1}, {199, 1}, {200, 2}})
        EXPECT_EQ(std::unique_ptr<ThreadSaveLogFile>(new ThreadSaveLogFile("x", "n", "p", size))->GetMax(), max) << size;
    EXPECT_EQ(RunWorker(new ThreadSaveLogFile(agent->Ip(), "tiny.log", local.filePath("tiny.txt"), 10)),
              std::vector<int>{0}) << "ten bytes count as no progress";
    EXPECT_EQ(ReadFile(local.filePath("tiny.txt")), "0123456789");
    EXPECT_EQ(Boxes(answers), QStringList());
}

// A stop between two blocks leaves the part received so far in the file.
TEST_F(LogThreadsTest, StoppedSaveLeavesThePartReceived)
{
    const QByteArray log(30000, 'z');
    WriteFiles(logs, {{"z.log", log}});
    agent->SetFault(FakeAgent::Fault::Split, FakeAgent::Scope::CommandsOnly);
    agent->SetSplitPauseMs(Patience); // the second half comes only when the agent is gone
    const QString path = local.filePath("z.txt");
    ScriptedAnswerer answers;
    bool stopped = false;
    RunWorker(new ThreadSaveLogFile(agent->Ip(), "z.log", path, int(log.size())), [&](ThreadProcessBar& w) {
        if (!stopped && QFileInfo(path).size() == log.size() / 2)
            w.Stop(), stopped = true;
    });
    EXPECT_TRUE(stopped);
    EXPECT_EQ(ReadFile(path), log.left(log.size() / 2));
}

// A rejected key, which the remote log window's own connection meets first: the save worker
// warns, sends nothing more (not even "exit") and leaves an existing file untouched; the list
// worker says nothing itself, still ends with "exit", and GetResult warns and gives "0".
TEST_F(LogThreadsTest, RejectedKey)
{
    WriteFiles(logs, {{"a.log", "content"}});
    WriteFiles(local, {{"old.txt", "keep me"}});
    agent->SetFault(FakeAgent::Fault::RejectKey);
    ScriptedAnswerer answers;
    RunWorker(new ThreadSaveLogFile(agent->Ip(), "a.log", local.filePath("old.txt"), 7));
    EXPECT_EQ(Boxes(answers), QStringList{Warning("密钥错误,请检查!")});
    EXPECT_TRUE(Settled(*agent)) << "the connection is closed";
    EXPECT_EQ(agent->Lines().size(), 1) << agent->Lines().join('|').toStdString();
    EXPECT_EQ(ReadFile(local.filePath("old.txt")), "keep me");

    agent->ClearLines();
    EXPECT_EQ(Fetch(), "0");
    EXPECT_EQ(Boxes(answers).mid(1), QStringList{Warning("由于网络原因获得文件名时发生错误!")});
    EXPECT_TRUE(Settled(*agent));
    EXPECT_EQ(agent->Lines().mid(1), QStringList{"exit"});
}

// A stop ends a log or list worker at once, also amid a trickling authentication reply or a log
// without end, and without a box; memory stays small. (Unstopped, such replies are bounded
// through the windows.)
TEST_F(LogThreadsTest, HostileRepliesEndOnAStop)
{
    using F = FakeAgent::Fault;
    WriteFiles(logs, {{"a.log", QByteArray(5000, 'a')}});
    const std::function<ThreadProcessBar*()> logWorker = [&] {
        return new ThreadGetLogFile(agent->Ip(), "a.log", nullptr, 5000);
    };
    const std::function<ThreadProcessBar*()> listWorker = [&] { return new ThreadGetAllFileName(agent->Ip()); };
    const struct {
        const char* what;
        F fault;
        FakeAgent::Scope scope;
        std::function<ThreadProcessBar*()> worker;
    } cases[] = {
        {"log, trickled key", F::Trickle, FakeAgent::Scope::All, logWorker},
        {"list, trickled key", F::Trickle, FakeAgent::Scope::All, listWorker},
        {"log without end", F::Endless, FakeAgent::Scope::CommandsOnly, logWorker},
    };
    agent->SetSplitPauseMs(QuietMs() / 3); // every byte within a wait of the one before
    for (const auto& c : cases) {
        EXPECT_TRUE(Settled(*agent)) << c.what;
        agent->SetFault(c.fault, c.scope);
        agent->ClearLines();
        ScriptedAnswerer answers;
        LoopWatch watch;
        QElapsedTimer clock;
        clock.start();
        qint64 stoppedAt = -1;
        RunWorker(c.worker(), [&](ThreadProcessBar& w) {
            const bool underWay = c.fault == F::Trickle ? !agent->Lines().isEmpty() : w.GetPosition() > 100;
            if (stoppedAt < 0 && underWay) {
                w.Stop();
                stoppedAt = clock.elapsed();
            }
        });
        // A generous bound that a loaded machine keeps: long before the whole wait would have ended.
        EXPECT_GE(stoppedAt, 0) << c.what;
        EXPECT_LT(clock.elapsed() - stoppedAt, AgentTimings::Scaled(AgentTimings::ReplyTotalMs) / 2) << c.what;
        EXPECT_EQ(Boxes(answers), QStringList()) << c.what;
        EXPECT_LT(watch.GrowthMiB(), 100) << c.what;
    }
    ThreadGetAllFileName::ClearResult();
}

// A log without end, not stopped, ends at the limit of a log: the console says so in a line of its
// own, and the viewer gets the end of what came, as after a stop, while memory stays small.
TEST_F(LogThreadsTest, EndlessLogEndsAtItsLimit)
{
    WriteFiles(logs, {{"a.log", QByteArray(5000, 'a')}});
    agent->SetFault(FakeAgent::Fault::Endless, FakeAgent::Scope::CommandsOnly);
    ScriptedAnswerer answers;
    ConsoleDb::ClearLog();
    QTextEdit target;
    std::optional<LogExcerpt> shown;
    ThreadGetLogFile::Viewer viewer;
    viewer.shown = [&](const LogExcerpt& log) { shown = log; };
    LoopWatch watch;
    RunWorker(new ThreadGetLogFile(agent->Ip(), "a.log", &target, 5000, viewer));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.has_value(); }, Patience));
    EXPECT_EQ(shown->Total(), AgentLimits::Log);
    EXPECT_EQ(LongLines::Text(target.document()), QString(LogExcerpt::ShownBytes, QLatin1Char('x')));
    EXPECT_TRUE(ConsoleDb::LogText().contains(
        QStringLiteral("日志文件 a.log 超过 %1 字节,其后部分已截断.").arg(AgentLimits::Log)));
    EXPECT_EQ(Boxes(answers), QStringList());
    EXPECT_LT(watch.GrowthMiB(), 100);
}

} // namespace
