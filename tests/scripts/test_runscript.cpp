// The run command: without a display the console is served by a VNC X server that only this
// machine reaches and only with the password; the servers go with the console on every way out;
// a database port taken by another program moves, and the data source follows it.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>

static void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

constexpr int StartTimeoutMs = 120000; // the first run installs a database server and loads the demo data
constexpr int EndTimeoutMs = 60000;
constexpr int IoTimeoutMs = 10000;
constexpr char RfbSecurityVncAuth = 2;
constexpr int RfbChallengeSize = 16;

const QRegularExpression VncPort(QStringLiteral(R"(VNC on 127\.0\.0\.1:(\d+) only)"));
const QRegularExpression VncPassword(QStringLiteral(R"(VNC password: (\S+))"));
const QRegularExpression DatabasePort(QStringLiteral(R"(MariaDB on 127\.0\.0\.1:(\d+))"));

// Stands in for the console: reports the display, whether an X client gets through to it, and the
// output of console.sql through the data source; then waits for the file that holds its exit code.
constexpr char StandInConsole[] = R"(#!/bin/sh
dir=$(dirname "$0")
{
  echo "display=$DISPLAY"
  if [ -n "$DISPLAY" ] && setxkbmap -query >/dev/null 2>&1; then echo "x=ok"; else echo "x=fail"; fi
  if [ -f "$dir/console.sql" ]; then isql -b -d'|' zol zol zol < "$dir/console.sql" 2>&1; fi
} > "$dir/report.part"
mv "$dir/report.part" "$dir/report"
# A test that has gone (its folder with it) leaves no console behind.
while [ ! -f "$dir/end" ] && [ -f "$0" ]; do sleep 0.05; done
code=$(cat "$dir/end" 2>/dev/null || echo 1)
rm -f "$dir/end" "$dir/report"
exit "$code"
)";

// Stands in for the simulated terminals: reports its arguments, says it is ready as the real program
// does, and runs until it is told to end (or its test has gone).
constexpr char StandInDemo[] = R"(#!/bin/bash
dir=$(dirname "$0")
printf '%s\n' "$@" > "$dir/demo-report.part"
mv "$dir/demo-report.part" "$dir/demo-report"
echo "zoldemo: ready, 0 demo terminals"
trap 'exit 0' TERM
while [ -f "$0" ]; do sleep 0.05; done
)";

QByteArray Slurp(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
}

// scripts/run.sh in a private folder of its own (ZOL_HOME), with the stand-in console and, when
// asked, the stand-in simulated terminals. A script still running is ended (TERM, as a user's kill
// would) with the object, and a database server that it left behind is stopped.
class RunScript {
public:
    explicit RunScript(bool withDemo)
    {
        WriteFile(Path("console"), StandInConsole);
        if (withDemo)
            WriteFile(Path("demo"), StandInDemo);
        for (const char* program : {"console", "demo"})
            QFile::setPermissions(Path(program), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        process_.setProcessChannelMode(QProcess::MergedChannels);
    }

    ~RunScript()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(EndTimeoutMs))
                process_.kill();
            process_.waitForFinished(EndTimeoutMs);
        }
        const QString dbScript = QStringLiteral(ZOL_SOURCE_DIR "/scripts/db.sh");
        QProcess::execute(QStringLiteral("bash"), {dbScript, QStringLiteral("stop"), Home() + QStringLiteral("/db")});
    }

    // Without a display the script serves the console through its VNC X server.
    void Start(const QString& display = QString(), const QStringList& args = {})
    {
        output_.clear();
        // A console ended by a signal leaves its report behind.
        for (const char* file : {"end", "report", "demo-report"})
            QFile::remove(Path(file));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY", "ZOL_DEMO"})
            env.remove(QString::fromLatin1(name));
        if (!display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("ZOL_HOME"), Home());
        env.insert(QStringLiteral("ZOL_CONSOLE"), Path("console"));
        if (QFile::exists(Path("demo")))
            env.insert(QStringLiteral("ZOL_DEMO"), Path("demo"));
        process_.setProcessEnvironment(env);
        process_.start(QStringLiteral("bash"), QStringList{QStringLiteral(ZOL_SOURCE_DIR "/scripts/run.sh")} + args);
        process_.waitForStarted();
    }

    // SQL that the stand-in console runs through the data source "zol" on its next start.
    void SetConsoleSql(const QString& sql) { WriteFile(Path("console.sql"), sql.toUtf8() + '\n'); }

    // The stand-in console's report once it runs ("display=", "x=ok|fail", then the output
    // of its SQL); empty when the script ended or the time ran out first.
    QString WaitForConsole()
    {
        const QString report = Path("report");
        const auto ranOrEnded = [&] { return QFile::exists(report) || process_.state() == QProcess::NotRunning; };
        QTest::qWaitFor(ranOrEnded, StartTimeoutMs);
        return QString::fromUtf8(Slurp(report));
    }

    // The stand-in simulated terminals' arguments, one a line; empty when they have not run since
    // the script last started.
    QString DemoReport() const { return QString::fromUtf8(Slurp(Path("demo-report"))); }

    void EndConsole(int exitCode) { WriteFile(Path("end"), QByteArray::number(exitCode)); }

    // The script's exit code, or -1 when it did not end in time.
    int WaitForExit()
    {
        if (!QTest::qWaitFor([this] { return process_.state() == QProcess::NotRunning; }, EndTimeoutMs))
            return -1;
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }

    // To the script alone, not to the console it started.
    void Signal(int signal) { ::kill(static_cast<pid_t>(process_.processId()), signal); }

    // What the script printed so far, decoded whole: a read may end inside a character.
    QString Output()
    {
        output_ += process_.readAll();
        return QString::fromUtf8(output_);
    }

    QString Printed(const QRegularExpression& pattern) { return pattern.match(Output()).captured(1); }
    QString Home() const { return Path("home"); }
    QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    qint64 Pid() const { return process_.processId(); }

private:
    QTemporaryDir dir_;
    QProcess process_;
    QByteArray output_;
};

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

int Mode(const QString& path) { return static_cast<int>(QFileInfo(path).permissions()); }
constexpr int GroupOrOthers = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                              QFile::WriteOther | QFile::ExeOther;

// Without a display, on every way out: the console reaches its X server; VNC listens on 127.0.0.1
// only and lets nobody in without the password, made at the first run, kept since and the owner's
// only; the console, the X server, the simulated terminals and the database server all go.
TEST(RunScriptHeadless, LoopbackOnlyWithThePasswordAndEveryWayOutStopsTheServers)
{
    RunScript run(true);
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
    const QString vnc = run.Home() + QStringLiteral("/vnc");
    const QString passwordFile = vnc + QStringLiteral("/password");
    QString firstPassword;
    for (const auto& way : ways) {
        SCOPED_TRACE(way.way);
        run.Start();
        const QString report = run.WaitForConsole();
        ASSERT_FALSE(report.isEmpty()) << run.Output().toStdString();
        EXPECT_EQ(Line(report, "x"), "ok") << "the console reaches its X server: " << report.toStdString();

        const int port = run.Printed(VncPort).toInt();
        EXPECT_EQ(ListeningAddresses(port), QStringList{"0100007F"}) << "127.0.0.1 only";
        const Handshake wrong = Authenticate(port, QByteArray(RfbChallengeSize, '\0'));
        EXPECT_EQ(wrong.offered, QByteArray(1, RfbSecurityVncAuth)) << "no way in without the password";
        EXPECT_EQ(wrong.result, QByteArray::fromHex("00000001")) << "a wrong password is refused";

        if (firstPassword.isEmpty())
            firstPassword = run.Printed(VncPassword);
        EXPECT_EQ(run.Printed(VncPassword), firstPassword) << "made at the first run, kept since";
        EXPECT_EQ(firstPassword.size(), 8);
        EXPECT_EQ(QString::fromUtf8(Slurp(passwordFile)).trimmed(), firstPassword);
        for (const QString& path : {vnc, passwordFile, vnc + QStringLiteral("/passwd")})
            EXPECT_EQ(Mode(path) & GroupOrOthers, 0) << path.toStdString() << " is the owner's only";

        QMap<qint64, QString> servers = Children(run.Pid());
        const QByteArray dbPid = Slurp(run.Home() + QStringLiteral("/db/run/mysqld.pid"));
        servers[dbPid.trimmed().toLongLong()] = QStringLiteral("the database server");
        ASSERT_EQ(servers.size(), 4) << "the console, the X server, the simulated terminals, the database server: "
                                     << QStringList(servers.values()).join(", ").toStdString();
        for (auto server = servers.cbegin(); server != servers.cend(); ++server)
            ASSERT_TRUE(Alive(server.key())) << server.value().toStdString();

        way.end();
        EXPECT_EQ(run.WaitForExit(), way.exitCode) << run.Output().toStdString();
        for (auto server = servers.cbegin(); server != servers.cend(); ++server) {
            EXPECT_FALSE(Alive(server.key())) << server.value().toStdString() << " outlives the run command";
            if (Alive(server.key()))
                ::kill(static_cast<pid_t>(server.key()), SIGKILL); // not to leave it to the machine
        }
        // Loosened by hand: the next run makes it the owner's only again.
        QFile::setPermissions(passwordFile, QFile::permissions(passwordFile) | QFile::ReadOther);
    }
}

// With a display the console opens there, beside the simulated terminals with its settings file, a
// log folder in the private folder and the demo data's failure paths (--no-demo leaves them out).
// A database port taken by another program moves out of the range of outgoing connections' ports,
// and the data source follows it to the data.
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
    run.EndConsole(0);
    ASSERT_EQ(run.WaitForExit(), 0) << run.Output().toStdString();

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
    run.EndConsole(0);
    EXPECT_EQ(run.WaitForExit(), 0) << run.Output().toStdString();

    // Outside the range from which outgoing connections take their ports.
    const QByteArray range = Slurp(QStringLiteral("/proc/sys/net/ipv4/ip_local_port_range"));
    const QStringList bounds = QString::fromLatin1(range).simplified().split(QLatin1Char(' '));
    ASSERT_EQ(bounds.size(), 2);
    for (int port : {keptPort, movedPort})
        EXPECT_TRUE(port < bounds[0].toInt() || port > bounds[1].toInt()) << port;
}

} // namespace
