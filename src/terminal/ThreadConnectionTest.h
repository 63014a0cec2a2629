// The reachability check: probes terminals' agent ports, at most three at a time, and moves each
// terminal in the device tree as its probe ends.
#pragma once

#include "foundation/DevBean.h"
#include "foundation/ThreadBase.h"
#include "terminal/ThreadTelnet.h"

#include <QString>
#include <memory>
#include <vector>

class ThreadConnectionTest : public ThreadProcessBar {
public:
    static constexpr int DefaultMaxRunning = 3;
    static constexpr int TickMs = 100; // one pass of the check; probes are aged by this much

    // Created suspended; the wait window (or the caller) resumes it. The ids are copied.
    ThreadConnectionTest(const std::vector<int>& ids, const QString& name);
    ~ThreadConnectionTest() override;

protected:
    void Init() override;
    void Run() override;
    void Cleanup() override;

private:
    void StartProbes();
    void AgeProbes();
    void Report(DevBean& device);

    std::vector<int> Ids;
    // One record per terminal; a probe keeps its own reference, so a stopped check can free
    // its side while a probe is still in its connection attempt.
    std::vector<std::shared_ptr<DevBean>> Devices;
    // The stop flags of the started probes (the probe objects free themselves).
    std::vector<std::shared_ptr<ProbeStopFlag>> Probes;
    int LastStarted = -1;
    int Running = 0;
    int MaxRunning = DefaultMaxRunning;
};
