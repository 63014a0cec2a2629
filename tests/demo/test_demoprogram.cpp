// The simulated terminals program against the console's own clients, for what the operator's day
// (tests/endtoend) does not reach: who fails and who is left out, the silent relay controller,
// power and button, following the table and the settings, and its ends.
#include "support/AgentTestSupport.h"
#include "support/DemoProgram.h"
#include "terminal/ThreadTelnet.h"

namespace {

using Connect = ThreadTelnet::ConnectResult;

constexpr int Patience = 30000; // upper bound of every wait for the program
constexpr int ProbeMs = 500;    // a connection attempt that has not ended by then hangs
const QString Running = QStringLiteral("127.0.0.31");

class DemoProgramTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { AgentTestSupport::SetUpConsole(); }
    void SetUp() override
    {
        TestDb::Truncate();
        MainForm->IniWriteInteger(AgentProtocol::KeyPort, agentPort.Number());
        MainForm->IniWriteString(AgentProtocol::KeyAuth, QStringLiteral("demo-key"));
    }
    // The relay controller is at 127.0.0.1xx for the terminal at 127.0.0.xx unless given.
    int Add(const QString& name, const QString& ip, const QString& status, QString relayIp = QString())
    {
        if (relayIp.isEmpty())
            relayIp = QString(ip).replace(QStringLiteral("127.0.0."), QStringLiteral("127.0.0.1"));
        return TestDb::Scalar(QStringLiteral("insert into zol_baseinfo (name, ip, relayIp, port) values ('%1', '%2', '%3', %4);"
                                             "insert into zol_status (zol_id, status) values (LAST_INSERT_ID(), '%5');"
                                             "select LAST_INSERT_ID();")
                                  .arg(name, ip, relayIp)
                                  .arg(relayPort.Number())
                                  .arg(status))
            .toInt();
    }
    bool Start()
    {
        return demo.Start({QStringLiteral("--settings"), MainForm->GetConfIni()->FileName(), QStringLiteral("--boot-ms"),
                           QStringLiteral("200"), QStringLiteral("--refresh-ms"), QStringLiteral("200"),
                           QStringLiteral("--agent-down"), QStringLiteral("127.0.0.33"), QStringLiteral("--silent-relay"),
                           QStringLiteral("127.0.0.134")});
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

// Each loopback terminal as its stored state and its fault say, a terminal elsewhere left out; a
// silent relay controller switches nothing. Power off stops the machine; power on alone does not
// start it; the button does, after its boot time, and the terminal then stores itself as running;
// the button again shuts it down.
TEST_F(DemoProgramTest, AnswersAsStoredAndPowerAndButtonDriveTheMachine)
{
    const int id = Add("运行", Running, "up");
    Add("代理停", QStringLiteral("127.0.0.33"), "up");
    const int silent = Add("继电器无声", QStringLiteral("127.0.0.34"), "up");
    Add("关机", QStringLiteral("127.0.0.35"), "  down ");
    Add("断电", QStringLiteral("127.0.0.36"), "poweroff");
    Add("外地", QStringLiteral("10.9.8.7"), "up");
    ASSERT_TRUE(Start()) << demo.Output().toStdString();
    EXPECT_TRUE(demo.Output().contains(QStringLiteral("ready, 5 demo terminals"))) << demo.Output().toStdString();
    EXPECT_FALSE(demo.Output().contains(QStringLiteral("10.9.8.7")));
    EXPECT_EQ(Probe(Running), Connect::Connected);
    for (const char* ip : {"127.0.0.33", "127.0.0.35", "127.0.0.36"})
        EXPECT_EQ(Probe(QString::fromLatin1(ip)), Connect::Failed) << ip;
    EXPECT_EQ(Relay(silent, OpPowerOff), RelayFail::InQuery | RelayFail::NoReply);
    EXPECT_EQ(Probe(QStringLiteral("127.0.0.34")), Connect::Connected) << "a silent relay switches nothing";

    ASSERT_EQ(Relay(id, OpPowerOff), RelayFail::Success);
    EXPECT_TRUE(Becomes(Running, Connect::Failed));
    ASSERT_EQ(Relay(id, OpPowerOn), RelayFail::Success);
    EXPECT_EQ(Probe(Running), Connect::Failed) << "power alone does not start the machine";
    ASSERT_EQ(Relay(id, OpStart), RelayFail::Success);
    EXPECT_TRUE(Becomes(Running, Connect::Connected));
    const QString status = QStringLiteral("select status from zol_status where zol_id = %1").arg(id);
    EXPECT_TRUE(QTest::qWaitFor([&] { return TestDb::Scalar(status) == "up"; }, Patience));
    ASSERT_EQ(Relay(id, OpShutdown), RelayFail::Success);
    EXPECT_TRUE(Becomes(Running, Connect::Failed));
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

// Told to end, it ends normally; a database that can no longer be read ends it by itself; a
// terminal whose address another program holds is reported, never "ready". Last of the file: it
// drops the database that the data source names.
TEST_F(DemoProgramTest, EndsWhenToldOrWhenTheDatabaseGoes)
{
    Add("一号", Running, "up");
    ASSERT_TRUE(Start()) << demo.Output().toStdString();
    EXPECT_EQ(demo.Stop(), 0) << demo.Output().toStdString();
    EXPECT_EQ(Probe(Running), Connect::Failed);

    {
        QTcpServer otherProgram;
        ASSERT_TRUE(otherProgram.listen(QHostAddress(Running), agentPort.Number()));
        EXPECT_FALSE(Start());
        EXPECT_TRUE(demo.Output().contains(QStringLiteral("1 of 1 demo terminals cannot listen")))
            << demo.Output().toStdString();
        EXPECT_EQ(demo.Stop(), 0);
    }

    // A fresh database that the data source names from now on, dropped under the program.
    const QString own = TestDb::CreateFresh();
    Add("一号", Running, "up");
    ASSERT_TRUE(Start()) << demo.Output().toStdString();
    EXPECT_EQ(Probe(Running), Connect::Connected);
    TestDb::Exec(QStringLiteral("drop database %1").arg(own));
    EXPECT_EQ(demo.WaitForExit(), 0);
    EXPECT_TRUE(demo.Output().contains(QStringLiteral("the demo terminals stop"))) << demo.Output().toStdString();
    EXPECT_EQ(Probe(Running), Connect::Failed);
}
