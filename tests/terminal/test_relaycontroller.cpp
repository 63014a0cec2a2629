// The relay controller client against fake relay controllers: frames, operations, failure codes.
#include "foundation/ConsoleServices.h"
#include "foundation/Consts.h"
#include "foundation/DevBean.h"
#include "peers/FakeRelay.h"
#include "support/ReachabilityPeers.h"
#include "terminal/RemoteDeviceController.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <map>
#include <optional>

inline void PrintTo(const QByteArray& b, std::ostream* os) { *os << b.toHex(' ').toUpper().toStdString(); }

namespace {

constexpr int Divisor = 30; // replies are awaited 200 ms, the button settles 10 ms
constexpr int WaitMs = 20000; // upper bound of every wait for a fake relay
// Single calls rather than operations.
constexpr char SwitchOn = 'n';
constexpr char SwitchOff = 'f';

QByteArray Hex(const char* bytes) { return QByteArray::fromHex(bytes); }
const QByteArray Q0 = Hex("55 AA AA AA AA AA 01 01 00 A9 16");
const QByteArray Q1 = Hex("55 AA AA AA AA AA 01 01 01 AA 16");
const QByteArray On0 = Hex("55 AA AA AA AA AA 11 02 00 00 BA 16");
const QByteArray On1 = Hex("55 AA AA AA AA AA 11 02 01 00 BB 16");
const QByteArray Off0 = Hex("55 AA AA AA AA AA 11 02 10 00 CA 16");
const QByteArray Off1 = Hex("55 AA AA AA AA AA 11 02 11 00 CB 16");

// The settings the relay client reads, without a console; it uses no other service.
class SettingsOnly : public QuietServices {
public:
    std::map<QString, int> integers;

    int IniReadInteger(const QString& key, int def) override
    {
        const auto it = integers.find(key);
        return it == integers.end() ? def : it->second;
    }
};

class RelayControllerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Services::MainForm.Open(&settings);
        RelayTimings::SetForTest(Divisor);
    }
    static void TearDownTestSuite() { Services::MainForm.Open(nullptr); }
    // A relay set up as given, the device record pointing at it.
    FakeRelay& Relay(bool powerOn, bool buttonOn, FakeRelay::Fault fault = {}, FakeRelay::Scope scope = {})
    {
        relay.emplace();
        relay->SetFault(fault, scope);
        relay->SetChannel(PowerChannel, powerOn);
        relay->SetChannel(ButtonChannel, buttonOn);
        device.Id = 7;
        device.relayip = "127.0.0.1";
        device.port = relay->Port();
        return *relay;
    }

    static inline SettingsOnly settings;
    std::optional<FakeRelay> relay;
    DevBean device;
    QElapsedTimer clock;
};

// Against a working relay each operation sends exactly its requests, byte for byte, on one
// connection; the button sequences wait their settle pause and contact time (from the settings:
// start set, shutdown unset), releasing a closed contact first.
TEST_F(RelayControllerTest, OperationsSendExactlyTheirRequests)
{
    settings.integers[Consts::KeyRemoteCtrlStartInterval] = 3000;
    const struct { char op; bool powerOn, buttonOn; std::vector<QByteArray> frames; int minMs; } cases[] = {
        {OpStart, false, false, {Q1, Q1, On1, Q1, Off1}, RelayTimings::ButtonSettleMs + 3000},
        {OpShutdown, true, true, {Q1, Off1, Q1, On1, Q1, Off1}, RelayTimings::ButtonSettleMs + 2000},
        {OpPowerOff, true, false, {Q0, Off0}, 0},
        {OpPowerOff, false, false, {Q0}, 0}, // already in the wanted state: the query alone
        {OpPowerOn, false, false, {Q0, On0}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        FakeRelay& r = Relay(c.powerOn, c.buttonOn);
        clock.start();
        EXPECT_EQ(RemoteDeviceController(&device).Execute(c.op), 1);
        EXPECT_GE(clock.elapsed(), c.minMs / Divisor);
        EXPECT_EQ(r.Frames(), c.frames);
        EXPECT_EQ(std::pair(r.Connections(), r.Channel(ButtonChannel)), std::pair(1, false)); // the contact left open
        EXPECT_EQ(r.Channel(PowerChannel), c.op == OpPowerOn || (c.powerOn && c.op != OpPowerOff));
    }
}

// Faulty relays: the exact FailCode, the requests it took (each failed wait in full), one
// connection (none when refused).
TEST_F(RelayControllerTest, FaultyRelaysGiveTheirFailCodes)
{
    using F = FakeRelay::Fault;
    using S = FakeRelay::Scope;
    const struct { F fault; S scope; bool on; char op; int channel, code, frames, minMs; } cases[] = {
        {F::Refuse, S::All, true, OpPowerOff, 0, 0x10000100, 0, 0},
        {F::Silent, S::All, true, OpPowerOff, 0, 0x10000400, 4, 4 * RelayTimings::ReplyWaitMs / Divisor},
        {F::Short, S::All, false, OpPowerOn, 0, 0x10020000, 4, 0},
        // Single calls: the fake carries out a set request even when its reply is faulty.
        {F::Short, S::SetOnly, false, SwitchOn, PowerChannel, 0x4020000, 2, 0},
        {F::Short, S::SetOnly, true, SwitchOff, PowerChannel, 0x8020000, 2, 0},
        {F::WrongEcho, S::SetOnly, true, SwitchOff, ButtonChannel, 0x8020000, 2, 0},
        {F::UnknownState, S::All, true, OpPowerOff, 0, 0x10040000, 4, 0},
        // A relay that does not carry out the switch: four tries of query and set.
        {F::WrongState, S::All, false, OpPowerOn, 0, 0x4020000, 8, 0},
        {F::CloseAfterAccept, S::All, true, OpPowerOff, 0, 0x10020000, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        FakeRelay& r = Relay(c.on, c.on, c.fault, c.scope);
        RemoteDeviceController ctl(&device);
        clock.start();
        EXPECT_EQ(c.op == SwitchOn    ? ctl.SwitchOn(c.channel)
                  : c.op == SwitchOff ? ctl.SwitchOff(c.channel) : ctl.Execute(c.op), c.code);
        EXPECT_GE(clock.elapsed(), c.minMs);
        EXPECT_TRUE(r.WaitFrames(c.frames, WaitMs)); // the fake may still be reading the last one
        EXPECT_EQ(int(r.Frames().size()), c.frames);
        EXPECT_EQ(r.Connections(), c.fault == F::Refuse ? 0 : 1);
    }
}

// A start's button contact counts as held from before its press is sent: while the relay has
// carried the press out and its reply is still on the way, and while the release waits for its
// reply, each with its terminal named; not once the release is confirmed, nor after a press that
// failed.
TEST_F(RelayControllerTest, AContactIsHeldFromItsPressUntilItsReleaseIsConfirmed)
{
    settings.integers[Consts::KeyRemoteCtrlStartInterval] = 3000;
    FakeRelay& r = Relay(false, false);
    device.Name = QStringLiteral("甲");
    QStringList seen; // on the relay's thread, between carrying a switch out and replying
    r.OnSwitched([&](int channel, bool on) {
        if (channel == ButtonChannel)
            seen << QStringLiteral("%1 %2 %3").arg(on ? "on" : "off").arg(RemoteDeviceController::HeldContacts())
                        .arg(RemoteDeviceController::HeldContactTerminals().join(','));
    });
    EXPECT_EQ(RemoteDeviceController(&device).Execute(OpStart), 1);
    const QString terminal = QStringLiteral("甲(127.0.0.1:%1)").arg(r.Port());
    EXPECT_EQ(seen, QStringList({"on 1 " + terminal, "off 1 " + terminal}));
    EXPECT_EQ(RemoteDeviceController::HeldContacts(), 0);

    Relay(false, false, FakeRelay::Fault::WrongState, FakeRelay::Scope::SetOnly);
    EXPECT_EQ(RemoteDeviceController(&device).Execute(OpStart), 0x4020000);
    EXPECT_EQ(RemoteDeviceController::HeldContacts(), 0);
    EXPECT_TRUE(RemoteDeviceController::HeldContactTerminals().isEmpty());
}

} // namespace

// A relay whose address drops the connection request: each attempt gives up at the connect limit
// with 0x100 instead of hanging for the system's connect time-out.
TEST_F(RelayControllerTest, HangingConnectIsBoundedByTheReplyWait)
{
    ReachabilityPeers peers;
    device.Id = 7;
    device.relayip = ReachabilityPeers::SilentIp;
    device.port = peers.Port();
    clock.start();
    EXPECT_EQ(RemoteDeviceController(&device).Execute(OpPowerOff), 0x10000100);
    const int limit = RelayTimings::ConnectLimitMs / Divisor;
    EXPECT_GE(clock.elapsed(), 4 * limit);
    EXPECT_LT(clock.elapsed(), 4 * limit + WaitMs); // far below the system's own connect time-out
}
