// The relay controller client against fake relay controllers: frames, operations, failure codes.
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "foundation/DevBean.h"
#include "support/ConsoleDb.h"
#include "support/FakeRelay.h"
#include "support/ReachabilityPeers.h"
#include "terminal/RemoteDeviceController.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <functional>

// Frames in failure messages as the spaced hexadecimal of the protocol tables.
inline void PrintTo(const QByteArray& b, std::ostream* os) { *os << b.toHex(' ').toUpper().toStdString(); }

namespace {

constexpr int Divisor = 30; // replies are awaited 200 ms, the button settles 10 ms

using Frames = std::vector<QByteArray>;
const QByteArray Q0 = QByteArray::fromHex("55 AA AA AA AA AA 01 01 00 A9 16");
const QByteArray Q1 = QByteArray::fromHex("55 AA AA AA AA AA 01 01 01 AA 16");
const QByteArray On0 = QByteArray::fromHex("55 AA AA AA AA AA 11 02 00 00 BA 16");
const QByteArray On1 = QByteArray::fromHex("55 AA AA AA AA AA 11 02 01 00 BB 16");
const QByteArray Off0 = QByteArray::fromHex("55 AA AA AA AA AA 11 02 10 00 CA 16");
const QByteArray Off1 = QByteArray::fromHex("55 AA AA AA AA AA 11 02 11 00 CB 16");

class RelayControllerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ConsoleDb::SetUp();
        RelayTimings::SetForTest(Divisor);
    }
    void SetUp() override
    {
        device.Id = 7;
        device.relayip = "127.0.0.1";
        device.port = relay.Port();
    }
    int Run(char op) { return RemoteDeviceController(&device).Execute(op); }

    FakeRelay relay;
    DevBean device;
};

TEST(RelayFrame, WorkedFramesByteForByte)
{
    const struct { unsigned char command; std::vector<int> data; QByteArray bytes; } cases[] = {
        {RelayCmdQuery, {0}, Q0},      {RelayCmdQuery, {1}, Q1},       {RelayCmdSet, {0x00, 0}, On0},
        {RelayCmdSet, {0x01, 0}, On1}, {RelayCmdSet, {0x10, 0}, Off0}, {RelayCmdSet, {0x11, 0}, Off1},
        // Only the low byte of a data value is sent, and the checksum wraps at 256.
        {0xF0, {0x1FF, -1}, QByteArray::fromHex("55 AA AA AA AA AA F0 02 FF FF 97 16")},
    };
    for (const auto& c : cases) {
        RelayFrameDesc d;
        d.Command = c.command;
        d.Count = int(c.data.size());
        std::copy(c.data.begin(), c.data.end(), d.Data);
        unsigned char out[RemoteDeviceController::BufferSize] = {};
        const int n = RemoteDeviceController::BuildFrame(d, out);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(out), n), c.bytes);
    }
}

// Against a working relay each operation sends exactly its requests, on one connection; the
// button sequences wait their settle pause and contact time (from the settings: start set,
// shutdown unset) and leave the contact open.
TEST_F(RelayControllerTest, OperationsSendExactlyTheirRequests)
{
    MainForm->IniWriteInteger(Consts::KeyRemoteCtrlStartInterval, 3000);
    const int settle = RelayTimings::ButtonSettleMs;
    const struct { char op; bool powerOn, buttonOn; Frames frames; int minMs; } cases[] = {
        {OpStart, false, false, {Q1, Q1, On1, Q1, Off1}, settle + 3000},
        {OpShutdown, true, true, {Q1, Off1, Q1, On1, Q1, Off1}, settle + 2000}, // a closed contact is released first
        {OpPowerOff, true, false, {Q0, Off0}, 0},
        {OpPowerOff, false, false, {Q0}, 0}, // already in the wanted state: the query alone
        {OpPowerOn, false, false, {Q0, On0}, 0},
        {OpPowerOn, true, false, {Q0}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        FakeRelay r;
        r.SetChannel(PowerChannel, c.powerOn);
        r.SetChannel(ButtonChannel, c.buttonOn);
        device.port = r.Port();
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(Run(c.op), 1);
        EXPECT_GE(t.elapsed(), c.minMs / Divisor);
        EXPECT_EQ(r.Frames(), c.frames);
        EXPECT_EQ(r.Connections(), 1);
        EXPECT_FALSE(r.Channel(ButtonChannel));
        EXPECT_EQ(r.Channel(PowerChannel), c.op == OpPowerOn || (c.powerOn && c.op != OpPowerOff));
    }
}

TEST_F(RelayControllerTest, UnknownOperationOrUnusableRecordMakesNoTraffic)
{
    EXPECT_EQ(Run(0), 0);
    EXPECT_EQ(Run(5), 0);
    const std::pair<std::function<void(DevBean&)>, char> unusable[] = {
        {[](DevBean& d) { d.port = 0; }, OpPowerOff},
        {[](DevBean& d) { d.relayip = "   "; }, OpStart},
        {[](DevBean& d) { d.Id = 0; }, OpPowerOn},
    };
    for (const auto& [spoil, op] : unusable) {
        DevBean d = device;
        spoil(d);
        EXPECT_EQ(RemoteDeviceController(&d).Execute(op), 0x10000002);
    }
    EXPECT_EQ(RemoteDeviceController(nullptr).Execute(OpShutdown), 0x10000002);
    EXPECT_EQ(relay.Connections(), 0);
}

// Faulty relays: the exact FailCode, the requests it took (each failed wait in full), one
// connection (none when refused).
TEST_F(RelayControllerTest, FaultyRelaysGiveTheirFailCodes)
{
    using F = FakeRelay::Fault;
    using S = FakeRelay::Scope;
    using Act = std::function<int(RemoteDeviceController&)>;
    auto op = [](char o) -> Act { return [o](RemoteDeviceController& c) { return c.Execute(o); }; };
    auto on = [](int ch) -> Act { return [ch](RemoteDeviceController& c) { return c.SwitchOn(ch); }; };
    auto off = [](int ch) -> Act { return [ch](RemoteDeviceController& c) { return c.SwitchOff(ch); }; };
    const int wait = RelayTimings::ReplyWaitMs / Divisor;
    const struct { F fault; S scope; bool on; Act act; int code, frames, minMs; } cases[] = {
        {F::Refuse, S::All, true, op(OpPowerOff), 0x10000100, 0, 0},
        {F::Refuse, S::All, false, op(OpStart), 0x10000100, 0, 0},
        {F::Silent, S::All, true, op(OpPowerOff), 0x10000400, 4, 4 * wait},
        {F::Delay, S::All, true, op(OpPowerOff), 1, 2, wait / 4}, // a reply within the wait is used
        {F::Short, S::All, false, op(OpPowerOn), 0x10020000, 4, 0},
        // Single calls: the fake carries out a set request even when its reply is faulty.
        {F::Short, S::SetOnly, false, on(PowerChannel), 0x4020000, 2, 0},
        {F::Short, S::SetOnly, true, off(PowerChannel), 0x8020000, 2, 0},
        {F::WrongEcho, S::All, true, op(OpPowerOff), 0x10020000, 4, 0},
        // Switching channel 1 off answered with 0x10 instead of 0x11.
        {F::WrongEcho, S::SetOnly, true, off(ButtonChannel), 0x8020000, 2, 0},
        {F::UnknownState, S::All, true, op(OpPowerOff), 0x10040000, 4, 0},
        // A relay that does not carry out the switch: four tries of query and set.
        {F::WrongState, S::All, false, op(OpPowerOn), 0x4020000, 8, 0},
        // A relay that closes what it accepts: each single receive finds nothing.
        {F::CloseAfterAccept, S::All, true, op(OpPowerOff), 0x10020000, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        FakeRelay r;
        r.SetFault(c.fault, c.scope);
        r.SetDelayMs(wait / 4);
        r.SetChannel(PowerChannel, c.on);
        r.SetChannel(ButtonChannel, c.on);
        device.port = r.Port();
        RemoteDeviceController ctl(&device);
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(c.act(ctl), c.code);
        EXPECT_GE(t.elapsed(), c.minMs);
        EXPECT_EQ(r.FrameCount(), c.frames);
        EXPECT_EQ(r.Connections(), c.fault == F::Refuse ? 0 : 1);
    }
}

// Dropped SYNs: each of the four tries gives up its connect after the reply wait.
TEST_F(RelayControllerTest, HangingConnectIsBoundedByTheReplyWait)
{
    ReachabilityPeers peers;
    device.relayip = ReachabilityPeers::SilentIp;
    device.port = peers.Port();
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(Run(OpPowerOff), 0x10000100);
    EXPECT_GE(t.elapsed(), 4 * RelayTimings::ConnectLimitMs / Divisor);
    EXPECT_LT(t.elapsed(), 4 * RelayTimings::ConnectLimitMs / Divisor + 1000);
}

} // namespace
