// One reachability probe: a bare TCP connection attempt to a terminal's agent port.
#pragma once

#include "foundation/DevBean.h"
#include "foundation/ThreadBase.h"

#include <QString>
#include <atomic>
#include <functional>
#include <memory>

// The stop request of one probe. A probe frees itself when it ends, so the check that started
// it never touches the probe object again; both keep this flag (and the record) alive instead.
using ProbeStopFlag = std::atomic<bool>;

class ThreadTelnet : public ThreadBase {
public:
    enum class ConnectResult { Connected, Failed, TimedOut };
    using ConnectFunction = std::function<ConnectResult(const QString& ip, int port, int timeoutMs)>;

    // Created suspended. The probe writes only device->State, once, unless stop is set first.
    ThreadTelnet(const QString& name, std::shared_ptr<DevBean> device,
                 std::shared_ptr<ProbeStopFlag> stop = std::make_shared<ProbeStopFlag>(false));
    ~ThreadTelnet() override;

    // One connection attempt to ip (dotted IPv4 only; a host name or a blank address fails at
    // once) and port, given up after timeoutMs. Nothing is sent or received.
    static ConnectResult TryConnect(const QString& ip, int port, int timeoutMs);

    // The probe state of a record that a probe may be writing at the same moment.
    static int LoadState(DevBean& device);
    // Moves the state from ProbePending to state; false when it had already left ProbePending,
    // so the first of the probe's result and the check's time-out stands.
    static bool SettleState(DevBean& device, int state);

    // Number of probe objects alive (created and not yet freed), for tests and shutdown.
    static int LiveCount();
    // Test seam: replaces TryConnect for every probe (an empty function restores it).
    static void SetConnectForTest(ConnectFunction connect);

    std::shared_ptr<DevBean> Device;

protected:
    void Run() override;

private:
    std::shared_ptr<ProbeStopFlag> stop_;
};
