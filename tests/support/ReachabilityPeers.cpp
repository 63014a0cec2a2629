// Loopback peers for reachability probes: an agent port that accepts, and one that drops SYNs.
#include "ReachabilityPeers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

ReachabilityPeers::ReachabilityPeers()
{
    for (int& fd : fds_)
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, ReachableIp, &a.sin_addr);
    socklen_t len = sizeof a;
    auto* sa = reinterpret_cast<sockaddr*>(&a);
    // The silent listener has backlog 0, which holds one finished connection: with the filler
    // queued and never accepted, the kernel drops every further SYN to that address.
    if (::bind(fds_[0], sa, len) != 0 || ::listen(fds_[0], SOMAXCONN) != 0 || ::getsockname(fds_[0], sa, &len) != 0
        || inet_pton(AF_INET, SilentIp, &a.sin_addr) != 1 || ::bind(fds_[1], sa, len) != 0
        || ::listen(fds_[1], 0) != 0 || ::connect(fds_[2], sa, len) != 0)
        throw std::runtime_error("no loopback port for the reachability peers");
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] {
        while (!stop_) {
            const int fd = ::accept4(fds_[0], nullptr, nullptr, SOCK_CLOEXEC);
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
    ::shutdown(fds_[0], SHUT_RDWR); // wakes the blocked accept
    acceptor_.join();
    for (int fd : fds_)
        ::close(fd);
}
