// Times the device tree with 10,000 terminals: building it from the database and moving every
// terminal to another group through UpdateDevNetState, then the same on a visible tree alone.
#include "console/DevTree.h"
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "foundation/DbMod.h"
#include "platform/Application.h"
#include "support/ConsoleDb.h"
#include "support/TestDb.h"

#include <QElapsedTimer>
#include <QTreeWidget>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int Terminals = 10000;
constexpr int SeedBatch = 2000;

void Seed()
{
    for (int first = 1; first <= Terminals; first += SeedBatch) {
        QStringList values;
        for (int i = first; i < first + SeedBatch && i <= Terminals; ++i)
            values << QStringLiteral("('终端%1','10.1.%2.%3','','','','',0)").arg(i, 5, 10, QLatin1Char('0'))
                          .arg(i / 256)
                          .arg(i % 256);
        TestDb::Exec(QStringLiteral("insert into zol_baseinfo (name, ip, mac, position, memo, relayIp, port) values ") +
                     values.join(','));
    }
    TestDb::Exec(QStringLiteral("insert into zol_status (zol_id, status, updatetime) select id, 'up', '' from zol_baseinfo"));
}

double Ms(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }

bool Check(bool ok, const char* what)
{
    if (!ok)
        std::printf("  CHECK FAILED: %s\n", what);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TApplication app(argc, argv);
    ConsoleDb::SetUp();
    LogLevel = Consts::LevelInfo; // no debug line per statement
    Seed();
    bool ok = true;

    std::printf("device tree, %d terminals\n", Terminals);
    QElapsedTimer t;
    t.start();
    MainForm->BuildDevTree();
    std::printf("  BuildDevTree (query and tree):          %8.1f ms  (target < 300 ms)\n", Ms(t));
    DevTree& tree = *MainForm->DevTreeState();
    ok &= Check(tree.Count(DevTree::GroupUp) == Terminals, "all terminals in group 1");

    t.restart();
    for (int id = 1; id <= Terminals; ++id)
        MainForm->UpdateDevNetState(id, Consts::StatusError);
    const double moves = Ms(t);
    std::printf("  %d x UpdateDevNetState (query + move): %8.1f ms  (target < 1000 ms)\n", Terminals, moves);
    ok &= Check(tree.Count(DevTree::GroupError) == Terminals, "all terminals moved to group 2");
    ok &= Check(tree.GroupNode(DevTree::GroupUp)->text(0) == QStringLiteral("正常运行(0)"), "caption of group 1");

    // Where that time goes: the same statements alone, then the same moves on the tree alone.
    t.restart();
    for (int id = 1; id <= Terminals; ++id)
        FormDbMod->QuerySql(
            QStringLiteral("select * from zol_baseinfo a , zol_status b where a.id = b.zol_id and id = ") +
            QString::number(id));
    std::printf("    of which the %d statements alone:    %8.1f ms\n", Terminals, Ms(t));
    t.restart();
    for (int id = 1; id <= Terminals; ++id)
        tree.Move(id, DevTree::GroupUp);
    std::printf("    and the %d tree moves alone:         %8.1f ms\n", Terminals, Ms(t));
    ok &= Check(tree.Count(DevTree::GroupUp) == Terminals, "all terminals moved back to group 1");

    // The tree on a widget that is visible and painted afterwards.
    QTreeWidget widget;
    widget.setHeaderHidden(true);
    widget.setUniformRowHeights(true);
    widget.resize(240, 800);
    widget.show();
    DevTree shown(&widget);
    std::vector<DevTree::Entry> entries;
    for (int id = 1; id <= Terminals; ++id)
        entries.push_back({id, QStringLiteral("终端%1").arg(id), DevTree::GroupPowerOff});
    t.restart();
    shown.Rebuild(entries);
    QCoreApplication::processEvents();
    std::printf("  visible tree: rebuild and paint:        %8.1f ms\n", Ms(t));
    t.restart();
    for (int id = 1; id <= Terminals; ++id)
        shown.Move(id, DevTree::GroupUp);
    QCoreApplication::processEvents();
    std::printf("  visible tree: %d moves and paint:    %8.1f ms\n", Terminals, Ms(t));
    ok &= Check(shown.Count(DevTree::GroupUp) == Terminals, "visible tree: all moved");

    delete ConsoleDb::Module(); // closes FormDbMod
    delete MainForm;
    return ok ? 0 : 1;
}
