// One simulated terminal: its agent, the relay controller beside it, its power and its working life.
#pragma once

#include "TerminalLogs.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class BlackHolePort;
class FakeAgent;
class FakeRelay;

// Where a terminal is reached, as its database row and the console's settings say.
struct TerminalPlace {
    QString ip;      // the agent's address
    int agentPort;   // the console's agent port setting
    QString relayIp; // the relay controller's address; none when not a loopback address
    int relayPort;

    bool operator==(const TerminalPlace&) const = default;
};

// How a terminal fails, whatever its power says.
enum class TerminalFault {
    None,
    AgentDown,   // the machine runs but its agent does not: connections are refused
    CutOff,      // the machine is gone from the network: connection attempts hang
};

// The machine behind the relay controller: the power channel feeds it, the button channel is a
// contact across its power button. A press (the contact closed and opened again) starts a machine
// that is off, after a boot time, and shuts down one that runs; cutting the power stops it at once.
// The agent answers only while the machine runs. Everything runs on the thread that made it; the
// relay's connection threads hand their switches over through the event loop.
class DemoTerminal : public QObject {
    Q_OBJECT
public:
    struct Setup {
        QString name;
        TerminalPlace place;
        QString key;             // the agent's connection key
        QString logFolder;
        TerminalFault fault = TerminalFault::None;
        bool silentRelay = false; // the relay controller accepts and never answers
        bool poweredOn = true;
        bool running = true;
        int bootMs = 3000;
    };

    // Listens at once; what cannot listen (an address or port in use) is left out and reported
    // by Problems.
    explicit DemoTerminal(const Setup& setup, std::function<void()> onBooted);
    ~DemoTerminal() override;

    const TerminalPlace& Place() const { return setup_.place; }
    bool PoweredOn() const { return poweredOn_; }
    bool Running() const { return running_; }
    QString Problems() const { return problems_; }
    void SetName(const QString& name);
    void SetKey(const QString& key);

    // Once a second: the values the detail window shows change, a watched desktop gets a new
    // picture, and now and then the terminal writes a log line.
    void Tick();

private:
    void Switched(int channel, bool on);
    void Press();
    void Boot();
    void Stop(const QString& why);
    void ServeAgent();
    quint32 NextRandom();
    void ChangeValues();
    void RenderDesktop();

    Setup setup_;
    std::function<void()> onBooted_;
    std::unique_ptr<FakeAgent> agent_;
    std::unique_ptr<BlackHolePort> blackHole_;
    std::unique_ptr<FakeRelay> relay_;
    std::optional<TerminalLogs> logs_;
    QTimer boot_;
    QString problems_;
    bool poweredOn_;
    bool running_;
    bool buttonClosed_ = false;
    quint32 random_;
    int ticks_ = 0;
    int frame_ = 0;
    int desksRendered_ = -1; // the served count when the picture was last drawn
    qint64 packetsSent_ = 0;
    qint64 packetsReceived_ = 0;
    qint64 bytesSent_ = 0;
    qint64 bytesReceived_ = 0;
};
