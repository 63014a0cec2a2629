// Loopback peers for reachability probes: an agent port that accepts, and one that drops SYNs.
#include "ReachabilityPeers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace {

constexpr int OpenAttempts = 20;
constexpr int AcceptPollMs = 20;

sockaddr_in Address(const char* ip, int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, ip, &a.sin_addr);
    return a;
}

int Listen(const char* ip, int port, int backlog)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in a = Address(ip, port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, backlog) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

ReachabilityPeers::ReachabilityPeers()
{
    for (int i = 0; i < OpenAttempts; ++i)
        if (TryOpen()) {
            acceptor_ = std::thread([this] { AcceptLoop(); });
            return;
        }
    throw std::runtime_error("no loopback port for the reachability peers");
}

ReachabilityPeers::~ReachabilityPeers()
{
    stop_ = true;
    if (acceptor_.joinable())
        acceptor_.join();
    CloseAll();
}

bool ReachabilityPeers::TryOpen()
{
    acceptFd_ = Listen(ReachableIp, 0, SOMAXCONN);
    if (acceptFd_ < 0)
        return false;
    sockaddr_in bound{};
    socklen_t len = sizeof bound;
    ::getsockname(acceptFd_, reinterpret_cast<sockaddr*>(&bound), &len);
    port_ = ntohs(bound.sin_port);

    // Backlog 0 holds one finished connection; with it queued and never accepted, the kernel
    // drops every further SYN to this address.
    silentFd_ = Listen(SilentIp, port_, 0);
    if (silentFd_ >= 0) {
        fillerFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = Address(SilentIp, port_);
        if (fillerFd_ >= 0 && ::connect(fillerFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
            return true;
    }
    CloseAll();
    return false;
}

void ReachabilityPeers::CloseAll()
{
    CloseFd(fillerFd_);
    CloseFd(silentFd_);
    CloseFd(acceptFd_);
}

void ReachabilityPeers::AcceptLoop()
{
    while (!stop_) {
        pollfd p{acceptFd_, POLLIN, 0};
        if (::poll(&p, 1, AcceptPollMs) <= 0)
            continue;
        const int fd = ::accept4(acceptFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            ++accepted_;
            ::close(fd);
        }
    }
}
