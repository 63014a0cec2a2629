// One reachability probe: a bare TCP connection attempt to a terminal's agent port.
#include "terminal/ThreadTelnet.h"

#include "foundation/Consts.h"
#include "platform/BlockingSocket.h"

#include <arpa/inet.h>

#include <mutex>

namespace {

std::atomic<int> liveProbes{0};

std::mutex connectSeamLock;
ThreadTelnet::ConnectFunction connectSeam;

ThreadTelnet::ConnectFunction CurrentConnect()
{
    std::lock_guard<std::mutex> guard(connectSeamLock);
    return connectSeam;
}

} // namespace

ThreadTelnet::ThreadTelnet(const QString& name, std::shared_ptr<DevBean> device,
                           std::shared_ptr<ProbeStopFlag> stop)
    : ThreadBase(name), Device(std::move(device)), stop_(std::move(stop))
{
    ++liveProbes;
}

ThreadTelnet::~ThreadTelnet()
{
    --liveProbes;
}

ThreadTelnet::ConnectResult ThreadTelnet::TryConnect(const QString& ip, int port, int timeoutMs)
{
    // Only an address in dotted form counts: a terminal is never looked up by name.
    in_addr address{};
    if (inet_pton(AF_INET, ip.toLatin1().constData(), &address) != 1)
        return ConnectResult::Failed;
    if (port < 1 || port > 65535)
        return ConnectResult::Failed;
    BlockingSocket socket;
    const BlockingSocket::Result result = socket.Connect(ip, port, timeoutMs);
    socket.Close();
    if (result == BlockingSocket::Result::Ok)
        return ConnectResult::Connected;
    if (result == BlockingSocket::Result::TimedOut)
        return ConnectResult::TimedOut;
    return ConnectResult::Failed;
}

int ThreadTelnet::LoadState(DevBean& device)
{
    return std::atomic_ref<int>(device.State).load();
}

bool ThreadTelnet::SettleState(DevBean& device, int state)
{
    int expected = Consts::ProbePending;
    return std::atomic_ref<int>(device.State).compare_exchange_strong(expected, state);
}

int ThreadTelnet::LiveCount()
{
    return liveProbes.load();
}

void ThreadTelnet::SetConnectForTest(ConnectFunction connect)
{
    std::lock_guard<std::mutex> guard(connectSeamLock);
    connectSeam = std::move(connect);
}

void ThreadTelnet::Run()
{
    // The attempt is bounded by the check's time-out: a terminal that drops packets would
    // otherwise keep this thread in connect() for minutes after the check has moved on.
    const int limitMs = TimeOut.load();
    const ConnectFunction seam = CurrentConnect();
    const ConnectResult result = seam ? seam(Device->ip, Device->SocketPort, limitMs)
                                      : TryConnect(Device->ip, Device->SocketPort, limitMs);
    if (StopRequested || stop_->load())
        return; // the check has timed this terminal out or was stopped: its state stands
    int state = Consts::ProbeUnreachable;
    if (result == ConnectResult::Connected)
        state = Consts::ProbeReachable;
    else if (result == ConnectResult::TimedOut)
        state = Consts::ProbeTimedOut;
    SettleState(*Device, state);
}
