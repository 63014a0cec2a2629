// Loopback peers for reachability probes: an agent port that accepts, and one that drops SYNs.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

class BlackHolePort;

// Listeners on one port number (the agent port is one setting for every terminal), told apart
// by their loopback address:
//   ReachableIp    accepts every connection and closes it at once;
//   RefusingIp     nothing listens there, so a connection is refused;
//   SilentIp       a listener whose accept queue is kept full, so the kernel drops new SYNs
//                  and a connection attempt hangs until its own time limit.
class ReachabilityPeers {
public:
    static constexpr const char* ReachableIp = "127.0.0.1";
    static constexpr const char* RefusingIp = "127.0.0.2";
    static constexpr const char* SilentIp = "127.0.0.3";

    ReachabilityPeers(); // throws std::runtime_error when the peers cannot be set up
    ~ReachabilityPeers();

    int Port() const { return port_; }
    int Accepted() const { return accepted_; }

private:
    int port_ = 0;
    int listenFd_ = -1;
    std::unique_ptr<BlackHolePort> silent_;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::thread acceptor_;
};
