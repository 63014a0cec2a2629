// The run command: without a display the console is served by a VNC X server that only this
// machine reaches and only with the password; the servers go with the console on every way out;
// a database port taken by another program moves, and the data source follows it.
#include "support/RunScript.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <csignal>
#include <functional>

static void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

constexpr int IoTimeoutMs = 10000;
constexpr int RfbSecurityNone = 1;
constexpr int RfbSecurityVncAuth = 2;
constexpr int RfbChallengeSize = 16;

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
    QStringList addresses;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QStringList lines = QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'));
        for (const QString& line : lines.mid(1)) {
            const QStringList fields = line.simplified().split(QLatin1Char(' '));
            constexpr auto Listen = "0A";
            if (fields.size() > 3 && fields[3] == QLatin1String(Listen) && fields[1].endsWith(':' + hexPort))
                addresses << fields[1].section(QLatin1Char(':'), 0, 0);
        }
    }
    return addresses;
}

// A process that exists and has not ended (a zombie has ended).
bool Alive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) != "Z";
}

// The X server that serves VNC on this port with the password file in this folder, found by its
// command line.
qint64 VncServerPid(int port, const QString& home)
{
    const QByteArray passwordFile = (home + QStringLiteral("/vnc/passwd")).toUtf8();
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (!entry.toLongLong() || !file.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> args = file.readAll().split('\0');
        const qsizetype at = args.indexOf("-rfbport");
        if (!args.isEmpty() && args[0].endsWith("Xtigervnc") && at > 0 && at + 1 < args.size() &&
            args[at + 1] == QByteArray::number(port) && args.contains(passwordFile))
            return entry.toLongLong();
    }
    return 0;
}

QByteArray ReadExactly(QTcpSocket& socket, qsizetype size)
{
    QByteArray data;
    while (data.size() < size) {
        if (!socket.bytesAvailable() && !socket.waitForReadyRead(IoTimeoutMs))
            break;
        data += socket.read(size - data.size());
    }
    return data;
}

// Opens an RFB session up to the server's offer: the security types it offers.
QList<int> OfferedSecurityTypes(QTcpSocket& socket, int port)
{
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(IoTimeoutMs) || ReadExactly(socket, 12) != "RFB 003.008\n")
        return {};
    socket.write("RFB 003.008\n");
    const QByteArray count = ReadExactly(socket, 1);
    QList<int> types;
    for (char type : ReadExactly(socket, count.isEmpty() ? 0 : static_cast<uchar>(count[0])))
        types << static_cast<uchar>(type);
    return types;
}

// Everything the server sends after the client chose a security type and sent response, until
// it closes the connection or the time runs out.
QByteArray AnswerToChoice(int port, int type, const QByteArray& response = {})
{
    QTcpSocket socket;
    OfferedSecurityTypes(socket, port);
    socket.write(QByteArray(1, static_cast<char>(type)));
    if (type == RfbSecurityVncAuth) {
        ReadExactly(socket, RfbChallengeSize);
        socket.write(response);
    }
    QByteArray answer;
    while (socket.state() == QAbstractSocket::ConnectedState && answer.size() < 4 &&
           socket.waitForReadyRead(IoTimeoutMs))
        answer += socket.readAll();
    return answer + socket.readAll();
}

int Mode(const QString& path) { return static_cast<int>(QFileInfo(path).permissions()); }
constexpr int GroupOrOthers = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                              QFile::WriteOther | QFile::ExeOther;

TEST(RunScriptHeadless, ServesTheConsoleOnLoopbackOnlyAndOnlyWithThePassword)
{
    RunScript run;
    run.StartHeadless();
    const QString report = run.WaitForConsole();
    ASSERT_FALSE(report.isEmpty()) << run.Output().toStdString();
    const int port = run.Printed(VncPort).toInt();
    const QString password = run.Printed(VncPassword);
    ASSERT_GT(port, 0) << run.Output().toStdString();
    EXPECT_EQ(Line(report, "x"), "ok") << "the console reaches its X server: " << report.toStdString();
    EXPECT_TRUE(Line(report, "display").startsWith(':'));

    EXPECT_EQ(ListeningAddresses(port), QStringList{"0100007F"}) << "127.0.0.1 only";
    QTcpSocket socket;
    EXPECT_EQ(OfferedSecurityTypes(socket, port), QList<int>{RfbSecurityVncAuth}) << "no way in without the password";
    socket.abort();
    const QByteArray refused = AnswerToChoice(port, RfbSecurityNone);
    EXPECT_FALSE(refused.startsWith(QByteArray(4, '\0'))) << "a client offering no password is let in";
    const QByteArray wrong = AnswerToChoice(port, RfbSecurityVncAuth, QByteArray(RfbChallengeSize, '\0'));
    EXPECT_EQ(wrong.left(4), QByteArray::fromHex("00000001")) << "a wrong password is refused";

    const QString vnc = run.Home() + QStringLiteral("/vnc");
    QFile kept(vnc + QStringLiteral("/password"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(kept.readAll()).trimmed(), password);
    EXPECT_EQ(password.size(), 8);
    for (const QString& path : {vnc, vnc + QStringLiteral("/password"), vnc + QStringLiteral("/passwd")})
        EXPECT_EQ(Mode(path) & GroupOrOthers, 0) << path.toStdString() << " is the owner's only";

    run.EndConsole(0);
    EXPECT_EQ(run.WaitForExit(), 0) << run.Output().toStdString();
}

TEST(RunScriptHeadless, ServersGoWithTheConsoleOnEveryWayOutAndThePasswordStays)
{
    RunScript run;
    run.UseDemo();
    const struct {
        const char* way;
        std::function<void()> end;
        int exitCode;
    } ways[] = {
        {"console ends", [&] { run.EndConsole(0); }, 0},
        {"console fails", [&] { run.EndConsole(3); }, 3},
        {"script terminated", [&] { run.Signal(SIGTERM); }, 128 + SIGTERM},
        {"script interrupted", [&] { run.Signal(SIGINT); }, 128 + SIGINT},
        {"terminal hung up", [&] { run.Signal(SIGHUP); }, 128 + SIGHUP},
    };
    const QString passwordFile = run.Home() + QStringLiteral("/vnc/password");
    QString firstPassword;
    for (const auto& way : ways) {
        SCOPED_TRACE(way.way);
        run.StartHeadless();
        const QString report = run.WaitForConsole();
        ASSERT_FALSE(report.isEmpty()) << run.Output().toStdString();
        const int port = run.Printed(VncPort).toInt();
        const qint64 xServer = VncServerPid(port, run.Home());
        QFile dbPidFile(run.Home() + QStringLiteral("/db/run/mysqld.pid"));
        ASSERT_TRUE(dbPidFile.open(QIODevice::ReadOnly));
        const qint64 dbServer = dbPidFile.readAll().trimmed().toLongLong();
        const qint64 console = Line(report, "pid").toLongLong();
        const qint64 demo = Line(run.DemoReport(), "pid").toLongLong();
        ASSERT_TRUE(Alive(xServer) && Alive(dbServer) && Alive(console) && Alive(demo)) << run.Output().toStdString();
        if (firstPassword.isEmpty())
            firstPassword = run.Printed(VncPassword);
        EXPECT_EQ(run.Printed(VncPassword), firstPassword) << "made at the first run, kept since";
        EXPECT_EQ(Mode(passwordFile) & GroupOrOthers, 0);

        way.end();
        EXPECT_EQ(run.WaitForExit(), way.exitCode) << run.Output().toStdString();
        EXPECT_FALSE(Alive(console));
        EXPECT_FALSE(Alive(demo)) << "the simulated terminals outlive the run command";
        EXPECT_FALSE(Alive(xServer)) << "the X server outlives the run command";
        if (Alive(xServer))
            ::kill(static_cast<pid_t>(xServer), SIGKILL); // not to leave it to the machine
        EXPECT_FALSE(Alive(dbServer));
        // Loosened by hand: the next run makes it the owner's only again.
        QFile::setPermissions(passwordFile, QFile::permissions(passwordFile) | QFile::ReadOther);
    }
}

// The simulated terminals run beside the console with its settings file, a log folder in the
// private folder and the demo data's failure paths; --no-demo leaves them out.
TEST(RunScriptWithDisplay, SimulatedTerminalsUnlessLeftOut)
{
    RunScript run;
    run.UseDemo();
    run.StartWithDisplay(QStringLiteral(":65000"));
    ASSERT_FALSE(run.WaitForConsole().isEmpty()) << run.Output().toStdString();
    const QStringList args = run.DemoReport().split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1);
    EXPECT_EQ(args.mid(0, 4), QStringList({"--settings", run.ConsoleDir() + "/conf.ini", "--logs", run.Home() + "/demo/logs"}));
    EXPECT_EQ(args.mid(4), QStringList({"--cut-off", "127.0.0.15", "--agent-down", "127.0.0.19", "--silent-relay",
                                        "127.0.0.122"}));
    EXPECT_TRUE(run.Output().contains(QStringLiteral("simulated terminals for the demo data"))) << run.Output().toStdString();
    run.EndConsole(0);
    ASSERT_EQ(run.WaitForExit(), 0) << run.Output().toStdString();

    run.StartWithDisplay(QStringLiteral(":65000"), {QStringLiteral("--no-demo")});
    ASSERT_FALSE(run.WaitForConsole().isEmpty()) << run.Output().toStdString();
    EXPECT_EQ(run.DemoReport(), QString());
    EXPECT_FALSE(run.Output().contains(QStringLiteral("simulated terminals")));
    run.EndConsole(0);
    EXPECT_EQ(run.WaitForExit(), 0) << run.Output().toStdString();
}

TEST(RunScriptWithDisplay, TakenDatabasePortMovesAndTheDataSourceFollowsWithTheData)
{
    RunScript run;
    run.SetConsoleSql(QStringLiteral("insert into zol_baseinfo (name, ip) values ('kept-row', '127.0.0.9')"));
    run.StartWithDisplay(QStringLiteral(":65000"));
    const QString first = run.WaitForConsole();
    ASSERT_FALSE(first.isEmpty()) << run.Output().toStdString();
    EXPECT_EQ(Line(first, "display"), ":65000") << "with a display the console opens there";
    EXPECT_FALSE(run.Output().contains(QStringLiteral("VNC")));
    const int keptPort = run.Printed(DatabasePort).toInt();
    run.EndConsole(0);
    ASSERT_EQ(run.WaitForExit(), 0) << run.Output().toStdString();

    // Should another test's server have taken the port meanwhile, it is just as well held.
    QTcpServer otherProgram;
    otherProgram.listen(QHostAddress::LocalHost, keptPort);
    run.SetConsoleSql(QStringLiteral("select 'reached', name from zol_baseinfo where name = 'kept-row'"));
    run.StartWithDisplay(QStringLiteral(":65000"));
    const QString second = run.WaitForConsole();
    ASSERT_FALSE(second.isEmpty()) << run.Output().toStdString();
    EXPECT_TRUE(second.contains(QStringLiteral("reached|kept-row"))) << second.toStdString();
    const int movedPort = run.Printed(DatabasePort).toInt();
    EXPECT_NE(movedPort, keptPort);
    run.EndConsole(0);
    EXPECT_EQ(run.WaitForExit(), 0) << run.Output().toStdString();

    // Outside the range from which outgoing connections take their ports.
    QFile range(QStringLiteral("/proc/sys/net/ipv4/ip_local_port_range"));
    ASSERT_TRUE(range.open(QIODevice::ReadOnly));
    const QStringList bounds = QString::fromLatin1(range.readAll()).simplified().split(QLatin1Char(' '));
    for (int port : {keptPort, movedPort})
        EXPECT_TRUE(port < bounds.value(0).toInt() || port > bounds.value(1).toInt()) << port;
}

} // namespace
