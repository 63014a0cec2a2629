// The simulated terminals program against the console's own clients: who answers and who fails,
// power and button through the relay controller, real log files, a changing desktop, following
// the table and the settings, and its ends.
#include "console/DevTestSupport.h"
#include "platform/GbkCodec.h"
#include "platform/JpegImage.h"
#include "support/DemoProgram.h"
#include "support/ScriptedAnswerer.h"
#include "terminal/AgentClient.h"
#include "terminal/AgentProtocol.h"
#include "terminal/RemoteDeviceController.h"
#include "terminal/ThreadTelnet.h"

#include <QTest>

namespace {

using Connect = ThreadTelnet::ConnectResult;

constexpr int Patience = 30000;    // upper bound of every wait for the program
constexpr int ProbeMs = 500;       // a connection attempt that has not ended by then hangs
constexpr int WaitDivisor = 10;    // relay and agent replies awaited 600 ms
const QString Running = QStringLiteral("127.0.0.31");
const QString CutOff = QStringLiteral("127.0.0.32");
const QString AgentDown = QStringLiteral("127.0.0.33");
const QString SilentRelay = QStringLiteral("127.0.0.134");
const QString Down = QStringLiteral("127.0.0.35");
const QString PoweredOff = QStringLiteral("127.0.0.36");

// One command on a connection of its own, as the log workers send it: what came back, and
// whether the agent ended the reply by closing its side.
struct Reply {
    QByteArray bytes;
    bool ended = false;
};

Reply Ask(const QString& ip, const QString& command, const QByteArray& until = QByteArray())
{
    Reply reply;
    AgentClient client(ip);
    if (!client.Open())
        return reply;
    client.SendAuth();
    if (client.AwaitReply()) {
        client.SendLine(command);
        for (QByteArray part; !(part = client.Read()).isEmpty();) {
            reply.bytes += part;
            if (!until.isEmpty() && reply.bytes.endsWith(until))
                break;
        }
        reply.ended = !client.IsOpen();
    }
    client.Cleanup();
    return reply;
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class DemoProgramTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ConsoleDb::SetUp();
        RelayTimings::SetForTest(WaitDivisor);
    }
    void SetUp() override
    {
        TestDb::Truncate();
        MainForm->IniWriteInteger(AgentProtocol::KeyPort, agentPort.Number());
        MainForm->IniWriteString(AgentProtocol::KeyAuth, QStringLiteral("demo-key"));
    }
    int Add(const QString& name, const QString& ip, const QString& status, const QString& relayIp = QString())
    {
        const QString relay = relayIp.isEmpty() ? QString(ip).replace(QStringLiteral("127.0.0."), QStringLiteral("127.0.0.1"))
                                                : relayIp;
        return TestDb::Scalar(QStringLiteral("insert into zol_baseinfo (name, ip, relayIp, port) values ('%1', '%2', '%3', %4);"
                                             "insert into zol_status (zol_id, status) values (LAST_INSERT_ID(), '%5');"
                                             "select LAST_INSERT_ID();")
                                  .arg(name, ip, relay).arg(relayPort.Number()).arg(status))
            .toInt();
    }
    bool Start()
    {
        return demo.Start({QStringLiteral("--settings"), MainForm->GetConfIni()->FileName(), QStringLiteral("--boot-ms"),
                           QStringLiteral("200"), QStringLiteral("--refresh-ms"), QStringLiteral("200"),
                           QStringLiteral("--cut-off"), CutOff, QStringLiteral("--agent-down"), AgentDown,
                           QStringLiteral("--silent-relay"), SilentRelay});
    }
    Connect Probe(const QString& ip, int port = 0) const
    {
        return ThreadTelnet::TryConnect(ip, port ? port : agentPort.Number(), ProbeMs);
    }
    bool Becomes(const QString& ip, Connect result, int port = 0) const
    {
        return QTest::qWaitFor([&] { return Probe(ip, port) == result; }, Patience);
    }
    static int Relay(int id, char op)
    {
        const std::unique_ptr<DevBean> device = MainForm->LoadDevice(id);
        RemoteDeviceController controller(device.get());
        return controller.Execute(op);
    }

    HeldPort agentPort;
    HeldPort relayPort;
    DemoProgram demo;
    ScriptedAnswerer answers;
};

} // namespace

// Each loopback terminal as its stored state and its fault say; a terminal elsewhere is left out.
TEST_F(DemoProgramTest, AnswersAsStoredAndFailsWhereTold)
{
    Add("运行", Running, "up");
    Add("断网", CutOff, "up");
    Add("代理停", AgentDown, "up");
    const int silent = Add("继电器无声", QStringLiteral("127.0.0.34"), "up", SilentRelay);
    Add("关机", Down, "  down ");
    Add("断电", PoweredOff, "poweroff");
    Add("外地", QStringLiteral("10.9.8.7"), "up");
    ASSERT_TRUE(Start()) << demo.Output().toStdString();

    EXPECT_TRUE(demo.Output().contains(QStringLiteral("ready, 6 demo terminals"))) << demo.Output().toStdString();
    EXPECT_FALSE(demo.Output().contains(QStringLiteral("10.9.8.7")));
    EXPECT_EQ(Probe(Running), Connect::Connected);
    EXPECT_EQ(Probe(QStringLiteral("127.0.0.34")), Connect::Connected);
    EXPECT_EQ(Probe(CutOff), Connect::TimedOut);
    for (const QString& ip : {AgentDown, Down, PoweredOff})
        EXPECT_EQ(Probe(ip), Connect::Failed) << ip.toStdString();
    EXPECT_EQ(Relay(silent, OpPowerOff), RelayFail::InQuery | RelayFail::NoReply);
    EXPECT_EQ(Probe(QStringLiteral("127.0.0.34")), Connect::Connected) << "a silent relay switches nothing";
}

// Power off stops the machine; power on alone does not start it; the button does, after its boot
// time, and the terminal then stores itself as running; the button again shuts it down. Each
// step leaves its line in the agent's own log.
TEST_F(DemoProgramTest, PowerAndButtonDriveTheMachine)
{
    const int id = Add("一号", Running, "up");
    ASSERT_TRUE(Start()) << demo.Output().toStdString();
    const QString status = QStringLiteral("select status from zol_status where zol_id = %1").arg(id);
    const QString agentLog = demo.LogFolder(Running) + QStringLiteral("/zolagent.log");

    ASSERT_EQ(Relay(id, OpPowerOff), RelayFail::Success);
    EXPECT_TRUE(Becomes(Running, Connect::Failed));
    ASSERT_EQ(Relay(id, OpPowerOn), RelayFail::Success);
    EXPECT_EQ(Probe(Running), Connect::Failed) << "power alone does not start the machine";

    ASSERT_EQ(Relay(id, OpStart), RelayFail::Success);
    EXPECT_TRUE(Becomes(Running, Connect::Connected));
    EXPECT_TRUE(QTest::qWaitFor([&] { return TestDb::Scalar(status) == "up"; }, Patience));
    EXPECT_TRUE(Gbk::Decode(FileBytes(agentLog)).endsWith(QStringLiteral("] 系统启动，终端代理服务开始运行\r\n")));

    ASSERT_EQ(Relay(id, OpShutdown), RelayFail::Success);
    EXPECT_TRUE(Becomes(Running, Connect::Failed));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Gbk::Decode(FileBytes(agentLog)).endsWith(QStringLiteral("] 收到关机信号，系统关机\r\n")); },
                                Patience));
}

// The log files are real files in GBK: listed with their sizes, fetched whole, deleted on disk.
// A reply ends with the agent closing its side, not after the console's quiet wait.
TEST_F(DemoProgramTest, LogsAreRealFiles)
{
    Add("一号", Running, "up");
    ASSERT_TRUE(Start()) << demo.Output().toStdString();
    const QDir folder(demo.LogFolder(Running));
    const QString today = QStringLiteral("kiosk-") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) +
                          QStringLiteral(".log");
    const QStringList files = folder.entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files.size(), 4) << files.join(' ').toStdString();
    EXPECT_TRUE(files.contains(today) && files.contains(QStringLiteral("zolagent.log")));

    const Reply list = Ask(Running, QStringLiteral("listlogs"));
    EXPECT_TRUE(list.ended);
    const QDomElement logs = AgentProtocol::ParseReply(Gbk::Decode(list.bytes)).documentElement().firstChildElement();
    QStringList listed;
    for (QDomElement log = logs.firstChildElement(); !log.isNull(); log = log.nextSiblingElement())
        listed << log.attribute("name") + '|' + QString::number(QFileInfo(folder.filePath(log.attribute("name"))).size());
    QStringList expected;
    for (const QString& file : files)
        expected << file + '|' + QString::number(QFileInfo(folder.filePath(file)).size());
    EXPECT_EQ(listed, expected);

    const Reply log = Ask(Running, QStringLiteral("getlog,zolagent.log"));
    EXPECT_TRUE(log.ended);
    EXPECT_EQ(log.bytes, FileBytes(folder.filePath(QStringLiteral("zolagent.log"))));
    EXPECT_TRUE(Gbk::Decode(log.bytes).contains(QStringLiteral("[一号] 系统启动")));

    Ask(Running, QStringLiteral("dellog,") + files[0] + u',' + files[1]);
    EXPECT_TRUE(QTest::qWaitFor([&] { return folder.entryList(QDir::Files).size() == 2; }, Patience));
}

// Two pictures fetched one after the other while the window watches differ; both are whole
// pictures of the kiosk's screen.
TEST_F(DemoProgramTest, DesktopChangesWhileWatched)
{
    Add("一号", Running, "up");
    ASSERT_TRUE(Start()) << demo.Output().toStdString();
    const QByteArray end = QByteArray::fromHex("FFD9");
    const QByteArray first = Ask(Running, QStringLiteral("desk"), end).bytes;
    QByteArray second;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        second = Ask(Running, QStringLiteral("desk"), end).bytes;
        return !second.isEmpty() && second != first;
    }, Patience));
    for (const QByteArray& picture : {first, second}) {
        const QImage image = JpegImage::Decode(picture);
        EXPECT_EQ(image.size(), QSize(800, 600));
    }
}

// Terminals that the operator adds, moves or deletes follow within a read of the table; so does
// the agent port of the settings.
TEST_F(DemoProgramTest, FollowsTheTableAndTheSettings)
{
    Add("一号", Running, "up");
    ASSERT_TRUE(Start()) << demo.Output().toStdString();
    const int added = Add("新增", QStringLiteral("127.0.0.37"), "up");
    EXPECT_TRUE(Becomes(QStringLiteral("127.0.0.37"), Connect::Connected));
    TestDb::Exec(QStringLiteral("update zol_baseinfo set ip = '127.0.0.38' where id = %1").arg(added));
    EXPECT_TRUE(Becomes(QStringLiteral("127.0.0.38"), Connect::Connected));
    EXPECT_EQ(Probe(QStringLiteral("127.0.0.37")), Connect::Failed);
    TestDb::Exec(QStringLiteral("delete from zol_baseinfo where id = %1").arg(added));
    EXPECT_TRUE(Becomes(QStringLiteral("127.0.0.38"), Connect::Failed));

    HeldPort moved;
    MainForm->IniWriteInteger(AgentProtocol::KeyPort, moved.Number());
    EXPECT_TRUE(Becomes(Running, Connect::Connected, moved.Number()));
    EXPECT_EQ(Probe(Running, agentPort.Number()), Connect::Failed);
}

// Told to end, it ends normally; a database that can no longer be read ends it by itself.
TEST_F(DemoProgramTest, EndsWhenToldOrWhenTheDatabaseGoes)
{
    Add("一号", Running, "up");
    ASSERT_TRUE(Start()) << demo.Output().toStdString();
    EXPECT_EQ(demo.Stop(), 0) << demo.Output().toStdString();
    EXPECT_EQ(Probe(Running), Connect::Failed);

    // A database of its own, dropped under it.
    const QString own = TestDb::Scalar("select database()") + QStringLiteral("_gone");
    TestDb::Exec(QStringLiteral("create database %1; create table %1.zol_baseinfo like zol_baseinfo;"
                                "create table %1.zol_status like zol_status;"
                                "insert into %1.zol_baseinfo select * from zol_baseinfo;")
                     .arg(own));
    QTemporaryDir odbc;
    QFile::copy(QString::fromLocal8Bit(qgetenv("ODBCSYSINI")) + QStringLiteral("/odbcinst.ini"),
                odbc.filePath(QStringLiteral("odbcinst.ini")));
    QFile ini(QString::fromLocal8Bit(qgetenv("ODBCSYSINI")) + QStringLiteral("/odbc.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(ini.readAll());
    text.replace(QRegularExpression(QStringLiteral("DATABASE=.*")), QStringLiteral("DATABASE=") + own);
    QFile copy(odbc.filePath(QStringLiteral("odbc.ini")));
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly) && copy.write(text.toUtf8()) > 0);
    copy.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ODBCSYSINI"), odbc.path());
    ASSERT_TRUE(demo.Start({QStringLiteral("--settings"), MainForm->GetConfIni()->FileName(), QStringLiteral("--refresh-ms"),
                            QStringLiteral("200")},
                           env))
        << demo.Output().toStdString();
    EXPECT_EQ(Probe(Running), Connect::Connected);
    TestDb::Exec(QStringLiteral("drop database %1").arg(own));
    EXPECT_EQ(demo.WaitForExit(), 0);
    EXPECT_TRUE(demo.Output().contains(QStringLiteral("the demo terminals stop"))) << demo.Output().toStdString();
    EXPECT_EQ(Probe(Running), Connect::Failed);
}
