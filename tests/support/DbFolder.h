// The private database server's folder as tests see it: its account and password, the mariadb
// client, the modes of its files, and a folder as an older version of the scripts left it.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

// The account's password that db.sh keeps in the data folder's my.cnf.
QString KeptPassword(const QString& db);

// The mariadb client's exit code (-1 when it did not end in time) and what it printed.
struct ClientRun {
    int exitCode = -1;
    QString output;
};
ClientRun Mariadb(const QStringList& args, const QString& sql);
// As root, through the socket that the folder's my.cnf names.
ClientRun MariadbAsRoot(const QString& db, const QString& sql);

int Mode(const QString& path);
inline constexpr int GroupOrOthers = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                                     QFile::WriteOther | QFile::ExeOther;
// The folder and everything in it that its group or others may use.
QStringList OpenToOthers(const QString& folder);
// As an older version of the scripts left them (0755 folders, 0644 files): the next run tightens them.
void LoosenByHand(const QStringList& paths);

// The data folder's accounts while its server runs: root, mariadb.sys and the account "zol" alone;
// a password that only the owner's files hold, no way in without it (not with the fixed password of
// old, not as root, an account an older folder had or an unknown user over TCP), and the rights of
// its own databases only, with nothing to grant (PUBLIC, the role of every account, has none).
void ExpectPrivateAccount(const QString& db, int port);

// Makes the data folder (its server stopped) as an older version of the scripts left it: the
// account's password "zol" (in odbc.ini, none in my.cnf), every right with the right to grant them,
// root open over TCP, what anyone could then have added (an account "backdoor" with every right, a
// role with every right granted to "zol", every right to PUBLIC), a socket of a deep folder in /tmp
// itself, and files that others may read. With running, its server runs afterwards as the older
// script started it; the socket's path is returned.
QString AgeDataFolder(const QString& db, bool running = false);
