// Reading, checking and ageing the private database server's folder of scripts/db.sh.
#include "support/DbFolder.h"

#include "support/RunScript.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {
constexpr int ClientTimeoutMs = RunScript::EndTimeoutMs;
constexpr int ServerStartTimeoutMs = RunScript::StartTimeoutMs;
const QString DbScript = QStringLiteral(ZOL_SOURCE_DIR "/scripts/db.sh");
} // namespace

QString KeptPassword(const QString& db)
{
    return TestDb::ClientOption(db + QStringLiteral("/my.cnf"), QStringLiteral("password"));
}

ClientRun Mariadb(const QStringList& args, const QString& sql)
{
    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(QStringLiteral("mariadb"), args + QStringList{QStringLiteral("--batch"), QStringLiteral("--raw"),
                                                             QStringLiteral("--skip-column-names"), QStringLiteral("-e"), sql});
    ClientRun run;
    if (client.waitForFinished(ClientTimeoutMs) && client.exitStatus() == QProcess::NormalExit)
        run.exitCode = client.exitCode();
    run.output = QString::fromUtf8(client.readAll());
    return run;
}

ClientRun MariadbAsRoot(const QString& db, const QString& sql)
{
    const QString socket = TestDb::ClientOption(db + QStringLiteral("/my.cnf"), QStringLiteral("socket"));
    return Mariadb({QStringLiteral("--no-defaults"), QStringLiteral("--protocol=socket"), "--socket=" + socket,
                    QStringLiteral("-uroot")},
                   sql);
}

int Mode(const QString& path) { return static_cast<int>(QFileInfo(path).permissions()); }

QStringList OpenToOthers(const QString& folder)
{
    QStringList open;
    if (Mode(folder) & GroupOrOthers)
        open << folder;
    QDirIterator entries(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QString path = entries.next();
        if (Mode(path) & GroupOrOthers)
            open << path;
    }
    return open;
}

void LoosenByHand(const QStringList& paths)
{
    for (const QString& path : paths) {
        const auto others = QFileInfo(path).isDir() ? QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther
                                                    : QFile::ReadGroup | QFile::ReadOther;
        QFile::setPermissions(path, QFile::permissions(path) | others);
    }
}

void ExpectPrivateAccount(const QString& db, int port)
{
    const QString cnf = db + QStringLiteral("/my.cnf");
    const QString password = KeptPassword(db);
    EXPECT_EQ(password.size(), 32) << password.toStdString();
    EXPECT_TRUE(Slurp(db + QStringLiteral("/odbc.ini")).contains("\nPASSWORD=" + password.toUtf8() + '\n'));
    const std::pair<const char*, const char*> guesses[] = {
        {"zol", "zol"}, {"root", ""}, {"backdoor", "door"}, {"intruder", ""}};
    for (const auto& [user, guess] : guesses) {
        const ClientRun in = Mariadb({QStringLiteral("--no-defaults"), QStringLiteral("-h127.0.0.1"),
                                      QStringLiteral("-P%1").arg(port), QStringLiteral("-u") + user,
                                      QStringLiteral("--password=") + guess},
                                     QStringLiteral("select count(*) from zol.zol_user"));
        EXPECT_TRUE(in.exitCode != 0 && in.output.contains(QStringLiteral("Access denied"))) << user << ": " << in.output.toStdString();
    }
    const ClientRun grants = Mariadb({"--defaults-file=" + cnf, QStringLiteral("-h127.0.0.1")}, QStringLiteral("show grants"));
    QStringList rights = grants.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    rights.replaceInStrings(QRegularExpression(QStringLiteral(" IDENTIFIED BY PASSWORD '[^']*'")), QString());
    rights.sort();
    EXPECT_EQ(rights, QStringList({"GRANT ALL PRIVILEGES ON `zol\\_t%`.* TO `zol`@`127.0.0.1`",
                                   "GRANT ALL PRIVILEGES ON `zol`.* TO `zol`@`127.0.0.1`",
                                   "GRANT USAGE ON *.* TO `zol`@`127.0.0.1`"}))
        << grants.output.toStdString();
    // Every account and role the server knows, and what PUBLIC may do anywhere.
    const ClientRun accounts = MariadbAsRoot(
        db, QStringLiteral("select concat(user, '@', host) from mysql.global_priv where user <> 'PUBLIC' order by 1;"
                           "select 'PUBLIC may', user from mysql.global_priv where user = 'PUBLIC' and json_value(priv, "
                           "'$.access') <> 0 union all select 'PUBLIC may', db from mysql.db where user = 'PUBLIC' union "
                           "all select 'PUBLIC may', table_name from mysql.tables_priv where user = 'PUBLIC'"));
    EXPECT_EQ(accounts.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
              QStringList({"mariadb.sys@localhost", "root@localhost", "zol@127.0.0.1", "zol@localhost"}))
        << accounts.output.toStdString();
}

QString AgeDataFolder(const QString& db, bool running)
{
    const QString cnf = db + QStringLiteral("/my.cnf");
    if (QProcess::execute(QStringLiteral("bash"), {DbScript, QStringLiteral("start"), db}) != 0)
        ADD_FAILURE() << "db.sh start " << db.toStdString();
    const ClientRun aged = MariadbAsRoot(
        db, QStringLiteral("ALTER USER 'zol'@'127.0.0.1' IDENTIFIED BY 'zol';"
                           "GRANT ALL PRIVILEGES ON *.* TO 'zol'@'127.0.0.1' WITH GRANT OPTION;"
                           "CREATE USER 'root'@'127.0.0.1';"
                           "GRANT ALL PRIVILEGES ON *.* TO 'root'@'127.0.0.1' WITH GRANT OPTION;"
                           "CREATE USER 'backdoor'@'%' IDENTIFIED BY 'door';"
                           "GRANT ALL PRIVILEGES ON *.* TO 'backdoor'@'%' WITH GRANT OPTION;"
                           "CREATE ROLE 'everything'; GRANT ALL PRIVILEGES ON *.* TO 'everything';"
                           "GRANT 'everything' TO 'zol'@'127.0.0.1'; SET DEFAULT ROLE 'everything' FOR 'zol'@'127.0.0.1';"
                           "GRANT ALL PRIVILEGES ON *.* TO PUBLIC;"));
    EXPECT_EQ(aged.exitCode, 0) << aged.output.toStdString();
    QProcess::execute(QStringLiteral("bash"), {DbScript, QStringLiteral("stop"), db});

    // The older script knew no note of a conversion, kept no password in my.cnf and put a deep
    // folder's socket in /tmp itself.
    QFile::remove(db + QStringLiteral("/run/accounts"));
    const QString odbc = db + QStringLiteral("/odbc.ini");
    WriteFile(odbc, Slurp(odbc).replace("\nPASSWORD=" + KeptPassword(db).toUtf8(), "\nPASSWORD=zol"));
    QString older = QString::fromUtf8(Slurp(cnf));
    older.remove(QRegularExpression(QStringLiteral("^(user=zol|password=.*)\n"), QRegularExpression::MultilineOption));
    const QString socket = TestDb::ClientOption(cnf, QStringLiteral("socket"));
    QString olderSocket = socket;
    if (!socket.startsWith(db)) {
        olderSocket = QFileInfo(socket).path() + QStringLiteral(".sock");
        older.replace(socket, olderSocket);
    }
    WriteFile(cnf, older.toUtf8());
    LoosenByHand({db, cnf, odbc, db + QStringLiteral("/data"), db + QStringLiteral("/data/mysql"),
                  db + QStringLiteral("/data/ibdata1"), db + QStringLiteral("/run")});
    if (!running)
        return olderSocket;

    // As the older script started it: without the modes db.sh asks for.
    QProcess server;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("UMASK"));
    env.remove(QStringLiteral("UMASK_DIR"));
    server.setProcessEnvironment(env);
    server.setProgram(QStringLiteral("/usr/sbin/mariadbd"));
    server.setArguments({"--defaults-file=" + cnf});
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice());
    if (!server.startDetached())
        ADD_FAILURE() << "cannot start mariadbd";
    const auto answers = [&] {
        QProcess ping;
        ping.start(QStringLiteral("mariadb-admin"), {QStringLiteral("--no-defaults"), "--socket=" + olderSocket,
                                                     QStringLiteral("-uroot"), QStringLiteral("ping")});
        return ping.waitForFinished(ClientTimeoutMs) && ping.exitStatus() == QProcess::NormalExit && ping.exitCode() == 0;
    };
    if (!QTest::qWaitFor(answers, ServerStartTimeoutMs))
        ADD_FAILURE() << "the older server did not start: " << Slurp(db + QStringLiteral("/mysqld.err")).right(2000).toStdString();
    return olderSocket;
}
