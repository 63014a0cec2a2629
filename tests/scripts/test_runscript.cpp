// The run command: headless through a private VNC X server, its servers stopped on every way out, a
// private folder and database account that only the owner reaches, a taken database port moved, and
// --dsn on an existing data source or on one that cannot be reached.
#include "support/DbFolder.h"
#include "support/DemoProgram.h"
#include "support/RunScript.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <csignal>
#include <functional>
#include <optional>
#include <thread>
#include <unistd.h>

static void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

constexpr int StartTimeoutMs = RunScript::StartTimeoutMs;
constexpr int EndTimeoutMs = RunScript::EndTimeoutMs;
constexpr int IoTimeoutMs = RunScript::IoTimeoutMs;
constexpr char RfbSecurityVncAuth = 2;
constexpr int RfbChallengeSize = 16;
constexpr int FirstVncPort = 5900;
constexpr int OtherVncServers = 4; // 5900-5903, as other desktops on the machine hold them
constexpr auto HangUpGap = std::chrono::milliseconds(50); // a closing terminal's second HUP

const QRegularExpression VncPort(QStringLiteral(R"(VNC on 127\.0\.0\.1:(\d+) only)"));
const QRegularExpression VncPassword(QStringLiteral(R"(VNC password: (\S+))"));
const QRegularExpression DatabasePort(QStringLiteral(R"(MariaDB on 127\.0\.0\.1:(\d+))"));

QString Line(const QString& report, const QString& key)
{
    return QRegularExpression(QStringLiteral("^%1=(.*)$").arg(key), QRegularExpression::MultilineOption)
        .match(report)
        .captured(1);
}

// The local addresses (as /proc/net shows them: "0100007F" is 127.0.0.1) of every socket that
// listens on this TCP port, IPv4 and IPv6.
QStringList ListeningAddresses(int port)
{
    const QString hexPort = QStringLiteral("%1").arg(port, 4, 16, QLatin1Char('0')).toUpper();
    constexpr auto Listen = "0A";
    QStringList addresses;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        const QStringList lines = QString::fromLatin1(Slurp(QString::fromLatin1(table))).split(QLatin1Char('\n'));
        for (const QString& line : lines.mid(1)) {
            const QStringList fields = line.simplified().split(QLatin1Char(' '));
            if (fields.size() > 3 && fields[3] == QLatin1String(Listen) && fields[1].endsWith(':' + hexPort))
                addresses << fields[1].section(QLatin1Char(':'), 0, 0);
        }
    }
    return addresses;
}

// A process that exists and has not ended (a zombie has ended).
bool Alive(qint64 pid)
{
    const QByteArray stat = Slurp(QStringLiteral("/proc/%1/stat").arg(pid));
    return pid > 0 && !stat.isEmpty() && stat.mid(stat.lastIndexOf(')') + 2, 1) != "Z";
}

// The processes that the script started and that run now, with their command lines.
QMap<qint64, QString> Children(qint64 pid)
{
    QMap<qint64, QString> children;
    for (const QByteArray& child : Slurp(QStringLiteral("/proc/%1/task/%1/children").arg(pid)).split(' '))
        if (const qint64 id = child.toLongLong(); id > 0)
            children[id] = QString::fromUtf8(Slurp(QStringLiteral("/proc/%1/cmdline").arg(id)).replace('\0', ' '));
    return children;
}

QByteArray ReadExactly(QTcpSocket& socket, qsizetype size)
{
    QByteArray data;
    while (data.size() < size && (socket.bytesAvailable() || socket.waitForReadyRead(IoTimeoutMs)))
        data += socket.read(size - data.size());
    return data;
}

// An RFB session up to the server's security result for VNC authentication with this response to
// its challenge: the security types offered, then that result.
struct Handshake {
    QByteArray offered;
    QByteArray result;
};

Handshake Authenticate(int port, const QByteArray& response)
{
    Handshake handshake;
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(IoTimeoutMs) || ReadExactly(socket, 12) != "RFB 003.008\n")
        return handshake;
    socket.write("RFB 003.008\n");
    const QByteArray count = ReadExactly(socket, 1);
    handshake.offered = ReadExactly(socket, count.isEmpty() ? 0 : static_cast<uchar>(count[0]));
    socket.write(QByteArray(1, RfbSecurityVncAuth));
    ReadExactly(socket, RfbChallengeSize);
    socket.write(response);
    handshake.result = ReadExactly(socket, 4);
    return handshake;
}

// Listens on 127.0.0.1 at the VNC ports another desktop of the machine would hold and counts the
// connections that reach them. A port that some program already holds is just as taken while it
// does, but that program may let it go before the run chooses, so only the ports held here count.
struct HeldVncPorts {
    HeldVncPorts()
    {
        for (int port = FirstVncPort; port < FirstVncPort + OtherVncServers; ++port) {
            auto server = std::make_unique<QTcpServer>();
            if (server->listen(QHostAddress::LocalHost, quint16(port)))
                servers.push_back(std::move(server));
        }
    }
    bool Holds(int port) const
    {
        for (const auto& server : servers)
            if (server->serverPort() == port)
                return true;
        return false;
    }
    int Connections() const
    {
        int count = 0;
        for (const auto& server : servers) {
            server->waitForNewConnection(0); // one the event loop has not taken yet
            count += server->hasPendingConnections() ? 1 : 0;
        }
        return count;
    }
    std::vector<std::unique_ptr<QTcpServer>> servers;
};

// Without a display: the console on a managed screen of the size asked for; VNC on 127.0.0.1 only,
// on a free port found without connecting to others, behind a kept password; the private folder and
// all in it the owner's only, also after they were loosened by hand; every server goes on every way
// out (two hang-ups too), or at the next run after a kill, which says so once for each.
TEST(RunScriptHeadless, LoopbackOnlyWithThePasswordAndEveryWayOutStopsTheServers)
{
    RunScript run(true);
    // For the first run: the ports are held while it chooses one.
    std::optional<HeldVncPorts> others;
    others.emplace();
    const struct {
        const char* way;
        std::function<void()> end;
        int exitCode; // -1: killed outright, the servers stay for the next run
        QStringList args;
        const char* screen;
    } ways[] = {
        {"console ends", [&] { run.EndConsole(0); }, 0, {}, "1600x1000"},
        {"script killed outright", [&] { run.Signal(SIGKILL); }, -1, {}, "1600x1000"},
        {"console fails", [&] { run.EndConsole(3); }, 3, {"--geometry", "1280x800"}, "1280x800"},
        {"script terminated", [&] { run.Signal(SIGTERM); }, 128 + SIGTERM, {}, "1600x1000"},
        {"script interrupted", [&] { run.Signal(SIGINT); }, 128 + SIGINT, {}, "1600x1000"},
        {"terminal hung up twice",
         [&] {
             run.Signal(SIGHUP);
             std::this_thread::sleep_for(HangUpGap);
             run.Signal(SIGHUP);
         },
         128 + SIGHUP, {}, "1600x1000"},
    };
    const QString vnc = run.Home() + QStringLiteral("/vnc");
    const QString passwordFile = vnc + QStringLiteral("/password");
    const QString db = run.Home() + QStringLiteral("/db");
    QString firstPassword;
    QMap<qint64, QString> leftBehind;
    for (const auto& way : ways) {
        SCOPED_TRACE(way.way);
        run.Start(QString(), way.args);
        const QString report = run.WaitForConsole();
        ASSERT_FALSE(report.isEmpty()) << run.State() << "; it printed:\n" << run.Output().toStdString();
        EXPECT_EQ(Line(report, "x"), "ok") << "the console reaches its X server: " << report.toStdString();
        EXPECT_EQ(Line(report, "wm"), "ok") << report.toStdString();
        EXPECT_EQ(Line(report, "screen"), way.screen);
        // The window manager goes with its X server.
        for (auto server = leftBehind.cbegin(); server != leftBehind.cend(); ++server)
            EXPECT_TRUE(QTest::qWaitFor([&] { return !Alive(server.key()); }, EndTimeoutMs))
                << server.value().toStdString() << " left by the killed run";
        if (!leftBehind.isEmpty()) {
            EXPECT_EQ(run.Output().count(QStringLiteral("that an earlier run left running")), 3)
                << "the simulated terminals, the X server, the database server: " << run.Output().toStdString();
            EXPECT_FALSE(run.Output().contains(QStringLiteral("No such file"))) << run.Output().toStdString();
        }
        leftBehind.clear();

        const int port = run.Printed(VncPort).toInt();
        if (others) {
            EXPECT_FALSE(others->Holds(port)) << port << ": a port nobody else holds";
        }
        EXPECT_EQ(ListeningAddresses(port), QStringList{"0100007F"}) << "127.0.0.1 only";
        const Handshake wrong = Authenticate(port, QByteArray(RfbChallengeSize, '\0'));
        EXPECT_EQ(wrong.offered, QByteArray(1, RfbSecurityVncAuth)) << "no way in without the password";
        EXPECT_EQ(wrong.result, QByteArray::fromHex("00000001")) << "a wrong password is refused";

        if (firstPassword.isEmpty())
            firstPassword = run.Printed(VncPassword);
        EXPECT_EQ(run.Printed(VncPassword), firstPassword) << "made at the first run, kept since";
        EXPECT_EQ(firstPassword.size(), 8);
        EXPECT_EQ(QString::fromUtf8(Slurp(passwordFile)).trimmed(), firstPassword);
        EXPECT_EQ(OpenToOthers(run.Home()), QStringList()) << "the private folder is the owner's only";

        QMap<qint64, QString> servers = Children(run.Pid());
        const QByteArray dbPid = Slurp(db + QStringLiteral("/run/mysqld.pid"));
        servers[dbPid.trimmed().toLongLong()] = QStringLiteral("the database server");
        ASSERT_EQ(servers.size(), 5) << "the console, the X server, the window manager, the simulated terminals, the "
                                        "database server: "
                                     << QStringList(servers.values()).join(", ").toStdString();
        for (auto server = servers.cbegin(); server != servers.cend(); ++server)
            ASSERT_TRUE(Alive(server.key())) << server.value().toStdString();

        way.end();
        EXPECT_EQ(run.WaitForExit(), way.exitCode) << run.Output().toStdString();
        for (auto server = servers.cbegin(); server != servers.cend(); ++server) {
            if (way.exitCode == -1) {
                // The stand-in console has no X connection to lose, as the console has.
                if (server.value().contains(run.Path("console")))
                    ::kill(static_cast<pid_t>(server.key()), SIGKILL);
                else
                    leftBehind.insert(server.key(), server.value());
                continue;
            }
            EXPECT_FALSE(Alive(server.key())) << server.value().toStdString() << " outlives the run command";
            if (Alive(server.key()))
                ::kill(static_cast<pid_t>(server.key()), SIGKILL); // not to leave it to the machine
        }
        // Loosened by hand, and logs of the simulated terminals as an older version left them: the
        // next run makes all of them the owner's only again.
        const QString terminalLogs = run.Home() + QStringLiteral("/demo/logs/127.0.0.11");
        QDir().mkpath(terminalLogs);
        WriteFile(terminalLogs + QStringLiteral("/agent.log"), "started\n");
        LoosenByHand({run.Home(), run.Home() + QStringLiteral("/run"), passwordFile, db, db + QStringLiteral("/my.cnf"),
                      db + QStringLiteral("/data"), db + QStringLiteral("/data/ibdata1"), vnc + QStringLiteral("/Xvnc.log"),
                      vnc + QStringLiteral("/display"), vnc + QStringLiteral("/openbox.log"), run.Home() + QStringLiteral("/demo"),
                      run.Home() + QStringLiteral("/demo/logs"), terminalLogs, terminalLogs + QStringLiteral("/agent.log")});
        if (others) {
            EXPECT_EQ(others->Connections(), 0) << "nothing connects to another program's VNC port";
            others.reset();
        }
    }
}

// With a display the console opens there, beside the simulated terminals with its settings file, a
// log folder in the private folder and the demo data's failure paths (--no-demo leaves them out).
// The data folder's account is private from the start. A database port taken by another program
// moves out of the range of outgoing connections' ports, and the data source follows it to the data,
// also in a folder of an older version of the scripts, whose account and files are made private.
TEST(RunScriptWithDisplay, SimulatedTerminalsAndATakenDatabasePortMovesWithTheData)
{
    RunScript run(true);
    run.SetConsoleSql(QStringLiteral("insert into zol_baseinfo (name, ip) values ('kept-row', '127.0.0.9')"));
    run.Start(QStringLiteral(":65000"));
    const QString first = run.WaitForConsole();
    ASSERT_FALSE(first.isEmpty()) << run.Output().toStdString();
    EXPECT_EQ(Line(first, "display"), ":65000");
    EXPECT_FALSE(run.Output().contains(QStringLiteral("VNC")));
    EXPECT_EQ(run.DemoReport().split(QLatin1Char('\n'), Qt::SkipEmptyParts),
              QStringList({"--settings", run.Path("conf.ini"), "--logs", run.Home() + "/demo/logs", "--cut-off",
                           "127.0.0.15", "--agent-down", "127.0.0.19", "--silent-relay", "127.0.0.122"}));
    EXPECT_TRUE(run.Output().contains(QStringLiteral("simulated terminals for the demo data")))
        << run.Output().toStdString();
    const int keptPort = run.Printed(DatabasePort).toInt();
    const QString db = run.Home() + QStringLiteral("/db");
    ExpectPrivateAccount(db, keptPort);
    const QString firstPassword = KeptPassword(db);
    run.EndConsole(0);
    ASSERT_EQ(run.WaitForExit(), 0) << run.Output().toStdString();
    AgeDataFolder(db);

    // Should another test's server have taken the port meanwhile, it is just as well held.
    QTcpServer otherProgram;
    otherProgram.listen(QHostAddress::LocalHost, keptPort);
    run.SetConsoleSql(QStringLiteral("select 'reached', name from zol_baseinfo where name = 'kept-row'"));
    run.Start(QStringLiteral(":65000"), {QStringLiteral("--no-demo")});
    const QString second = run.WaitForConsole();
    ASSERT_FALSE(second.isEmpty()) << run.Output().toStdString();
    EXPECT_TRUE(second.contains(QStringLiteral("reached|kept-row"))) << second.toStdString();
    EXPECT_EQ(run.DemoReport(), QString());
    EXPECT_FALSE(run.Output().contains(QStringLiteral("simulated terminals")));
    const int movedPort = run.Printed(DatabasePort).toInt();
    EXPECT_NE(movedPort, keptPort);
    ExpectPrivateAccount(db, movedPort);
    for (const char* account : {"account 'backdoor'@'%'", "account 'root'@'127.0.0.1'", "role 'everything'"})
        EXPECT_TRUE(run.Output().contains(QStringLiteral("dropped the %1").arg(account))) << run.Output().toStdString();
    EXPECT_NE(KeptPassword(db), firstPassword) << "made anew, at random";
    EXPECT_EQ(OpenToOthers(run.Home()), QStringList());
    run.EndConsole(0);
    EXPECT_EQ(run.WaitForExit(), 0) << run.Output().toStdString();

    // Outside the range from which outgoing connections take their ports.
    const QByteArray range = Slurp(QStringLiteral("/proc/sys/net/ipv4/ip_local_port_range"));
    const QStringList bounds = QString::fromLatin1(range).simplified().split(QLatin1Char(' '));
    ASSERT_EQ(bounds.size(), 2);
    for (int port : {keptPort, movedPort})
        EXPECT_TRUE(port < bounds[0].toInt() || port > bounds[1].toInt()) << port;
}

// Data sources of these names on 127.0.0.1 at these ports, with a login no server accepts, in ODBC
// files of the folder that this process and its children use from now on.
void UseDataSources(const QTemporaryDir& odbc, const QList<QPair<QString, int>>& sources)
{
    WriteFile(odbc.filePath(QStringLiteral("odbcinst.ini")),
              "[MariaDB Unicode]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libmaodbc.so\n");
    QString text;
    for (const auto& [name, port] : sources)
        text += QStringLiteral("[%1]\nDriver=MariaDB Unicode\nSERVER=127.0.0.1\nPORT=%2\nDATABASE=zol\n"
                               "USER=zol\nPASSWORD=not-the-password\nCHARSET=utf8mb4\n")
                    .arg(name)
                    .arg(port);
    WriteFile(odbc.filePath(QStringLiteral("odbc.ini")), text.toUtf8());
    qputenv("ODBCSYSINI", odbc.path().toLocal8Bit());
}

// --dsn: the built console reaches its login on an existing data source, with no private server,
// demo or settings file of the script's, and the server left running.
TEST(RunScriptOnADataSource, ReachesTheLoginAndLeavesTheServerRunning)
{
    TestDb::CreateFresh(); // the data source "zol" names a fresh database on the tests' server
    RunScript run(false);
    run.UseBuiltConsole();
    const QString titleWith = QStringLiteral("\"%1\"");
    run.Start(QString(), {QStringLiteral("--dsn"), QStringLiteral("zol")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return run.WindowTitles().contains(titleWith.arg("用户登录")); }, StartTimeoutMs))
        << run.Output().toStdString();
    EXPECT_TRUE(run.Output().contains(QStringLiteral("the console uses the data source \"zol\"")))
        << run.Output().toStdString();
    EXPECT_FALSE(run.Output().contains(QStringLiteral("MariaDB on"))) << run.Output().toStdString();
    EXPECT_FALSE(QFileInfo::exists(run.Home() + QStringLiteral("/db")));
    run.Signal(SIGTERM);
    EXPECT_EQ(run.WaitForExit(), 128 + SIGTERM) << run.Output().toStdString();
    EXPECT_EQ(TestDb::Scalar(QStringLiteral("select count(*) from zol_user")), "0") << "the server runs on";
    EXPECT_FALSE(QFileInfo::exists(run.Path("conf.ini"))) << "there was none before";
}

// --dsn on a data source that cannot be reached (not defined, a server that refuses the connection,
// a login the server refuses): the run ends with the driver's reason and status 1 before an X
// server or the console starts (nobody may be there to close the console's box), and the settings
// file stays as it was.
TEST(RunScriptOnADataSource, AnUnreachableOneEndsTheRunWithTheReasonBeforeAnyServerStarts)
{
    const HeldPort refusing; // bound, never listening: a connection to it is refused
    const QTemporaryDir odbc;
    UseDataSources(odbc, {{QStringLiteral("refusing"), refusing.Number()},
                          {QStringLiteral("wronglogin"), qEnvironmentVariable("ZOL_TEST_MYSQL_PORT").toInt()}});
    RunScript run(false);
    const QByteArray settings = "[system]\nDataSource=kept\n";
    WriteFile(run.Path("conf.ini"), settings);
    const struct {
        const char* dsn;
        const char* reason;
    } sources[] = {
        {"nowhere", "[IM002] Data source name not found"},
        {"refusing", "[S1000] Can't connect to server on '127.0.0.1'"},
        {"wronglogin", "[28000] Access denied for user 'zol'"},
    };
    for (const auto& source : sources) {
        SCOPED_TRACE(source.dsn);
        run.Start(QString(), {QStringLiteral("--dsn"), QString::fromLatin1(source.dsn)});
        EXPECT_EQ(run.WaitForExit(), 1) << run.Output().toStdString();
        const QString said = QStringLiteral("the data source \"%1\" cannot be reached: ").arg(source.dsn);
        EXPECT_TRUE(run.Output().contains(said + source.reason)) << run.Output().toStdString();
        EXPECT_FALSE(run.Output().contains(QStringLiteral("[ISQL]"))) << run.Output().toStdString();
        EXPECT_FALSE(QFileInfo::exists(run.Home() + QStringLiteral("/vnc"))) << "no X server";
        EXPECT_FALSE(QFileInfo::exists(run.Path("report"))) << "no console";
        EXPECT_EQ(Slurp(run.Path("conf.ini")), settings);
    }
}

// --dsn leaves the settings file alone until the data source has answered: a run killed while its
// check waits on a server that takes the connection and never answers (for up to 30 s) leaves the
// file as it was, its content and its time.
TEST(RunScriptOnADataSource, TheSettingsFileStaysUntouchedUntilTheDataSourceAnswers)
{
    QTcpServer silent; // the system accepts for it; nothing is ever written back
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const QTemporaryDir odbc;
    UseDataSources(odbc, {{QStringLiteral("silent"), silent.serverPort()}});
    RunScript run(false);
    const QString settingsFile = run.Path("conf.ini");
    const QByteArray settings = "[system]\nDataSource=kept\n";
    WriteFile(settingsFile, settings);
    {
        QFile file(settingsFile);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        // A day back: a write at any moment of the test changes it.
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
    }
    const QDateTime stamp = QFileInfo(settingsFile).lastModified();
    const auto expectUntouched = [&](const char* when) {
        EXPECT_EQ(QString::fromUtf8(Slurp(settingsFile)), QString::fromUtf8(settings)) << when;
        EXPECT_EQ(QFileInfo(settingsFile).lastModified().toString(Qt::ISODateWithMs), stamp.toString(Qt::ISODateWithMs))
            << when;
    };
    run.Start(QString(), {QStringLiteral("--dsn"), QStringLiteral("silent")});
    const bool checking = QTest::qWaitFor(
        [&] {
            silent.waitForNewConnection(0);
            return silent.hasPendingConnections() || run.Pid() <= 0;
        },
        StartTimeoutMs);
    ASSERT_TRUE(checking && silent.hasPendingConnections()) << run.Output().toStdString();
    expectUntouched("while the data source is checked");
    run.Signal(SIGKILL);
    EXPECT_EQ(run.WaitForExit(), -1);
    expectUntouched("after a kill during the check");
}

} // namespace
