// Loopback peers for reachability probes: an agent port that accepts, and one that drops SYNs.
#include "ReachabilityPeers.h"

#include "peers/BlackHolePort.h"
#include "peers/PeerServer.h"

#include <sys/socket.h>
#include <unistd.h>

ReachabilityPeers::ReachabilityPeers()
{
    listenFd_ = ListenOn(QString::fromLatin1(ReachableIp), port_, SOMAXCONN, "ReachabilityPeers");
    silent_ = std::make_unique<BlackHolePort>(QString::fromLatin1(SilentIp), port_);
    acceptor_ = std::thread([this] {
        while (!stop_) {
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                ++accepted_;
                ::close(fd);
            }
        }
    });
}

ReachabilityPeers::~ReachabilityPeers()
{
    stop_ = true;
    ::shutdown(listenFd_, SHUT_RDWR); // wakes the blocked accept
    acceptor_.join();
    ::close(listenFd_);
}
