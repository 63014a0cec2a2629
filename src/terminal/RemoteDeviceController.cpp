// The relay controller client: request frames, one reply per request, and the four power operations.
#include "terminal/RemoteDeviceController.h"

#include "foundation/ConsoleServices.h"
#include "foundation/Consts.h"
#include "foundation/DevBean.h"
#include "platform/BlockingSocket.h"
#include "platform/TrimBlanks.h"

#include <QByteArray>
#include <chrono>
#include <cstring>
#include <list>
#include <mutex>
#include <thread>

namespace {

std::atomic<int> g_divisor{1};

constexpr unsigned char StateOn = 0x80;
constexpr unsigned char StateOff = 0x00;
constexpr unsigned char OffFlag = 0x10; // set in the first data byte of a switch-off request
constexpr int MinReply = 10;            // bytes 8 and 9 must be there

// Button contacts that an operation may have closed and has not yet released (tried), in the whole
// program, each with the terminal it belongs to. Never freed: a relay operation may outlast the
// program's static objects.
struct HeldRegistry {
    std::mutex lock;
    std::list<QString> terminals;
};

HeldRegistry& Held()
{
    static HeldRegistry* const held = new HeldRegistry;
    return *held;
}

// Counts a button contact as held for as long as it lives.
class HeldContact {
public:
    explicit HeldContact(const QString& terminal)
    {
        std::lock_guard<std::mutex> hold(Held().lock);
        entry_ = Held().terminals.insert(Held().terminals.end(), terminal);
    }
    ~HeldContact()
    {
        std::lock_guard<std::mutex> hold(Held().lock);
        Held().terminals.erase(entry_);
    }
    HeldContact(const HeldContact&) = delete;
    HeldContact& operator=(const HeldContact&) = delete;

private:
    std::list<QString>::iterator entry_;
};

// The terminal and its relay as the console log names them: "名称(192.168.1.9:5000)".
QString TerminalOf(const DevBean* device)
{
    if (!device)
        return QString();
    return QStringLiteral("%1(%2:%3)").arg(device->Name, device->relayip).arg(device->port);
}

} // namespace

namespace RelayTimings {

void SetForTest(int divisor)
{
    g_divisor = divisor < 1 ? 1 : divisor;
}

int Scaled(int ms)
{
    if (ms <= 0)
        return 0;
    int v = ms / g_divisor.load();
    return v < 1 ? 1 : v;
}

} // namespace RelayTimings

RemoteDeviceController::RemoteDeviceController(DevBean* device)
    : Device(device), Socket(std::make_unique<BlockingSocket>())
{
    if (MainForm) {
        StartInterval = MainForm->IniReadInteger(Consts::SettingStartInterval.key, Consts::SettingStartInterval.def);
        ShutdownInterval =
            MainForm->IniReadInteger(Consts::SettingShutdownInterval.key, Consts::SettingShutdownInterval.def);
    }
}

RemoteDeviceController::~RemoteDeviceController()
{
    Socket->Close();
}

int RemoteDeviceController::BuildFrame(const RelayFrameDesc& desc, unsigned char* out)
{
    int n = desc.Count < 0 ? 0 : (desc.Count > RelayFrameDesc::MaxData ? RelayFrameDesc::MaxData : desc.Count);
    out[0] = desc.StartByte;
    for (int i = 0; i < 4; ++i)
        out[1 + i] = desc.Group[i];
    out[5] = desc.Single;
    out[6] = desc.Command;
    out[7] = static_cast<unsigned char>(n);
    for (int i = 0; i < n; ++i)
        out[8 + i] = static_cast<unsigned char>(desc.Data[i] & 0xFF);
    unsigned sum = 0;
    for (int i = 0; i < 8 + n; ++i)
        sum += out[i];
    out[8 + n] = static_cast<unsigned char>(sum & 0xFF);
    out[9 + n] = desc.EndByte;
    return n + 10;
}

int RemoteDeviceController::Connect()
{
    if (Connected)
        return RelayFail::Success;
    if (!Device || Device->Id < 1 || IsBlank(Device->relayip) || Device->port < 1)
        return RelayFail::BadRecord;
    // A relay that is switched off or unplugged must not hold the operation for the system's
    // connect time-out: the attempt gets the same limit as a reply.
    auto r = Socket->Connect(Device->relayip, Device->port,
                             RelayTimings::Scaled(RelayTimings::ConnectLimitMs));
    if (r != BlockingSocket::Result::Ok) {
        Socket->Close();
        return RelayFail::ConnectFailed;
    }
    Connected = true;
    return RelayFail::Success;
}

int RemoteDeviceController::Send(const void* buffer, int length)
{
    if (!Connected) {
        int c = Connect();
        if (!Connected)
            return c + RelayFail::SendNoConnection;
    }
    QByteArray bytes(static_cast<const char*>(buffer), length);
    if (Socket->Send(bytes, RelayTimings::Scaled(RelayTimings::ReplyWaitMs)) != BlockingSocket::Result::Ok)
        return RelayFail::SendError;
    return RelayFail::Success;
}

int RemoteDeviceController::Receive(void* buffer, int size, int* received)
{
    if (!Connected) {
        int c = Connect();
        if (!Connected)
            return c + RelayFail::ReceiveNoConnection;
    }
    QByteArray data;
    auto r = Socket->ReceiveSome(data, size, RelayTimings::Scaled(RelayTimings::ReplyWaitMs));
    switch (r) {
    case BlockingSocket::Result::Ok:
        std::memcpy(buffer, data.constData(), size_t(data.size()));
        *received = int(data.size());
        return RelayFail::Success;
    case BlockingSocket::Result::Closed:
        // The peer closed: readable, and the one receive brings nothing.
        *received = 0;
        return RelayFail::Success;
    case BlockingSocket::Result::TimedOut:
        return RelayFail::NoReply;
    default:
        return RelayFail::ReceiveError;
    }
}

int RemoteDeviceController::QueryState(int channel, int* state)
{
    RelayFrameDesc desc;
    desc.Command = RelayCmdQuery;
    desc.Count = 1;
    desc.Data[0] = channel;
    const int len = BuildFrame(desc, sendBuf_);
    int got = 0;
    int r = Connect();
    if (r == RelayFail::Success)
        r = Send(sendBuf_, len);
    if (r == RelayFail::Success)
        r = Receive(recvBuf_, BufferSize, &got);
    if (r == RelayFail::Success) {
        if (got < MinReply || recvBuf_[8] != static_cast<unsigned char>(channel))
            r = RelayFail::BadReply;
        else if (recvBuf_[9] == StateOn)
            *state = 0;
        else if (recvBuf_[9] == StateOff)
            *state = 1;
        else
            r = RelayFail::UnknownState;
    }
    if (r != RelayFail::Success)
        r += RelayFail::InQuery;
    return r;
}

int RemoteDeviceController::SetChannel(int channel, bool on)
{
    int state = -1;
    int r = QueryState(channel, &state);
    if (r != RelayFail::Success)
        return r; // keeps the query's context only
    if (state == (on ? 0 : 1))
        return RelayFail::Success;

    const unsigned char first = static_cast<unsigned char>(on ? channel : (channel | OffFlag));
    RelayFrameDesc desc;
    desc.Command = RelayCmdSet;
    desc.Count = 2;
    desc.Data[0] = first;
    desc.Data[1] = 0x00;
    int got = 0;
    r = Connect();
    const int len = BuildFrame(desc, sendBuf_);
    if (r == RelayFail::Success)
        r = Send(sendBuf_, len);
    if (r == RelayFail::Success)
        r = Receive(recvBuf_, BufferSize, &got);
    if (r == RelayFail::Success) {
        const bool confirmed = got >= MinReply && recvBuf_[8] == first
                               && recvBuf_[9] == (on ? StateOn : StateOff);
        r = confirmed ? RelayFail::Success : RelayFail::BadReply;
    }
    if (r != RelayFail::Success)
        r += on ? RelayFail::InSwitchOn : RelayFail::InSwitchOff;
    return r;
}

int RemoteDeviceController::SwitchOn(int channel)
{
    return SetChannel(channel, true);
}

int RemoteDeviceController::SwitchOff(int channel)
{
    return SetChannel(channel, false);
}

int RemoteDeviceController::Step(int channel, bool on)
{
    int r = 0;
    for (int attempt = 0; attempt < RelayTimings::StepAttempts; ++attempt) {
        r = on ? SwitchOn(channel) : SwitchOff(channel);
        if (r == RelayFail::Success)
            break;
    }
    return r;
}

void RemoteDeviceController::Pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(RelayTimings::Scaled(ms)));
}

int RemoteDeviceController::PressButton(int contactMs)
{
    // Release the button contact, close it for the contact time, release it again.
    int r = Step(ButtonChannel, false);
    if (r != RelayFail::Success)
        return r;
    Pause(RelayTimings::ButtonSettleMs);
    // Held from before its frame is sent: while the press waits for its reply, the relay may
    // already have closed the contact. Held until the release has been confirmed or its tries have
    // all failed (or, the press failing, until its own tries are over).
    const HeldContact held(TerminalOf(Device));
    r = Step(ButtonChannel, true);
    if (r != RelayFail::Success)
        return r;
    Pause(contactMs);
    return Step(ButtonChannel, false);
}

int RemoteDeviceController::HeldContacts()
{
    std::lock_guard<std::mutex> hold(Held().lock);
    return int(Held().terminals.size());
}

QStringList RemoteDeviceController::HeldContactTerminals()
{
    std::lock_guard<std::mutex> hold(Held().lock);
    return QStringList(Held().terminals.begin(), Held().terminals.end());
}

int RemoteDeviceController::Start()
{
    return PressButton(StartInterval);
}

int RemoteDeviceController::Shutdown()
{
    return PressButton(ShutdownInterval);
}

int RemoteDeviceController::PowerOff()
{
    return Step(PowerChannel, false);
}

int RemoteDeviceController::PowerOn()
{
    return Step(PowerChannel, true);
}

int RemoteDeviceController::Execute(char op)
{
    switch (op) {
    case OpStart:
        return Start();
    case OpShutdown:
        return Shutdown();
    case OpPowerOff:
        return PowerOff();
    case OpPowerOn:
        return PowerOn();
    default:
        return 0;
    }
}
