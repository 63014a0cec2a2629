// Seeding terminals and reading the device tree, shared by the device tree and detail box tests.
#pragma once

#include "console/DevTree.h"
#include "console/MainForm.h"
#include "support/TestDb.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QTreeWidgetItem>
#include <optional>

namespace DevTestSupport {

// Inserts a terminal and, when status is given, its status row; returns the new id.
inline int AddTerminal(const QString& name, std::optional<QString> status = std::nullopt,
                       const QString& ip = QStringLiteral("127.0.0.1"))
{
    TestDb::Exec(QStringLiteral("insert into zol_baseinfo (name, ip, mac, position, memo, relayIp, port) "
                                "values ('%1', '%2', 'AA-BB', '大厅', '', '10.0.0.9', 4001)")
                     .arg(name, ip));
    const int id = TestDb::Scalar(QStringLiteral("select max(id) from zol_baseinfo")).toInt();
    if (status)
        TestDb::Exec(QStringLiteral("insert into zol_status (zol_id, status, updatetime) values (%1, '%2', '')")
                         .arg(id)
                         .arg(*status));
    return id;
}

inline void SetStored(int id, const QString& status)
{
    TestDb::Exec(QStringLiteral("update zol_status set status='%1' where zol_id = %2").arg(status).arg(id));
}

inline DevTree& Tree() { return *MainForm->DevTreeState(); }
inline QStringList Names(int group) { return Tree().Names(group); }
inline QString Caption(int group) { return Tree().GroupNode(group)->text(0); }
inline QStringList Captions()
{
    QStringList c;
    for (int g = 1; g <= DevTree::GroupCount; ++g)
        c << Caption(g);
    return c;
}

// Lets queued changes from worker threads reach the window.
inline void Pump()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

} // namespace DevTestSupport
