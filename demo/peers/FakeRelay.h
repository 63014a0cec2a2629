// A fake network relay controller: a real TCP server on a 127.0.0.x address with two channels.
#pragma once

#include "peers/PeerServer.h"

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

class FakeRelay : public PeerServer {
public:
    enum class Fault {
        None,             // answers every request truthfully
        Refuse,           // connections are refused (port bound, not listening)
        Silent,           // accepts and never answers
        Delay,            // answers after DelayMs
        Short,            // replies of 9 bytes
        WrongEcho,        // byte 8 is not the request's first data byte
        WrongState,       // set requests are not carried out (replies report the unchanged state)
        UnknownState,     // byte 9 of every reply is 0x01
        CloseAfterAccept, // closes every connection it accepts (reads and drops what comes)
        Hold,             // answers only once Release has been called
    };
    // Which requests a fault affects: every request, or only set requests (queries stay true).
    enum class Scope { All, SetOnly };

    // Listens at once on ip (a loopback address) and port (0: a port chosen by the system).
    // Throws std::runtime_error when it cannot.
    explicit FakeRelay(const QString& ip = QStringLiteral("127.0.0.1"), int port = 0);
    ~FakeRelay() override;

    // Called on a connection's thread after a set request has been carried out, with the channel
    // and its new state, before the reply goes out. It must not call back into the relay.
    using SwitchHandler = std::function<void(int channel, bool on)>;
    void OnSwitched(SwitchHandler handler)
    {
        std::lock_guard g(lock_);
        switched_ = std::move(handler);
    }
    void SetFault(Fault fault, Scope scope = Scope::All);
    void SetDelayMs(int ms) { delayMs_ = ms; }
    // Lets a holding relay answer what it holds and everything after.
    void Release()
    {
        std::lock_guard g(lock_);
        released_ = true;
        changed_.notify_all();
    }
    void SetChannel(int channel, bool on)
    {
        std::lock_guard g(lock_);
        channels_[channel & 1] = on;
    }
    bool Channel(int channel) const
    {
        std::lock_guard g(lock_);
        return channels_[channel & 1];
    }

    // Every whole frame received, in order of arrival, over all connections.
    std::vector<QByteArray> Frames() const
    {
        std::lock_guard g(lock_);
        return frames_;
    }
    // Waits until at least n frames have come in; false after timeoutMs.
    bool WaitFrames(int n, int timeoutMs) const
    {
        std::unique_lock g(lock_);
        return changed_.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return int(frames_.size()) >= n; });
    }

private:
    std::function<void()> Accepted(int fd) override;
    void Serve(int fd, bool drain);

    std::atomic<int> delayMs_{0};
    bool released_ = false;
    Fault fault_ = Fault::None;
    Scope scope_ = Scope::All;
    bool channels_[2] = {false, false};
    std::vector<QByteArray> frames_;
    SwitchHandler switched_;
};
