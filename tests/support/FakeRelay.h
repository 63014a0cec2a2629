// A fake network relay controller for tests: a real TCP server on 127.0.0.1 with two channels.
#pragma once

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <condition_variable>
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
        WrongState,       // set requests are not carried out (replies report the unchanged state)
        UnknownState,     // byte 9 of every reply is 0x01
        CloseAfterAccept, // closes every connection it accepts (reads and drops what comes)
        Hold,             // answers only once Release has been called
    };
    // Which requests a fault affects: every request, or only set requests (queries stay true).
    enum class Scope { All, SetOnly };

    FakeRelay(); // listens at once on a port chosen by the system
    ~FakeRelay();

    int Port() const { return port_; }
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
    // Connections accepted so far, and those the peer has not closed yet.
    int Connections() const { return accepted_; }
    int OpenConnections() const { return open_; }

private:
    void Accept();
    void Serve(int fd, bool drain);

    int port_ = 0;
    int listenFd_ = -1;
    std::atomic<int> delayMs_{0};
    std::atomic<int> accepted_{0};
    std::atomic<int> open_{0};
    mutable std::mutex lock_;
    mutable std::condition_variable changed_; // frames, fault or stop
    bool stop_ = false;
    bool released_ = false;
    Fault fault_ = Fault::None;
    Scope scope_ = Scope::All;
    bool channels_[2] = {false, false};
    std::vector<QByteArray> frames_;
    std::vector<int> clientFds_;
    std::vector<std::thread> clients_;
    std::thread acceptor_;
};
