// Shared by the console, terminal and database tests: common includes, seeding terminals, reading the tree.
#pragma once

#include "console/DevTree.h"
#include "console/MainForm.h"
#include "foundation/DbMod.h"
#include "foundation/DevBean.h"
#include "support/ConsoleDb.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <QtWidgets>
#include <optional>

inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace DevTestSupport {

// A new terminal's id; its status row too when given (one client call: LAST_INSERT_ID is per connection).
inline int AddTerminal(const QString& name, std::optional<QString> status = std::nullopt,
                       const QString& ip = QStringLiteral("127.0.0.1"))
{
    QString sql = QStringLiteral("insert into zol_baseinfo (name, ip, mac, position, memo, relayIp, port) "
                                 "values ('%1', '%2', 'AA-BB', '大厅', '', '10.0.0.9', 4001);").arg(name, ip);
    if (status)
        sql += QStringLiteral("insert into zol_status (zol_id, status) values (LAST_INSERT_ID(), '%1');").arg(*status);
    return TestDb::Scalar(sql + "select max(id) from zol_baseinfo;").toInt();
}
inline void SetStored(int id, const QString& status)
{
    TestDb::Exec(QStringLiteral("update zol_status set status='%1' where zol_id = %2").arg(status).arg(id));
}
inline DevTree& Tree() { return *MainForm->DevTreeState(); }
inline QStringList Names(int group) { return Tree().Names(group); }
inline QString Captions() // "正常运行(1) 网络异常(0) ..."
{
    QStringList c;
    for (int g = 1; g <= DevTree::GroupCount; ++g)
        c << Tree().GroupNode(g)->text(0);
    return c.join(' ');
}
// The first node of a terminal in tree order (ids are positive, group and root tags are not).
inline QTreeWidgetItem* NodeOf(int id)
{
    for (QTreeWidgetItemIterator it(MainForm->TreeDev); *it; ++it)
        if (DevTree::TagOf(*it) == id)
            return *it;
    return nullptr;
}
// Lets queued changes from worker threads (and what they post in turn) reach the window.
inline void Pump() { for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(); }

} // namespace DevTestSupport
