// The reachability check: probes terminals' agent ports, at most three at a time, and moves each
// terminal in the device tree as its probe ends.
#include "terminal/ThreadConnectionTest.h"

#include "foundation/ConsoleServices.h"
#include "foundation/Consts.h"

#include <chrono>
#include <thread>

ThreadConnectionTest::ThreadConnectionTest(const std::vector<int>& ids, const QString& name)
    : ThreadProcessBar(name), Ids(ids)
{
    SetPosition(0);
    SetMax(static_cast<int>(ids.size()));
}

ThreadConnectionTest::~ThreadConnectionTest() = default;

void ThreadConnectionTest::Init()
{
    Devices.clear();
    Devices.reserve(Ids.size());
    for (int id : Ids) {
        auto device = std::make_shared<DevBean>(id);
        device->State = Consts::ProbePending;
        device->Elapsed = 0;
        device->Reported = false;
        Devices.push_back(std::move(device));
    }
    Probes.assign(Devices.size(), nullptr);
    StartProbes();
}

void ThreadConnectionTest::StartProbes()
{
    const int last = static_cast<int>(Devices.size()) - 1;
    while (Running < MaxRunning && LastStarted < last) {
        ++LastStarted;
        auto stop = std::make_shared<ProbeStopFlag>(false);
        Probes[LastStarted] = stop;
        auto* probe = new ThreadTelnet(QStringLiteral("检测网络线程"), Devices[LastStarted], stop);
        probe->SetFreeOnTerminate(true);
        probe->Resume(); // from here on the probe belongs to itself
        ++Running;
    }
}

void ThreadConnectionTest::AgeProbes()
{
    // Every started probe that has not been reported is aged, whatever order the earlier ones
    // ended in, so each one is timed out after TimeOut at the latest.
    const int limit = TimeOut.load();
    for (int i = 0; i <= LastStarted; ++i) {
        DevBean& device = *Devices[i];
        if (device.Reported || ThreadTelnet::LoadState(device) != Consts::ProbePending)
            continue;
        device.Elapsed += TickMs;
        if (device.Elapsed > limit && ThreadTelnet::SettleState(device, Consts::ProbeTimedOut))
            Probes[i]->store(true);
    }
}

void ThreadConnectionTest::Run()
{
    const int total = static_cast<int>(Devices.size());
    int reported = 0;
    SetPosition(0);
    while (!StopRequested) {
        StartProbes();
        AgeProbes();
        for (int i = 0; i <= LastStarted; ++i) {
            DevBean& device = *Devices[i];
            if (device.Reported || ThreadTelnet::LoadState(device) == Consts::ProbePending)
                continue;
            Report(device);
            --Running;
            ++reported;
        }
        SetPosition(reported);
        if (reported >= total)
            break;
        // Refill the places of the probes just reported before pausing, so that a place never
        // stays empty for a whole pass: 300 terminals then take 100 passes, not 200.
        StartProbes();
        std::this_thread::sleep_for(std::chrono::milliseconds(TickMs));
    }
    if (StopRequested) {
        for (int i = 0; i <= LastStarted; ++i)
            if (!Devices[i]->Reported)
                Probes[i]->store(true);
    }
}

void ThreadConnectionTest::Report(DevBean& device)
{
    if (device.Reported)
        return;
    const QString head = QStringLiteral("远程设备[") + device.Name + QStringLiteral(":") + device.ip;
    const bool reachable = ThreadTelnet::LoadState(device) == Consts::ProbeReachable;
    if (device.status == Consts::StatusPowerOff) {
        MainForm->LogInfo(head + QStringLiteral("]关闭电源状态．"));
    } else if (device.status == Consts::StatusDown) {
        MainForm->LogInfo(head + QStringLiteral("]关机状态．"));
    } else if (reachable) {
        device.status = Consts::StatusUp;
        MainForm->LogInfo(head + QStringLiteral("]网络正常．"));
    } else if (device.status == Consts::StatusUp) {
        device.status = Consts::StatusError;
        MainForm->LogWarning(head + QStringLiteral("]网络异常．"));
    }
    MainForm->UpdateDevNetState(device.Id, device.status);
    device.Reported = true;
}

void ThreadConnectionTest::Cleanup()
{
    // Probes still in their attempt keep their own references to their records and flags.
    Probes.clear();
    Devices.clear();
}
