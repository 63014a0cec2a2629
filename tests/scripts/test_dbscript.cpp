// The private database server's script: its server runs as the user who starts it, a deep folder's
// socket in a folder of that user's in /tmp, and at every start exactly the accounts it manages, made
// so while nobody else can reach the server, whatever a folder of an older version held or still runs.
#include "support/DbFolder.h"
#include "support/RunScript.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

static void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

constexpr int EndTimeoutMs = RunScript::EndTimeoutMs;
constexpr int IoTimeoutMs = RunScript::IoTimeoutMs;
const QString DbScriptPath = QStringLiteral(ZOL_SOURCE_DIR "/scripts/db.sh");

// db.sh with these arguments: its exit code (-1 when it did not end in time) and all it printed.
ClientRun DbScript(const QStringList& args)
{
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(QStringLiteral("bash"), QStringList{DbScriptPath} + args);
    ClientRun run;
    if (script.waitForFinished(EndTimeoutMs) && script.exitStatus() == QProcess::NormalExit)
        run.exitCode = script.exitCode();
    run.output = QString::fromUtf8(script.readAll());
    return run;
}

qint64 ServerPid(const QString& db) { return Slurp(db + QStringLiteral("/run/mysqld.pid")).trimmed().toLongLong(); }

// A client session over TCP that stays open, as one a user of the machine could have held.
class HeldSession {
public:
    HeldSession(int port, const QString& user, const QString& password)
    {
        client_.setProcessChannelMode(QProcess::MergedChannels);
        client_.start(QStringLiteral("mariadb"),
                      {QStringLiteral("--no-defaults"), QStringLiteral("-h127.0.0.1"), QStringLiteral("-P%1").arg(port),
                       QStringLiteral("-u") + user, QStringLiteral("--password=") + password,
                       QStringLiteral("--skip-reconnect"), QStringLiteral("--unbuffered"), QStringLiteral("--batch"),
                       QStringLiteral("--skip-column-names")});
        client_.write("select 'logged', 'in';\n");
    }
    ~HeldSession()
    {
        client_.kill();
        client_.waitForFinished(IoTimeoutMs);
    }
    bool LoggedIn()
    {
        return QTest::qWaitFor([&] { return Output().contains(QStringLiteral("logged\tin")) || client_.state() == QProcess::NotRunning; },
                               IoTimeoutMs) &&
               Output().contains(QStringLiteral("logged\tin"));
    }
    // Runs the statements, then ends; what it printed after logging in.
    QString Finish(const QByteArray& statements)
    {
        const qsizetype before = Output().size();
        client_.write(statements);
        client_.closeWriteChannel();
        client_.waitForFinished(EndTimeoutMs);
        return Output().mid(before);
    }

private:
    QString Output()
    {
        output_ += client_.readAll();
        return QString::fromUtf8(output_);
    }
    QProcess client_;
    QByteArray output_;
};

// The server runs as the user who starts it (as root, the test starts it as nobody when it can),
// and a data folder too deep for a socket path beside it puts the socket (who reaches it logs in as
// root) in a folder of that user's own in /tmp that nobody else may enter, gone with the server.
TEST(DbScript, AnOrdinaryUsersServerInADeepFolder)
{
    const QString dbScript = QStringLiteral(ZOL_SOURCE_DIR "/scripts/db.sh");
    const passwd* nobody = ::getpwnam("nobody");
    QStringList runAs; // empty: as this process's user
    if (::getuid() == 0 && nobody)
        runAs = QStringList{QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--")};
    const auto run = [&](const QStringList& command) {
        const QStringList line = runAs + command;
        return QProcess::execute(line.first(), line.mid(1));
    };
    if (!runAs.isEmpty() && run({QStringLiteral("test"), QStringLiteral("-r"), dbScript}) != 0)
        runAs.clear(); // a checkout that others may not read
    const uid_t owner = runAs.isEmpty() ? ::getuid() : nobody->pw_uid;
    // In /tmp itself: the tests' own temporary folder is theirs only.
    const QTemporaryDir dir(QStringLiteral("/tmp/zol-deep-XXXXXX"));
    ASSERT_EQ(::chown(QFile::encodeName(dir.path()).constData(), owner, static_cast<gid_t>(-1)), 0);
    const QString db = dir.filePath(QString(100, QLatin1Char('d')));
    const auto stop = qScopeGuard([&] { run({QStringLiteral("bash"), dbScript, QStringLiteral("stop"), db}); });
    ASSERT_EQ(run({QStringLiteral("bash"), dbScript, QStringLiteral("start"), db}), 0);
    const QString cnf = db + QStringLiteral("/my.cnf");
    EXPECT_EQ(QFileInfo(db + QStringLiteral("/data")).ownerId(), owner);
    const QFileInfo folder(QFileInfo(TestDb::ClientOption(cnf, QStringLiteral("socket"))).path());
    EXPECT_TRUE(folder.filePath().startsWith(QStringLiteral("/tmp/zol-mysqld-"))) << folder.filePath().toStdString();
    EXPECT_EQ(folder.ownerId(), owner);
    EXPECT_EQ(Mode(folder.filePath()) & GroupOrOthers, 0);
    const ClientRun in = Mariadb({"--defaults-file=" + cnf, QStringLiteral("-h127.0.0.1")}, QStringLiteral("select current_user()"));
    EXPECT_EQ(in.output.trimmed(), QStringLiteral("zol@127.0.0.1"));
    run({QStringLiteral("bash"), dbScript, QStringLiteral("stop"), db});
    EXPECT_FALSE(QFileInfo::exists(folder.filePath()));
}


// A folder of an older version of the scripts whose server still runs as that script started it
// (account zol/zol with every right over TCP, root without password over TCP, its socket open to all
// in /tmp, and what anyone could have added meanwhile), with a session held open: the start stops
// that server, so the session goes with every right it had, and keeps only the accounts it manages,
// naming each one it drops. The older socket goes, the new one is the owner's only, and so is every
// file; the data stays, also after the next restart.
TEST(DbScript, AnOlderFoldersRunningServerIsConvertedAtARestartAndItsSessionsEnd)
{
    const QTemporaryDir dir(QStringLiteral("/tmp/zol-deep-XXXXXX"));
    const QString db = dir.filePath(QString(100, QLatin1Char('e')));
    const QString cnf = db + QStringLiteral("/my.cnf");
    const auto stop = qScopeGuard([&] { DbScript({QStringLiteral("stop"), db}); });
    ASSERT_EQ(DbScript({QStringLiteral("start"), db}).exitCode, 0);
    const QStringList asZol{"--defaults-file=" + cnf, QStringLiteral("-h127.0.0.1")};
    const QString digests = QStringLiteral("select landname, password from zol.zol_user");
    ASSERT_EQ(Mariadb(asZol, QStringLiteral("create database zol; create table zol.zol_user (landname varchar(20), "
                                            "password char(32)); insert into zol.zol_user values ('admin', md5('zol123'))"))
                  .exitCode,
              0);
    const QString kept = Mariadb(asZol, digests).output;
    const QString olderSocket = AgeDataFolder(db, true);
    const int port = TestDb::ClientOption(cnf, QStringLiteral("port")).toInt();
    ASSERT_TRUE(QFileInfo::exists(olderSocket)) << olderSocket.toStdString();
    const QStringList asBackdoor{QStringLiteral("--no-defaults"), QStringLiteral("-h127.0.0.1"),
                                 QStringLiteral("-P%1").arg(port), QStringLiteral("-ubackdoor"),
                                 QStringLiteral("--password=door")};
    ASSERT_EQ(Mariadb(asBackdoor, digests).output, kept) << "the older folder as anyone could have left it";
    HeldSession held(port, QStringLiteral("zol"), QStringLiteral("zol"));
    ASSERT_TRUE(held.LoggedIn());

    const ClientRun started = DbScript({QStringLiteral("start"), db});
    ASSERT_EQ(started.exitCode, 0) << started.output.toStdString();
    const QString after = held.Finish("create user 'late'@'%' identified by 'late';\nselect concat('ac', 'ted');\n");
    EXPECT_FALSE(after.contains(QStringLiteral("acted"))) << after.toStdString();
    QStringList dropped = started.output.split(QLatin1Char('\n')).filter(QStringLiteral("dropped the"));
    dropped.replaceInStrings(QRegularExpression(QStringLiteral("^db.sh: dropped the (\\S+ \\S+):.*$")), QStringLiteral("\\1"));
    dropped.sort();
    EXPECT_EQ(dropped, QStringList({"account 'backdoor'@'%'", "account 'root'@'127.0.0.1'", "role 'everything'"}))
        << started.output.toStdString();
    ExpectPrivateAccount(db, TestDb::ClientOption(cnf, QStringLiteral("port")).toInt());
    EXPECT_FALSE(QFileInfo::exists(olderSocket)) << "the socket open to all goes with its server";
    const QString socket = TestDb::ClientOption(cnf, QStringLiteral("socket"));
    EXPECT_EQ(Mode(QFileInfo(socket).path()) & GroupOrOthers, 0) << socket.toStdString();
    EXPECT_EQ(Mode(socket) & GroupOrOthers, 0) << socket.toStdString();
    EXPECT_EQ(OpenToOthers(db), QStringList());
    EXPECT_EQ(Mariadb(asZol, digests).output, kept);

    ASSERT_EQ(DbScript({QStringLiteral("stop"), db}).exitCode, 0);
    const ClientRun restarted = DbScript({QStringLiteral("start"), db});
    ASSERT_EQ(restarted.exitCode, 0) << restarted.output.toStdString();
    EXPECT_FALSE(restarted.output.contains(QStringLiteral("dropped"))) << restarted.output.toStdString();
    ExpectPrivateAccount(db, TestDb::ClientOption(cnf, QStringLiteral("port")).toInt());
    EXPECT_EQ(Mariadb(asZol, digests).output, kept);
}

// A server this script started runs on at the next start while its accounts are as the script left
// them; an account added since (by whoever reached root) makes the start restart it and drop that
// account. With my.cnf gone, which names the server's socket, the start refuses instead of reaching
// for the client's default socket (the machine's own server), and the server runs on untouched.
TEST(DbScript, ARunningServerRunsOnWhileItsAccountsStayAsLeftAndMyCnfNamesItsSocket)
{
    const QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("db"));
    const QString cnf = db + QStringLiteral("/my.cnf");
    const auto stop = qScopeGuard([&] { DbScript({QStringLiteral("stop"), db}); });
    const ClientRun first = DbScript({QStringLiteral("start"), db});
    ASSERT_EQ(first.exitCode, 0) << first.output.toStdString();
    const qint64 pid = ServerPid(db);

    const ClientRun again = DbScript({QStringLiteral("start"), db});
    EXPECT_EQ(first.output.trimmed(), TestDb::ClientOption(cnf, QStringLiteral("port")))
        << "the port alone: the installer's own accounts go without a word";
    EXPECT_EQ(again.output, first.output);
    EXPECT_EQ(ServerPid(db), pid) << "runs on";

    ASSERT_EQ(MariadbAsRoot(db, QStringLiteral("create user 'added'@'%' identified by 'added'")).exitCode, 0);
    HeldSession held(TestDb::ClientOption(cnf, QStringLiteral("port")).toInt(), QStringLiteral("added"),
                     QStringLiteral("added"));
    ASSERT_TRUE(held.LoggedIn());
    const ClientRun changed = DbScript({QStringLiteral("start"), db});
    EXPECT_EQ(changed.exitCode, 0) << changed.output.toStdString();
    EXPECT_TRUE(changed.output.contains(QStringLiteral("dropped the account 'added'@'%'"))) << changed.output.toStdString();
    EXPECT_NE(ServerPid(db), pid) << "restarted";
    EXPECT_FALSE(held.Finish("select concat('ac', 'ted');\n").contains(QStringLiteral("acted")));
    ExpectPrivateAccount(db, TestDb::ClientOption(cnf, QStringLiteral("port")).toInt());

    const QByteArray settings = Slurp(cnf);
    const qint64 running = ServerPid(db);
    ASSERT_TRUE(QFile::remove(cnf));
    const ClientRun refused = DbScript({QStringLiteral("start"), db});
    EXPECT_EQ(refused.exitCode, 1) << refused.output.toStdString();
    EXPECT_TRUE(refused.output.contains(QStringLiteral("names no socket of the server of %1").arg(db)))
        << refused.output.toStdString();
    EXPECT_FALSE(refused.output.contains(QStringLiteral("connect"))) << "no client was started: " << refused.output.toStdString();
    EXPECT_EQ(ServerPid(db), running) << "runs on untouched";
    EXPECT_FALSE(QFileInfo::exists(cnf));
    WriteFile(cnf, settings);
    const ClientRun back = DbScript({QStringLiteral("start"), db});
    EXPECT_EQ(back.output.trimmed(), TestDb::ClientOption(cnf, QStringLiteral("port")));
    EXPECT_EQ(ServerPid(db), running);
}

} // namespace
