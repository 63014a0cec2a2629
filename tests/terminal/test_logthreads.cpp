// The log, log-save and log-list workers against a fake agent: results, progress, stops and failures.
#include "platform/GbkCodec.h"
#include "support/AgentTestSupport.h"
#include "terminal/ThreadGetAllFileName.h"
#include "terminal/ThreadGetLogFile.h"
#include "terminal/ThreadSaveFile.h"

#include <QElapsedTimer>
#include <QTextEdit>

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
        const QString result = ThreadGetAllFileName::GetResult();
        ThreadGetAllFileName::ClearResult();
        return result;
    }

    QTemporaryDir logs;
    QTemporaryDir local;
    std::unique_ptr<FakeAgent> agent;
};

// The list comes whole as the agent sent it, and the transfer ends at its closing tag rather
// than after a quiet wait.
TEST_F(LogThreadsTest, ListArrivesWholeAndEndsAtItsClosingTag)
{
    ScriptedAnswerer answers; // an unexpected box fails the test instead of waiting for an operator
    WriteFiles(logs, {{"a.log", QByteArray(999, 'a')}, {QStringLiteral("运行.log"), QByteArray(1000, 'b')}});
    QElapsedTimer clock;
    clock.start();
    const QString list = Fetch();
    EXPECT_LT(clock.elapsed(), QuietMs()) << "the list ends at </client>, not after a quiet wait";
    EXPECT_TRUE(list.startsWith("<client cmd=\"listlogs\"><logs><log name=\"a.log\" size=\"999\""));
    EXPECT_TRUE(list.contains(QStringLiteral("name=\"运行.log\" size=\"1000\"")));
    EXPECT_TRUE(Settled(*agent));
    EXPECT_EQ(agent->Lines().mid(1), QStringList({"listlogs", "exit"}));
    EXPECT_EQ(Boxes(answers), QStringList());
}

// Nothing collected (a rejected key, a refused connection, a silent agent): the worker's own box
// or none, then GetResult warns and gives "0". A rejected key still ends with "exit". An agent
// that closes after the key is checked through the remote log window.
TEST_F(LogThreadsTest, NothingCollectedGivesZeroAfterAWarning)
{
    const QString nothing = Warning("由于网络原因获得文件名时发生错误!");
    const struct {
        FakeAgent::Fault fault;
        QStringList boxes;
        QStringList lines; // after the authentication line
    } cases[] = {
        {FakeAgent::Fault::RejectKey, {nothing}, {"exit"}},
        {FakeAgent::Fault::Refuse, {Warning("建立连接失败!"), nothing}, {}},
        {FakeAgent::Fault::Silent, {Warning("连接发生错误!"), nothing}, {"exit"}},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Settled(*agent)); // the last case's lines are all in
        agent->SetFault(c.fault);
        agent->ClearLines();
        ScriptedAnswerer answers;
        EXPECT_EQ(Fetch(), "0") << int(c.fault);
        EXPECT_EQ(Boxes(answers), c.boxes) << int(c.fault);
        EXPECT_TRUE(Settled(*agent));
        EXPECT_EQ(agent->Lines().mid(1), c.lines) << int(c.fault);
    }
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

// A rejected key: the box, nothing more sent (not even "exit"), an existing file untouched. A
// file that cannot be made: a warning naming it, and the file is never asked for.
TEST_F(LogThreadsTest, SaveFailuresLeaveTheLocalFileAlone)
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

    agent->SetFault(FakeAgent::Fault::None);
    agent->ClearLines();
    const QString bad = local.filePath("no/such/folder/a.txt");
    RunWorker(new ThreadSaveLogFile(agent->Ip(), "a.log", bad, 7));
    EXPECT_EQ(Boxes(answers).last(), Warning("无法创建本地文件：" + bad));
    EXPECT_TRUE(Settled(*agent));
    EXPECT_EQ(agent->Lines().mid(1), QStringList{"exit"});
    EXPECT_FALSE(QFileInfo::exists(bad));
}

// The viewer's worker hands rich text to the control formatted, its GBK and Unicode escapes
// as characters; a rejected key is warned. Plain GBK text is checked through the viewer window.
TEST_F(LogThreadsTest, ViewerTextArrivesInTheControl)
{
    const QByteArray rtf = "{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0 SimSun;}}{\\colortbl ;\\red255\\green0\\blue0;}"
                           "\\f0 plain \\b bold\\b0  \\cf1 red\\cf0\\par \\'d6\\'d0\\'ce\\'c4 \\u8364?}";
    WriteFiles(logs, {{"doc.rtf", rtf}});
    QTextEdit edit;
    RunWorker(new ThreadGetLogFile(agent->Ip(), "doc.rtf", &edit, int(rtf.size())));
    EXPECT_EQ(edit.toPlainText(), QStringLiteral("plain bold red\n中文 €"));
    QTextCursor at(edit.document());
    at.setPosition(8); // inside "bold"
    EXPECT_EQ(at.charFormat().fontWeight(), QFont::Bold);
    at.setPosition(13); // inside "red"
    EXPECT_EQ(at.charFormat().foreground().color(), QColor(255, 0, 0));
    at.setPosition(3);
    EXPECT_NE(at.charFormat().fontWeight(), QFont::Bold);

    ScriptedAnswerer answers;
    agent->SetFault(FakeAgent::Fault::RejectKey);
    RunWorker(new ThreadGetLogFile(agent->Ip(), "doc.rtf", &edit, 20));
    EXPECT_EQ(Boxes(answers), QStringList{Warning("密钥错误,请检查!")});
}

} // namespace
