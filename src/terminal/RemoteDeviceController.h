// Client of the network relay controller beside a terminal: frames, requests and the power operations.
#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>

class DevBean;
class BlockingSocket;

// Remote power operation codes.
inline constexpr char OpStart = 1;
inline constexpr char OpShutdown = 2;
inline constexpr char OpPowerOff = 3;
inline constexpr char OpPowerOn = 4;

// The relay's two output channels.
inline constexpr int PowerChannel = 0;  // the terminal's mains power
inline constexpr int ButtonChannel = 1; // a contact across the terminal's power button

// Request commands.
inline constexpr unsigned char RelayCmdQuery = 0x01;
inline constexpr unsigned char RelayCmdSet = 0x11;

// Causes and contexts of a FailCode (1 means success).
namespace RelayFail {
inline constexpr int Success = 1;
inline constexpr int BadRecord = 0x2;
inline constexpr int ConnectFailed = 0x100;
inline constexpr int NoReply = 0x400;
inline constexpr int BadReply = 0x20000;
inline constexpr int UnknownState = 0x40000;
inline constexpr int SendNoConnection = 0x1000000;
inline constexpr int SendError = 0x1000200;
inline constexpr int ReceiveNoConnection = 0x2000000;
inline constexpr int ReceiveError = 0x2000200;
inline constexpr int InQuery = 0x10000000;
inline constexpr int InSwitchOn = 0x4000000;
inline constexpr int InSwitchOff = 0x8000000;
} // namespace RelayFail

// Waits and pauses of the relay operations and of the remote power batch, with the shipped values.
namespace RelayTimings {
inline constexpr int ReplyWaitMs = 6000;       // wait for reply data after each request
inline constexpr int ConnectLimitMs = 6000;    // opening the connection is bounded by the same wait
inline constexpr int ButtonSettleMs = 300;     // between releasing and pressing the button contact
inline constexpr int DefaultStartIntervalMs = 1000;    // contact time of a start
inline constexpr int DefaultShutdownIntervalMs = 2000; // contact time of a shutdown
inline constexpr int BatchPollMs = 200;        // the batch looks for new results this often
inline constexpr int StepAttempts = 4;         // tries of each switch step

// Test seam: divides every wait and pause above, and the contact times read from the settings,
// by divisor (1 restores the shipped timing).
void SetForTest(int divisor);
// ms as it applies now (ms / divisor, at least 1 when ms is positive).
int Scaled(int ms);
} // namespace RelayTimings

// The fixed parts and the variable parts of one request frame.
struct RelayFrameDesc {
    static constexpr int MaxData = 8;
    unsigned char Group[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    unsigned char StartByte = 0x55;
    unsigned char EndByte = 0x16;
    unsigned char Single = 0xAA;
    int Count = 0;           // data bytes, 0 to MaxData
    int Data[MaxData] = {};  // the low byte of each value is sent
    unsigned char Command = 0;
};

class RemoteDeviceController {
public:
    static constexpr int BufferSize = 128;

    // device is not owned and must outlive the controller. Reads the contact times from the
    // settings; connects nothing.
    explicit RemoteDeviceController(DevBean* device);
    ~RemoteDeviceController();
    RemoteDeviceController(const RemoteDeviceController&) = delete;
    RemoteDeviceController& operator=(const RemoteDeviceController&) = delete;

    // Runs one operation; its FailCode, or 0 for an unknown op.
    int Execute(char op);
    int Start();
    int Shutdown();
    // A press of the power button: the sequence shared by Start and Shutdown.
    int PressButton(int contactMs);
    // Button contacts that operations under way may have closed (their frame is on its way) and
    // have not yet released (tried), in the whole program. Ended between the two, the program
    // could leave a terminal's button held down.
    static int HeldContacts();
    // The terminals of those contacts, "名称(继电器地址:端口)" each.
    static QStringList HeldContactTerminals();
    int PowerOff();
    int PowerOn();

    int SwitchOn(int channel);
    int SwitchOff(int channel);
    // On success state is 0 for on and 1 for off; otherwise it is left as it was.
    int QueryState(int channel, int* state);

    int Connect();
    int Send(const void* buffer, int length);
    int Receive(void* buffer, int size, int* received);

    // Writes the frame to out (at least desc.Count + 10 bytes) and returns its length.
    static int BuildFrame(const RelayFrameDesc& desc, unsigned char* out);

    int StartInterval = RelayTimings::DefaultStartIntervalMs;
    int ShutdownInterval = RelayTimings::DefaultShutdownIntervalMs;
    bool Connected = false;
    DevBean* Device = nullptr;

private:
    int SetChannel(int channel, bool on);
    // One step of an operation: up to StepAttempts tries in a row.
    int Step(int channel, bool on);
    static void Pause(int ms);

    std::unique_ptr<BlockingSocket> Socket;
    unsigned char sendBuf_[BufferSize] = {};
    unsigned char recvBuf_[BufferSize] = {};
};
