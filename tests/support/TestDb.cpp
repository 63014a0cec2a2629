// A fresh database per test executable, reached as the data source "zol" through our own ODBC files.
#include "TestDb.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdlib>
#include <stdexcept>

namespace {
QString g_name;

// This process's databases, dropped when it ends unless ZOL_TEST_KEEP_DB is set (as scripts/test.sh
// does, whose whole server goes anyway). Plain system() because it runs after the application is gone.
struct Leftovers {
    QStringList databases;
    ~Leftovers()
    {
        const char* keep = std::getenv("ZOL_TEST_KEEP_DB");
        const char* cnf = std::getenv("ZOL_TEST_MYSQL_CNF");
        if ((keep && *keep) || !cnf || databases.isEmpty())
            return;
        const QString cmd = "mariadb '--defaults-file=" + QString::fromLocal8Bit(cnf) +
                            "' -h127.0.0.1 -e 'DROP DATABASE IF EXISTS " +
                            databases.join("; DROP DATABASE IF EXISTS ") + "' >/dev/null 2>&1";
        [[maybe_unused]] int rc = std::system(cmd.toLocal8Bit().constData());
    }
} g_leftovers;

QString Env(const char* name)
{
    const QString v = qEnvironmentVariable(name);
    if (v.isEmpty())
        throw std::runtime_error(std::string("missing environment variable ") + name +
                                 " (run the tests through scripts/test.sh)");
    return v;
}

// The account and password come from the [client] section of the server's my.cnf; as root, the
// client goes through the server's socket, root's only way in.
QString RunClient(const QString& database, const QString& sql, bool asRoot = false)
{
    QStringList args{"--defaults-file=" + Env("ZOL_TEST_MYSQL_CNF")};
    if (asRoot)
        args << "-uroot" << "--password=" << "--protocol=socket";
    else
        args << "-h127.0.0.1";
    args << "--default-character-set=utf8mb4" << "--batch" << "--skip-column-names";
    if (!database.isEmpty())
        args << database;
    QProcess p;
    p.start("mariadb", args);
    if (!p.waitForStarted(10000))
        throw std::runtime_error("cannot start the mariadb client");
    p.write(sql.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(60000);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw std::runtime_error("mariadb client failed: " + p.readAllStandardError().toStdString() +
                                 " for: " + sql.left(300).toStdString());
    return QString::fromUtf8(p.readAllStandardOutput());
}

void WriteFile(const QString& path, const QString& text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text.toUtf8()) < 0)
        throw std::runtime_error("cannot write " + path.toStdString());
}
} // namespace

namespace TestDb {

QString ClientOption(const QString& cnfPath, const QString& name)
{
    QFile cnf(cnfPath);
    if (!cnf.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + cnfPath.toStdString());
    const QByteArray key = name.toUtf8() + '=';
    bool client = false;
    for (const QByteArray& line : cnf.readAll().split('\n')) {
        if (line.startsWith('['))
            client = line.trimmed() == "[client]";
        else if (client && line.startsWith(key))
            return QString::fromUtf8(line.mid(key.size()).trimmed());
    }
    return QString();
}

QString CreateFresh()
{
    const QString port = Env("ZOL_TEST_MYSQL_PORT");
    g_name = QString("zol_t%1_%2").arg(QCoreApplication::applicationPid())
                 .arg(QRandomGenerator::global()->bounded(1000000));
    g_leftovers.databases << g_name;
    RunClient(QString(), QString("CREATE DATABASE %1 CHARACTER SET utf8mb4; USE %1;\nsource %2/db/schema.sql\n")
                             .arg(g_name, ZOL_SOURCE_DIR));

    const QString password = ClientOption(Env("ZOL_TEST_MYSQL_CNF"), "password");
    if (password.isEmpty())
        throw std::runtime_error("no password in the server's my.cnf (start it with scripts/db.sh)");
    static const QTemporaryDir odbcDir; // removed when the process ends
    WriteFile(odbcDir.filePath("odbcinst.ini"),
              "[MariaDB Unicode]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libmaodbc.so\n");
    WriteFile(odbcDir.filePath("odbc.ini"), QString("[zol]\nDriver=MariaDB Unicode\nSERVER=127.0.0.1\nPORT=%1\n"
                                             "DATABASE=%2\nUSER=zol\nPASSWORD=%3\nCHARSET=utf8mb4\n")
                                         .arg(port, g_name, password));
    setenv("ODBCSYSINI", odbcDir.path().toLocal8Bit().constData(), 1);
    return g_name;
}

void Exec(const QString& sql) { RunClient(g_name, sql); }

void ExecAsRoot(const QString& sql) { RunClient(QString(), sql, true); }

QStringList Rows(const QString& sql)
{
    QStringList rows = RunClient(g_name, sql).split('\n');
    while (!rows.isEmpty() && rows.last().isEmpty())
        rows.removeLast();
    return rows;
}

QString Scalar(const QString& sql) { return Rows(sql).value(0); }

void Truncate()
{
    Exec("SET FOREIGN_KEY_CHECKS=0; TRUNCATE zol_baseinfo; TRUNCATE zol_status; TRUNCATE zol_temp;"
         " TRUNCATE zol_temp_log; TRUNCATE zol_log; TRUNCATE zol_op_log; TRUNCATE zol_scheduletask;"
         " TRUNCATE zol_tasktype; TRUNCATE zol_user;");
}

} // namespace TestDb
