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
                            "' -uzol -pzol -h127.0.0.1 -e 'DROP DATABASE IF EXISTS " +
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

QString RunClient(const QString& database, const QString& sql)
{
    QStringList args{"--defaults-file=" + Env("ZOL_TEST_MYSQL_CNF"), "-uzol", "-pzol", "-h127.0.0.1",
                     "--default-character-set=utf8mb4", "--batch", "--skip-column-names"};
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

QString CreateFresh()
{
    const QString port = Env("ZOL_TEST_MYSQL_PORT");
    g_name = QString("zol_t%1_%2").arg(QCoreApplication::applicationPid())
                 .arg(QRandomGenerator::global()->bounded(1000000));
    g_leftovers.databases << g_name;
    RunClient(QString(), QString("CREATE DATABASE %1 CHARACTER SET utf8mb4; USE %1;\nsource %2/db/schema.sql\n")
                             .arg(g_name, ZOL_SOURCE_DIR));

    static const QTemporaryDir odbcDir; // removed when the process ends
    WriteFile(odbcDir.filePath("odbcinst.ini"),
              "[MariaDB Unicode]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libmaodbc.so\n");
    WriteFile(odbcDir.filePath("odbc.ini"), QString("[zol]\nDriver=MariaDB Unicode\nSERVER=127.0.0.1\nPORT=%1\n"
                                             "DATABASE=%2\nUSER=zol\nPASSWORD=zol\nCHARSET=utf8mb4\n")
                                         .arg(port, g_name));
    setenv("ODBCSYSINI", odbcDir.path().toLocal8Bit().constData(), 1);
    return g_name;
}

void Exec(const QString& sql) { RunClient(g_name, sql); }

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
