// Remote power commands under the wait window: per-terminal control threads, recording, status, stop.
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "foundation/DevBean.h"
#include "support/ConsoleDb.h"
#include "support/FakeRelay.h"
#include "support/ScriptedAnswerer.h"
#include "support/TestDb.h"
#include "terminal/RemoteDeviceController.h"
#include "terminal/ThreadRemoteDeviceControlBatch.h"
#include "windows/FrmWait.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>

namespace {

constexpr int Divisor = 20; // replies awaited 300 ms, the batch looks every 10 ms

struct BatchRun {
    std::vector<int> positions; // every value of Position seen, in order, without repeats
    qint64 ms = 0;
    void Saw(int p)
    {
        if (positions.empty() || positions.back() != p)
            positions.push_back(p);
    }
};

// A batch that tells the test when the wait window frees it, and its last progress.
class ObservedBatch : public ThreadRemoteDeviceControlBatch {
public:
    ObservedBatch(std::vector<int> ids, char op, bool* alive, BatchRun* run)
        : ThreadRemoteDeviceControlBatch(std::move(ids), QStringLiteral("检测网络"), op),
          alive_(alive), run_(run)
    {
        *alive_ = true;
    }
    ~ObservedBatch() override
    {
        run_->Saw(GetPosition());
        *alive_ = false;
    }

private:
    bool* alive_;
    BatchRun* run_;
};

// Runs a batch the way the main window's commands do, sampling its progress on the UI thread.
// during is called on every sample while the batch lives.
BatchRun RunUnderWaitWindow(std::vector<int> ids, char op,
                            std::function<void(TFormWait&, ThreadProcessBar&)> during = {})
{
    bool alive = false;
    BatchRun run;
    auto* batch = new ObservedBatch(std::move(ids), op, &alive, &run);
    FormWait = new TFormWait();
    FormWait->SetThread(batch);
    QTimer sampler;
    sampler.setInterval(1);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (!alive)
            return;
        run.Saw(batch->GetPosition());
        if (during)
            during(*FormWait, *batch);
    });
    sampler.start();
    QElapsedTimer clock;
    clock.start();
    FormWait->ShowModal();
    run.ms = clock.elapsed();
    sampler.stop();
    EXPECT_FALSE(alive) << "the wait window frees the batch";
    delete FormWait;
    FormWait = nullptr;
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(); // tree moves queued by the batch
    return run;
}

int AddTerminal(const QString& name, const QString& status, int relayPort,
                const QString& relayIp = QStringLiteral("127.0.0.1"))
{
    TestDb::Exec(QStringLiteral("insert into zol_baseinfo (name, ip, relayIp, port) values ('%1', '10.1.1.1', '%2', %3)")
                     .arg(QString(name).replace("'", "''"), relayIp)
                     .arg(relayPort));
    const int id = TestDb::Scalar("select max(id) from zol_baseinfo").toInt();
    TestDb::Exec(QStringLiteral("insert into zol_status (zol_id, status) values (%1, '%2')").arg(id).arg(status));
    return id;
}

QString Stored(int id)
{
    return TestDb::Scalar(QStringLiteral("select status from zol_status where zol_id = %1").arg(id));
}

class RemotePowerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ConsoleDb::SetUp();
        RelayTimings::SetForTest(Divisor);
        static UserBean op;
        op.Id = 3;
        op.Name = QStringLiteral("值班员");
        CurrentUser = &op;
        // The first window shown loads the fonts; keep that out of the timed runs.
        TFormWait warm;
        warm.show();
        QCoreApplication::processEvents();
        warm.hide();
    }
    void SetUp() override { TestDb::Truncate(); }
};

TEST_F(RemotePowerTest, ConstructionCopiesTheIdsAndSetsMax)
{
    int* ids = new int[3]{4, 5, 6};
    ThreadRemoteDeviceControlBatch batch(ids, 3, "检测网络", OpPowerOff);
    delete[] ids; // the caller may free its array at once
    EXPECT_EQ(batch.Ids, (std::vector<int>{4, 5, 6}));
    EXPECT_EQ(batch.GetMax(), 3);
    EXPECT_EQ(batch.GetPosition(), 0);
    EXPECT_FALSE(batch.Finished);

    // No terminals: the progress base shows 100 as maximum, and the batch ends without a row.
    ThreadRemoteDeviceControlBatch empty(nullptr, 0, "检测网络", OpPowerOff);
    EXPECT_EQ(empty.GetMax(), 100);
    empty.Resume();
    empty.WaitFor();
    EXPECT_TRUE(empty.Finished);
    EXPECT_FALSE(empty.Error);
    EXPECT_EQ(TestDb::Scalar("select count(*) from zol_op_log"), "0");
}

TEST_F(RemotePowerTest, OperationTextsAndStatusWords)
{
    EXPECT_EQ(ThreadRemoteDeviceControlBatch::OperationText(OpStart, 12, "大厅一号"),
              QString("启动远程设备操作,设备ID为(12),设备名称为(大厅一号)."));
    EXPECT_EQ(ThreadRemoteDeviceControlBatch::OperationText(OpShutdown, 1, "a"),
              QString("关闭远程设备操作,设备ID为(1),设备名称为(a)."));
    EXPECT_EQ(ThreadRemoteDeviceControlBatch::OperationText(OpPowerOff, 1, "a"),
              QString("关闭远程设备电源,设备ID为(1),设备名称为(a)."));
    EXPECT_EQ(ThreadRemoteDeviceControlBatch::OperationText(OpPowerOn, 1, "a"),
              QString("打开远程设备电源,设备ID为(1),设备名称为(a)."));
    EXPECT_EQ(ThreadRemoteDeviceControlBatch::StatusWordFor(OpStart), QString());
    EXPECT_EQ(ThreadRemoteDeviceControlBatch::StatusWordFor(OpShutdown), Consts::StatusDown);
    EXPECT_EQ(ThreadRemoteDeviceControlBatch::StatusWordFor(OpPowerOff), Consts::StatusPowerOff);
    EXPECT_EQ(ThreadRemoteDeviceControlBatch::StatusWordFor(OpPowerOn), Consts::StatusDown);
}

TEST_F(RemotePowerTest, PowerOffOfOneTerminalIsRecordedStoredAndMoved)
{
    FakeRelay relay;
    relay.SetChannel(PowerChannel, true);
    relay.SetFault(FakeRelay::Fault::Delay); // long enough for the progress to be seen
    relay.SetDelayMs(100);
    ScriptedAnswerer boxes;
    const int id = AddTerminal("O'Neil 大厅", "up", relay.Port());
    MainForm->BuildDevTree();
    ASSERT_EQ(MainForm->GetDevNetState(id), Consts::StatusUp);

    BatchRun run = RunUnderWaitWindow({id}, OpPowerOff);

    std::vector<int> seen = run.positions;
    if (!seen.empty() && seen.front() == 0)
        seen.erase(seen.begin()); // sampled before the batch began its loop
    EXPECT_EQ(seen, (std::vector<int>{35, 1}));
    EXPECT_FALSE(relay.Channel(PowerChannel));
    EXPECT_EQ(boxes.Count(), 0);
    const QStringList rows = TestDb::Rows("select zol_id, user_id, user_name, operation, status, memo from zol_op_log");
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0], QStringLiteral("%1\t3\t值班员\t关闭远程设备电源,设备ID为(%1),设备名称为(O'Neil 大厅).\t1\t").arg(id));
    EXPECT_EQ(Stored(id), Consts::StatusPowerOff);
    EXPECT_EQ(MainForm->GetDevNetState(id), Consts::StatusPowerOff);
}

TEST_F(RemotePowerTest, StartLeavesTheStatusAndShutdownOrPowerOnStoreDown)
{
    FakeRelay relay;
    const int id = AddTerminal("一号机", "up", relay.Port());
    MainForm->BuildDevTree();
    RunUnderWaitWindow({id}, OpStart);
    EXPECT_EQ(relay.FrameCount(), 5);
    EXPECT_EQ(TestDb::Scalar("select status from zol_op_log"), "1");
    EXPECT_EQ(Stored(id), Consts::StatusUp);
    EXPECT_EQ(MainForm->GetDevNetState(id), Consts::StatusUp);

    RunUnderWaitWindow({id}, OpShutdown);
    EXPECT_EQ(Stored(id), Consts::StatusDown);
    EXPECT_EQ(MainForm->GetDevNetState(id), Consts::StatusDown);

    TestDb::Exec(QStringLiteral("update zol_status set status='poweroff' where zol_id = %1").arg(id));
    RunUnderWaitWindow({id}, OpPowerOn);
    EXPECT_TRUE(relay.Channel(PowerChannel));
    EXPECT_EQ(Stored(id), Consts::StatusDown);
    EXPECT_EQ(TestDb::Scalar("select count(*) from zol_op_log where status = '1'"), "3");
}

TEST_F(RemotePowerTest, FailuresAreWarnedAndLoggedWithTheirCode)
{
    FakeRelay relay;
    relay.SetFault(FakeRelay::Fault::Refuse);
    ScriptedAnswerer boxes;
    const int unreachable = AddTerminal("一号机", "up", relay.Port());
    const int noPort = AddTerminal("二号机", "up", 0);

    RunUnderWaitWindow({unreachable, noPort}, OpPowerOff);

    const auto asked = boxes.Requests();
    ASSERT_EQ(asked.size(), 2u);
    QStringList texts;
    for (const auto& r : asked) {
        EXPECT_EQ(r.caption, QString("警告"));
        EXPECT_EQ(r.icon, MsgIcon::Warning);
        texts << r.text;
    }
    QStringList expected{QStringLiteral("无法连接到远程设备的关联网络控制器[127.0.0.1]的端口 [%1]").arg(relay.Port()),
                         QStringLiteral("无法连接到远程设备的关联网络控制器[127.0.0.1]的端口 [0]")};
    texts.sort();
    expected.sort();
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(TestDb::Rows("select zol_id, status, memo from zol_op_log order by zol_id"),
              QStringList({QStringLiteral("%1\t0\tFail Code(0x10000100)").arg(unreachable),
                           QStringLiteral("%1\t0\tFail Code(0x10000002)").arg(noPort)}));
    EXPECT_EQ(Stored(unreachable), Consts::StatusUp);
    EXPECT_EQ(Stored(noPort), Consts::StatusUp);
    EXPECT_EQ(relay.Connections(), 0);
}

TEST_F(RemotePowerTest, ResultsArrivingAtDifferentPassesAreEachRecordedOnce)
{
    FakeRelay fast, slow, slowest;
    slow.SetFault(FakeRelay::Fault::Delay);
    slow.SetDelayMs(60);
    slowest.SetFault(FakeRelay::Fault::Delay);
    slowest.SetDelayMs(150);
    for (FakeRelay* r : {&fast, &slow, &slowest})
        r->SetChannel(PowerChannel, true);
    const int a = AddTerminal("甲", "up", slowest.Port());
    const int b = AddTerminal("乙", "up", fast.Port());
    const int c = AddTerminal("丙", "up", slow.Port());

    BatchRun run = RunUnderWaitWindow({a, b, c}, OpPowerOff);

    EXPECT_EQ(run.positions, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_GE(run.ms, 2 * 150); // the batch ends only after the last terminal
    EXPECT_EQ(TestDb::Rows("select zol_id from zol_op_log order by id"),
              QStringList({QString::number(b), QString::number(c), QString::number(a)}));
    for (int id : {a, b, c})
        EXPECT_EQ(Stored(id), Consts::StatusPowerOff);
}

TEST_F(RemotePowerTest, StopLeavesRunningControlThreadsUnrecorded)
{
    FakeRelay fast, silent1, silent2;
    fast.SetChannel(PowerChannel, true);
    silent1.SetFault(FakeRelay::Fault::Silent);
    silent2.SetFault(FakeRelay::Fault::Silent);
    ScriptedAnswerer boxes;
    const int a = AddTerminal("甲", "up", fast.Port());
    const int b = AddTerminal("乙", "up", silent1.Port());
    const int c = AddTerminal("丙", "up", silent2.Port());

    qint64 stoppedAt = -1;
    QElapsedTimer clock;
    clock.start();
    BatchRun run = RunUnderWaitWindow({a, b, c}, OpPowerOff, [&](TFormWait& w, ThreadProcessBar& batch) {
        if (stoppedAt < 0 && batch.GetPosition() == 1) {
            stoppedAt = clock.elapsed();
            QTest::mouseClick(w.BtnStop, Qt::LeftButton);
        }
    });
    ASSERT_GE(stoppedAt, 0);
    // The batch left its loop within a pass; the silent relays still had most of their tries ahead.
    EXPECT_LT(run.ms - stoppedAt, 4 * RelayTimings::ReplyWaitMs / Divisor);
    EXPECT_EQ(TestDb::Rows("select zol_id, status from zol_op_log"), QStringList({QStringLiteral("%1\t1").arg(a)}));

    // The control threads run on with their own records after the batch has been freed...
    EXPECT_TRUE(silent1.WaitFrames(4, 5000));
    EXPECT_TRUE(silent2.WaitFrames(4, 5000));
    for (int i = 0; i < 100 && (silent1.OpenConnections() || silent2.OpenConnections()); ++i)
        QThread::msleep(10);
    EXPECT_EQ(silent1.OpenConnections() + silent2.OpenConnections(), 0);
    // ...and their results are never recorded.
    EXPECT_EQ(TestDb::Scalar("select count(*) from zol_op_log"), "1");
    EXPECT_EQ(boxes.Count(), 0);
    EXPECT_EQ(Stored(b), Consts::StatusUp);
}

} // namespace
