// A fake network relay controller for tests: a real TCP server on 127.0.0.1 with two channels.
#pragma once

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

class FakeRelay {
public:
    enum class Fault {
        None,             // answers every request truthfully
        Refuse,           // connections are refused (port bound, not listening)
        Silent,           // accepts and never answers
        Delay,            // answers after DelayMs
        Short,            // replies of 9 bytes
        WrongEcho,        // byte 8 is not the request's first data byte
        WrongState,       // set requests are not carried out and report the other state
        UnknownState,     // byte 9 of every reply is 0x01
        CloseAfterAccept, // closes every connection it accepts (reads and drops what comes)
    };

    FakeRelay();  // listens at once on a port chosen by the system
    ~FakeRelay();
    FakeRelay(const FakeRelay&) = delete;
    FakeRelay& operator=(const FakeRelay&) = delete;

    int Port() const { return port_; }

    // Which requests a fault affects: every request, or only set requests (queries stay true).
    enum class Scope { All, SetOnly };

    void SetFault(Fault fault, Scope scope = Scope::All);
    void SetDelayMs(int ms) { delayMs_ = ms; }
    void SetChannel(int channel, bool on);
    bool Channel(int channel) const;

    // Every whole frame received, in order of arrival, over all connections.
    std::vector<QByteArray> Frames() const;
    int FrameCount() const;
    // Connections accepted so far, and those still open.
    int Connections() const { return accepted_; }
    int OpenConnections() const;
    // Waits until at least n frames have come in; false after timeoutMs.
    bool WaitFrames(int n, int timeoutMs) const;
    void ClearFrames();

    // A reply as the fake sends it: 55 AA*5, command, 2, echo, state, checksum, 16.
    static QByteArray Reply(unsigned char command, unsigned char echo, unsigned char state);

private:
    struct Client {
        int fd = -1;
        QByteArray in;
        bool drain = false; // closed on our side: read and drop until the peer closes
    };
    struct Pending {
        int fd;
        QByteArray bytes;
        long long dueMs;
    };

    void Loop();
    void OpenListener();
    void HandleFrames(Client& c, long long nowMs);
    QByteArray Answer(const QByteArray& frame);

    int port_ = 0;
    int listenFd_ = -1;
    int wakeFd_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    std::atomic<int> delayMs_{0};
    std::atomic<int> accepted_{0};

    mutable std::mutex lock_;
    mutable std::condition_variable framesChanged_;
    Fault fault_ = Fault::None;
    Scope scope_ = Scope::All;
    bool listening_ = true;
    bool channels_[2] = {false, false};
    std::vector<QByteArray> frames_;
    std::map<int, Client> clients_; // loop thread only
    std::vector<Pending> pending_;  // loop thread only
    std::thread thread_;
};
