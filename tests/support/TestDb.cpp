// A fresh database per test executable, reached as the data source "zol" through our own ODBC files.
#include "TestDb.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTextStream>

#include <cstdlib>
#include <stdexcept>

namespace {
QString g_name;
QString g_odbcDir;

// What this process made, removed when it ends: its databases (unless ZOL_TEST_KEEP_DB is set,
// as scripts/test.sh does, whose whole server goes anyway) and its ODBC folders. Plain system()
// because it runs after the application object is gone.
struct Leftovers {
    QStringList databases;
    QStringList folders;
    ~Leftovers()
    {
        for (const QString& dir : folders)
            QDir(dir).removeRecursively();
        const char* keep = std::getenv("ZOL_TEST_KEEP_DB");
        const char* cnf = std::getenv("ZOL_TEST_MYSQL_CNF");
        if ((keep && *keep) || !cnf || databases.isEmpty())
            return;
        QString sql;
        for (const QString& db : databases)
            sql += "DROP DATABASE IF EXISTS " + db + ";";
        const QString cmd = "mariadb '--defaults-file=" + QString::fromLocal8Bit(cnf) +
                            "' -uzol -pzol -h127.0.0.1 -e '" + sql + "' >/dev/null 2>&1";
        [[maybe_unused]] int rc = std::system(cmd.toLocal8Bit().constData());
    }
} g_leftovers;

QString Env(const char* name)
{
    const char* v = std::getenv(name);
    if (!v || !*v)
        throw std::runtime_error(std::string("missing environment variable ") + name +
                                 " (run the tests through scripts/test.sh)");
    return QString::fromLocal8Bit(v);
}

QString RunClient(const QString& database, const QString& sql)
{
    QStringList args{"--defaults-file=" + Env("ZOL_TEST_MYSQL_CNF"), "-uzol", "-pzol",
                     "-h127.0.0.1", "--default-character-set=utf8mb4", "--batch",
                     "--skip-column-names"};
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
        throw std::runtime_error("mariadb client failed: " +
                                 QString::fromUtf8(p.readAllStandardError()).toStdString() +
                                 " for: " + sql.left(300).toStdString());
    return QString::fromUtf8(p.readAllStandardOutput());
}
} // namespace

namespace TestDb {

QString CreateFresh()
{
    const QString port = Env("ZOL_TEST_MYSQL_PORT");
    g_name = QString("zol_t%1_%2")
                 .arg(QCoreApplication::applicationPid())
                 .arg(QRandomGenerator::global()->bounded(1000000));
    QFile schemaFile(QString(ZOL_SOURCE_DIR) + "/db/schema.sql");
    if (!schemaFile.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read db/schema.sql");
    RunClient(QString(), "CREATE DATABASE " + g_name + " CHARACTER SET utf8mb4;");
    g_leftovers.databases << g_name;
    RunClient(g_name, QString::fromUtf8(schemaFile.readAll()));

    g_odbcDir = QDir::tempPath() + "/zol-odbc-" + g_name;
    QDir().mkpath(g_odbcDir);
    g_leftovers.folders << g_odbcDir;
    QFile inst(g_odbcDir + "/odbcinst.ini");
    inst.open(QIODevice::WriteOnly | QIODevice::Truncate);
    inst.write("[MariaDB Unicode]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libmaodbc.so\n");
    inst.close();
    QFile ini(g_odbcDir + "/odbc.ini");
    ini.open(QIODevice::WriteOnly | QIODevice::Truncate);
    ini.write(QString("[zol]\nDriver=MariaDB Unicode\nSERVER=127.0.0.1\nPORT=%1\nDATABASE=%2\n"
                      "USER=zol\nPASSWORD=zol\nCHARSET=utf8mb4\n")
                  .arg(port, g_name)
                  .toUtf8());
    ini.close();
    setenv("ODBCSYSINI", g_odbcDir.toLocal8Bit().constData(), 1);
    return g_name;
}

QString Name() { return g_name; }

void Exec(const QString& sql) { RunClient(g_name, sql); }

QStringList Rows(const QString& sql)
{
    QString out = RunClient(g_name, sql);
    QStringList rows = out.split('\n');
    while (!rows.isEmpty() && rows.last().isEmpty())
        rows.removeLast();
    return rows;
}

QString Scalar(const QString& sql)
{
    QStringList rows = Rows(sql);
    return rows.isEmpty() ? QString() : rows.first();
}

void Truncate()
{
    Exec("SET FOREIGN_KEY_CHECKS=0; TRUNCATE zol_baseinfo; TRUNCATE zol_status; TRUNCATE zol_temp;"
         " TRUNCATE zol_temp_log; TRUNCATE zol_log; TRUNCATE zol_op_log; TRUNCATE zol_scheduletask;"
         " TRUNCATE zol_tasktype; TRUNCATE zol_user;");
}

} // namespace TestDb
