// The simulated peers' listener, accepting thread and connection threads.
#include "peers/PeerServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

int ListenOn(const QString& ip, int& port, int backlog, const char* who)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    if (::inet_pton(AF_INET, ip.toLatin1().constData(), &addr.sin_addr) != 1)
        throw std::runtime_error(std::string(who) + ": not an IPv4 address: " + ip.toStdString());
    socklen_t len = sizeof addr;
    const int one = 1;
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    for (int s : {probe, fd})
        ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    auto* a = reinterpret_cast<sockaddr*>(&addr);
    const bool ok = ::bind(probe, a, len) == 0 && ::getsockname(probe, a, &len) == 0 && ::bind(fd, a, len) == 0 &&
                    ::listen(fd, backlog) == 0;
    ::close(probe);
    if (!ok) {
        ::close(fd);
        throw std::runtime_error(std::string(who) + ": cannot listen on " + ip.toStdString() + ":" +
                                 std::to_string(port));
    }
    port = ntohs(addr.sin_port);
    return fd;
}

bool SendAll(int fd, const QByteArray& bytes)
{
    for (qsizetype sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

PeerServer::PeerServer(const QString& ip, int port, int backlog, const char* who)
    : ip_(ip), port_(port), backlog_(backlog)
{
    listenFd_ = ListenOn(ip, port_, backlog, who);
}

PeerServer::~PeerServer()
{
    StopServing();
}

void PeerServer::StartAccepting()
{
    acceptor_ = std::thread(&PeerServer::Accept, this);
}

void PeerServer::StopServing()
{
    {
        std::lock_guard g(lock_);
        if (stopped_)
            return;
        stopped_ = true;
        stop_ = true;
        ::shutdown(listenFd_, SHUT_RDWR); // wakes the blocked accept and every blocked receive
        for (const Client& c : clients_)
            if (!c.done)
                ::shutdown(c.fd, SHUT_RDWR);
    }
    changed_.notify_all();
    if (acceptor_.joinable())
        acceptor_.join();
    for (Client& c : clients_)
        c.thread.join();
    clients_.clear();
    ::close(listenFd_);
}

void PeerServer::SetRefusing(bool refusing)
{
    refusing_ = refusing;
    if (refusing)
        ::shutdown(listenFd_, SHUT_RD);
    else
        ::listen(listenFd_, backlog_);
    changed_.notify_all();
}

bool PeerServer::Pause(int ms)
{
    std::unique_lock g(lock_);
    return !changed_.wait_for(g, std::chrono::milliseconds(ms), [this] { return stop_; });
}

void PeerServer::ReapClients()
{
    for (auto it = clients_.begin(); it != clients_.end();) {
        if (!it->done) {
            ++it;
            continue;
        }
        it->thread.join(); // it has nothing left to do but return
        it = clients_.erase(it);
    }
}

void PeerServer::Accept()
{
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        std::unique_lock g(lock_);
        ReapClients();
        if (stop_) {
            if (fd >= 0)
                ::close(fd);
            return;
        }
        if (fd < 0) { // refusing: the listener is shut down until it listens again
            changed_.wait(g, [this] { return stop_ || !refusing_; });
            continue;
        }
        // Counted before the peer can see anything of the connection, so a client that has
        // finished always finds it counted.
        ++accepted_;
        ++open_;
        Client& client = clients_.emplace_back();
        client.fd = fd;
        client.thread = std::thread([this, &client, serve = Accepted(fd)] {
            serve();
            std::lock_guard done(lock_);
            ::close(client.fd);
            client.done = true;
            --open_;
        });
    }
}
