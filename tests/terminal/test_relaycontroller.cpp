// The relay controller client against fake relay controllers: frames, replies, failure codes, operations.
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "foundation/DevBean.h"
#include "support/ConsoleDb.h"
#include "support/FakeRelay.h"
#include "terminal/RemoteDeviceController.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int Divisor = 30; // replies are awaited 200 ms, the button settles 10 ms

QString Hex(const QByteArray& b)
{
    return QString::fromLatin1(b.toHex(' ').toUpper());
}

QString Hex(const unsigned char* p, int n)
{
    return Hex(QByteArray(reinterpret_cast<const char*>(p), n));
}

QStringList HexAll(const std::vector<QByteArray>& frames)
{
    QStringList out;
    for (const auto& f : frames)
        out << Hex(f);
    return out;
}

const QString QueryCh0 = "55 AA AA AA AA AA 01 01 00 A9 16";
const QString QueryCh1 = "55 AA AA AA AA AA 01 01 01 AA 16";
const QString OnCh0 = "55 AA AA AA AA AA 11 02 00 00 BA 16";
const QString OnCh1 = "55 AA AA AA AA AA 11 02 01 00 BB 16";
const QString OffCh0 = "55 AA AA AA AA AA 11 02 10 00 CA 16";
const QString OffCh1 = "55 AA AA AA AA AA 11 02 11 00 CB 16";

long long MsSince(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
        .count();
}

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

    int Run(char op)
    {
        RemoteDeviceController c(&device);
        return c.Execute(op);
    }

    FakeRelay relay;
    DevBean device;
};

TEST(RelayFrame, WorkedFramesByteForByte)
{
    struct Case {
        unsigned char command;
        std::vector<int> data;
        QString bytes;
    } cases[] = {
        {RelayCmdQuery, {0}, QueryCh0},     {RelayCmdQuery, {1}, QueryCh1},
        {RelayCmdSet, {0x00, 0}, OnCh0},    {RelayCmdSet, {0x01, 0}, OnCh1},
        {RelayCmdSet, {0x10, 0}, OffCh0},   {RelayCmdSet, {0x11, 0}, OffCh1},
    };
    for (const auto& c : cases) {
        RelayFrameDesc d;
        d.Command = c.command;
        d.Count = int(c.data.size());
        for (std::size_t i = 0; i < c.data.size(); ++i)
            d.Data[i] = c.data[i];
        unsigned char out[RemoteDeviceController::BufferSize] = {};
        const int n = RemoteDeviceController::BuildFrame(d, out);
        EXPECT_EQ(n, d.Count + 10);
        EXPECT_EQ(Hex(out, n), c.bytes);
    }

    // Only the low byte of a data value is sent, and the checksum wraps at 256.
    RelayFrameDesc d;
    d.Command = 0xF0;
    d.Count = 2;
    d.Data[0] = 0x1FF;
    d.Data[1] = -1;
    unsigned char out[16] = {};
    ASSERT_EQ(RemoteDeviceController::BuildFrame(d, out), 12);
    EXPECT_EQ(Hex(out, 12), "55 AA AA AA AA AA F0 02 FF FF 97 16");
}

TEST_F(RelayControllerTest, ContactTimesComeFromTheSettingsAtConstruction)
{
    MainForm->IniWriteInteger(Consts::KeyRemoteCtrlStartInterval, 1500);
    MainForm->IniWriteInteger(Consts::KeyRemoteCtrlShutdownInterval, 2500);
    {
        RemoteDeviceController c(&device);
        EXPECT_EQ(c.StartInterval, 1500);
        EXPECT_EQ(c.ShutdownInterval, 2500);
        EXPECT_FALSE(c.Connected);
    }
    MainForm->IniWriteString(Consts::KeyRemoteCtrlStartInterval, "");
    MainForm->IniWriteString(Consts::KeyRemoteCtrlShutdownInterval, "");
    RemoteDeviceController c(&device);
    EXPECT_EQ(c.StartInterval, 1000);
    EXPECT_EQ(c.ShutdownInterval, 2000);
    EXPECT_EQ(relay.Connections(), 0); // constructing connects nothing
}

TEST_F(RelayControllerTest, StartRunsTheButtonSequenceOnOneConnection)
{
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(OpStart), 1);
    EXPECT_EQ(HexAll(relay.Frames()), QStringList({QueryCh1, QueryCh1, OnCh1, QueryCh1, OffCh1}));
    EXPECT_EQ(relay.Connections(), 1);
    EXPECT_FALSE(relay.Channel(ButtonChannel));
    // The settle pause and the contact time were both waited.
    EXPECT_GE(MsSince(t0), (RelayTimings::ButtonSettleMs + 1000) / Divisor);
}

TEST_F(RelayControllerTest, ShutdownPressesTheButtonLikeStart)
{
    relay.SetChannel(ButtonChannel, true); // a contact left closed is released first
    EXPECT_EQ(Run(OpShutdown), 1);
    EXPECT_EQ(HexAll(relay.Frames()), QStringList({QueryCh1, OffCh1, QueryCh1, OnCh1, QueryCh1, OffCh1}));
    EXPECT_EQ(relay.Connections(), 1);
}

TEST_F(RelayControllerTest, PowerSwitchesOnlyWhenNeeded)
{
    relay.SetChannel(PowerChannel, true);
    EXPECT_EQ(Run(OpPowerOff), 1);
    EXPECT_EQ(HexAll(relay.Frames()), QStringList({QueryCh0, OffCh0}));
    EXPECT_FALSE(relay.Channel(PowerChannel));

    relay.ClearFrames();
    EXPECT_EQ(Run(OpPowerOff), 1); // already off: the query alone
    EXPECT_EQ(HexAll(relay.Frames()), QStringList({QueryCh0}));

    relay.ClearFrames();
    EXPECT_EQ(Run(OpPowerOn), 1);
    EXPECT_EQ(HexAll(relay.Frames()), QStringList({QueryCh0, OnCh0}));
    EXPECT_TRUE(relay.Channel(PowerChannel));
}

TEST_F(RelayControllerTest, UnknownOperationDoesNothing)
{
    EXPECT_EQ(Run(0), 0);
    EXPECT_EQ(Run(5), 0);
    EXPECT_EQ(relay.Connections(), 0);
}

TEST_F(RelayControllerTest, UnusableRecordMakesNoTraffic)
{
    device.port = 0;
    EXPECT_EQ(Run(OpPowerOff), 0x10000002);
    device.port = relay.Port();
    device.relayip = "   ";
    EXPECT_EQ(Run(OpStart), 0x10000002);
    device.relayip = "127.0.0.1";
    device.Id = 0;
    EXPECT_EQ(Run(OpPowerOn), 0x10000002);
    RemoteDeviceController none(nullptr);
    EXPECT_EQ(none.Execute(OpShutdown), 0x10000002);
    EXPECT_EQ(relay.Connections(), 0);
}

TEST_F(RelayControllerTest, SilentRelayIsAskedFourTimesOnTheSameConnection)
{
    relay.SetFault(FakeRelay::Fault::Silent);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(OpPowerOff), 0x10000400);
    EXPECT_GE(MsSince(t0), 4 * RelayTimings::ReplyWaitMs / Divisor);
    EXPECT_EQ(HexAll(relay.Frames()), QStringList({QueryCh0, QueryCh0, QueryCh0, QueryCh0}));
    EXPECT_EQ(relay.Connections(), 1);

    // A reply later than the wait counts as none; one within it is used.
    relay.ClearFrames();
    relay.SetFault(FakeRelay::Fault::Delay);
    relay.SetDelayMs(10 * RelayTimings::ReplyWaitMs / Divisor); // later than all four tries
    EXPECT_EQ(Run(OpPowerOff), 0x10000400);
    relay.SetDelayMs(RelayTimings::ReplyWaitMs / Divisor / 4);
    relay.SetChannel(PowerChannel, true);
    EXPECT_EQ(Run(OpPowerOff), 1);
}

TEST_F(RelayControllerTest, ShortRepliesAreRejected)
{
    relay.SetFault(FakeRelay::Fault::Short);
    EXPECT_EQ(Run(OpPowerOn), 0x10020000);

    // One try each: the fake carries out the switch, so a second try would find it done.
    relay.SetFault(FakeRelay::Fault::Short, FakeRelay::Scope::SetOnly);
    RemoteDeviceController c(&device);
    EXPECT_EQ(c.SwitchOn(PowerChannel), 0x4020000);
    EXPECT_EQ(c.SwitchOff(PowerChannel), 0x8020000);
}

TEST_F(RelayControllerTest, WrongEchoIsRejected)
{
    relay.SetFault(FakeRelay::Fault::WrongEcho);
    EXPECT_EQ(Run(OpPowerOff), 0x10020000);

    // Switching channel 1 off answered with 0x10 instead of 0x11.
    relay.SetFault(FakeRelay::Fault::WrongEcho, FakeRelay::Scope::SetOnly);
    relay.SetChannel(ButtonChannel, true);
    relay.ClearFrames();
    RemoteDeviceController c(&device);
    EXPECT_EQ(c.SwitchOff(ButtonChannel), 0x8020000);
    EXPECT_EQ(HexAll(relay.Frames()), QStringList({QueryCh1, OffCh1}));
}

TEST_F(RelayControllerTest, StateBytesAreJudged)
{
    relay.SetFault(FakeRelay::Fault::UnknownState);
    EXPECT_EQ(Run(OpPowerOff), 0x10040000);
    int state = 42;
    RemoteDeviceController c(&device);
    EXPECT_EQ(c.QueryState(PowerChannel, &state), 0x10040000);
    EXPECT_EQ(state, 42); // left as it was

    // A relay that does not carry out the switch: four tries of query and set, then the set's code.
    relay.SetFault(FakeRelay::Fault::WrongState);
    relay.ClearFrames();
    EXPECT_EQ(Run(OpPowerOn), 0x4020000);
    EXPECT_EQ(relay.FrameCount(), 8);

    relay.SetFault(FakeRelay::Fault::None);
    relay.SetChannel(PowerChannel, true);
    EXPECT_EQ(c.QueryState(PowerChannel, &state), 1);
    EXPECT_EQ(state, 0);
    relay.SetChannel(PowerChannel, false);
    EXPECT_EQ(c.QueryState(PowerChannel, &state), 1);
    EXPECT_EQ(state, 1);
}

TEST_F(RelayControllerTest, ConnectionFailures)
{
    relay.SetFault(FakeRelay::Fault::Refuse);
    EXPECT_EQ(Run(OpPowerOff), 0x10000100);
    EXPECT_EQ(Run(OpStart), 0x10000100);
    EXPECT_EQ(relay.Connections(), 0);

    // A relay that closes what it accepts: the one receive finds nothing, on the same connection.
    relay.SetFault(FakeRelay::Fault::CloseAfterAccept);
    EXPECT_EQ(Run(OpPowerOff), 0x10020000);
    EXPECT_EQ(relay.Connections(), 1);
    relay.SetFault(FakeRelay::Fault::None);
    EXPECT_EQ(Run(OpPowerOff), 1);
}

TEST_F(RelayControllerTest, ConnectThatHangsIsBoundedByTheReplyWait)
{
    // A listener whose accept queue is full drops further connection requests unanswered.
    int lfd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(lfd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    ::getsockname(lfd, reinterpret_cast<sockaddr*>(&addr), &len);
    ASSERT_EQ(::listen(lfd, 0), 0);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        fillers.push_back(fd);
    }
    ::usleep(50000);

    device.port = ntohs(addr.sin_port);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(OpPowerOff), 0x10000100);
    const long long took = MsSince(t0);
    EXPECT_GE(took, 4 * RelayTimings::ConnectLimitMs / Divisor);
    EXPECT_LT(took, 4 * RelayTimings::ConnectLimitMs / Divisor + 1000);
    for (int fd : fillers)
        ::close(fd);
    ::close(lfd);
}

TEST_F(RelayControllerTest, TransportCodesWithoutAConnection)
{
    device.port = 0;
    RemoteDeviceController c(&device);
    unsigned char buf[16] = {};
    int got = 0;
    EXPECT_EQ(c.Send(buf, 11), 0x1000002);
    EXPECT_EQ(c.Receive(buf, 16, &got), 0x2000002);
    relay.SetFault(FakeRelay::Fault::Refuse);
    device.port = relay.Port();
    EXPECT_EQ(c.Send(buf, 11), 0x1000100);
    EXPECT_EQ(c.Receive(buf, 16, &got), 0x2000100);
    EXPECT_FALSE(c.Connected);
}

} // namespace
