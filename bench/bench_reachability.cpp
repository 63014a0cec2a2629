// Times a reachability check of 300 reachable terminals against its floor: with three probes at a
// time and one pass every 100 ms, 300 terminals need at least 100 passes, i.e. 10 s.
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "platform/Application.h"
#include "support/ConsoleDb.h"
#include "support/ReachabilityPeers.h"
#include "support/TestDb.h"
#include "terminal/ThreadConnectionTest.h"
#include "terminal/ThreadTelnet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int Terminals = 300;
constexpr double TargetRatio = 1.2;

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TApplication app(argc, argv);

    ConsoleDb::SetUp();
    ReachabilityPeers peers;
    MainForm->IniWriteInteger(QStringLiteral("SocketPort"), peers.Port());

    QString sql;
    std::vector<int> ids;
    for (int id = 1; id <= Terminals; ++id) {
        sql += QStringLiteral("insert into zol_baseinfo (id, name, ip) values (%1, '终端%1', '127.0.0.1');"
                              "insert into zol_status (zol_id, status) values (%1, 'up');")
                   .arg(id);
        ids.push_back(id);
    }
    TestDb::Exec(sql);
    MainForm->BuildDevTree();
    TimeOut = 1000;

    auto* check = new ThreadConnectionTest(ids, QStringLiteral("检测所有设备网络状态"));
    QElapsedTimer t;
    t.start();
    check->Resume();
    while (!check->Finished) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    const double seconds = t.elapsed() / 1000.0;
    const int reported = check->GetPosition();
    delete check;
    QCoreApplication::processEvents();

    const double floor = Terminals / ThreadConnectionTest::DefaultMaxRunning *
                         (ThreadConnectionTest::TickMs / 1000.0);
    const double ratio = seconds / floor;
    std::printf("reachability check of %d reachable terminals: %.2f s (floor %.2f s, ratio %.3f, "
                "target <= %.2f) reported %d, connections accepted %d: %s\n",
                Terminals, seconds, floor, ratio, TargetRatio, reported, peers.Accepted(),
                ratio <= TargetRatio && reported == Terminals ? "ok" : "MISSED");

    while (ThreadTelnet::LiveCount() > 0)
        QThread::msleep(5);
    return 0;
}
