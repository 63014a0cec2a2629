// Times a power-off of many terminals, each with its own fake relay controller, against one operation alone.
//   bench_remotepower [terminals=100] [relay reply delay in ms=0]
// Needs the private database (eval "$(scripts/db.sh env .zol/devdb)").
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "foundation/DevBean.h"
#include "platform/Application.h"
#include "support/ConsoleDb.h"
#include "peers/FakeRelay.h"
#include "support/ScriptedAnswerer.h"
#include "support/TestDb.h"
#include "terminal/RemoteDeviceController.h"
#include "terminal/ThreadRemoteDeviceControlBatch.h"
#include "windows/FrmWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

// The batch as the console runs it, noting when its body ended.
class TimedBatch : public ThreadRemoteDeviceControlBatch {
public:
    TimedBatch(std::vector<int> ids, QElapsedTimer* clock, qint64* endedAt)
        : ThreadRemoteDeviceControlBatch(std::move(ids), QStringLiteral("检测网络"), OpPowerOff),
          clock_(clock), endedAt_(endedAt) {}

    static inline qint64 initEnded = -1;

protected:
    void Init() override
    {
        ThreadRemoteDeviceControlBatch::Init();
        initEnded = clock_->elapsed();
    }
    void Cleanup() override
    {
        ThreadRemoteDeviceControlBatch::Cleanup();
        *endedAt_ = clock_->elapsed();
    }

private:
    QElapsedTimer* clock_;
    qint64* endedAt_;
};

double OneOperationMs(FakeRelay& relay, int relayId)
{
    // One terminal's power-off alone (query and set request on one connection), best of 5.
    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
        relay.SetChannel(PowerChannel, true);
        DevBean dev;
        dev.Id = relayId;
        dev.relayip = "127.0.0.1";
        dev.port = relay.Port();
        QElapsedTimer t;
        t.start();
        RemoteDeviceController c(&dev);
        const int code = c.Execute(OpPowerOff);
        const double ms = t.nsecsElapsed() / 1e6;
        if (code != 1)
            std::fprintf(stderr, "single power-off failed: 0x%x\n", code);
        best = std::min(best, ms);
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int terminals = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    const int replyDelay = argc > 2 ? std::max(0, std::atoi(argv[2])) : 0;
    TApplication app(argc, argv);
    ConsoleDb::SetUp();
    UserBean op;
    op.Id = 1;
    op.Name = QStringLiteral("基准");
    CurrentUser = &op;
    ScriptedAnswerer boxes; // a failure would otherwise wait for the operator

    std::vector<std::unique_ptr<FakeRelay>> relays;
    QStringList rows;
    for (int i = 0; i < terminals; ++i) {
        relays.push_back(std::make_unique<FakeRelay>());
        relays.back()->SetChannel(PowerChannel, true);
        if (replyDelay > 0) {
            relays.back()->SetFault(FakeRelay::Fault::Delay);
            relays.back()->SetDelayMs(replyDelay);
        }
        rows << QStringLiteral("(%1, '终端%1', '10.0.%2.%3', '127.0.0.1', %4)")
                    .arg(i + 1).arg(i / 250).arg(i % 250 + 1).arg(relays.back()->Port());
    }
    TestDb::Exec("insert into zol_baseinfo (id, name, ip, relayIp, port) values " + rows.join(','));
    TestDb::Exec("insert into zol_status (zol_id, status) select id, 'up' from zol_baseinfo");
    MainForm->BuildDevTree();

    FakeRelay lone;
    if (replyDelay > 0) {
        lone.SetFault(FakeRelay::Fault::Delay);
        lone.SetDelayMs(replyDelay);
    }
    const double floorMs = OneOperationMs(lone, 1);

    std::vector<int> ids;
    for (int i = 1; i <= terminals; ++i)
        ids.push_back(i);
    QElapsedTimer clock;
    qint64 bodyEnded = -1;
    FormWait = new TFormWait();
    FormWait->SetThread(new TimedBatch(ids, &clock, &bodyEnded));
    clock.start();
    FormWait->ShowModal();
    const qint64 wallMs = clock.elapsed();
    delete FormWait;
    FormWait = nullptr;
    QCoreApplication::processEvents();

    const int done = TestDb::Scalar("select count(*) from zol_op_log where status = '1'").toInt();
    const int stored = TestDb::Scalar("select count(*) from zol_status where status = 'poweroff'").toInt();
    std::printf("power-off of %d terminals, %d fake relay controllers, reply delay %d ms\n", terminals,
                terminals, replyDelay);
    std::printf("  floor (one operation's round trips alone): %8.2f ms\n", floorMs);
    std::printf("  records loaded, control threads started:   %8lld ms\n", (long long)TimedBatch::initEnded);
    std::printf("  batch body (resume to end of cleanup):     %8lld ms\n", (long long)bodyEnded);
    std::printf("  command under the wait window:             %8lld ms\n", (long long)wallMs);
    std::printf("  batch poll interval %d ms, wait window step %d ms + close pause %d ms\n",
                RelayTimings::BatchPollMs, TFormWait::StepIntervalMs, TFormWait::CloseDelayMs);
    std::printf("  recorded ok: %d/%d, stored poweroff: %d/%d, warnings: %d\n", done, terminals, stored,
                terminals, boxes.Count());
    return done == terminals && stored == terminals ? 0 : 1;
}
