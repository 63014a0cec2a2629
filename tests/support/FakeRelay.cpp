// The fake relay controller: one poll() loop thread serving every connection of one fake device.
#include "support/FakeRelay.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

long long NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr unsigned char On = 0x80;
constexpr unsigned char Off = 0x00;

} // namespace

FakeRelay::FakeRelay()
{
    if (::pipe2(wakeFd_, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("FakeRelay: pipe failed");
    OpenListener();
    thread_ = std::thread(&FakeRelay::Loop, this);
}

FakeRelay::~FakeRelay()
{
    stop_ = true;
    char b = 1;
    (void)!::write(wakeFd_[1], &b, 1);
    thread_.join();
    for (auto& [fd, c] : clients_)
        ::close(fd);
    if (listenFd_ >= 0)
        ::close(listenFd_);
    ::close(wakeFd_[0]);
    ::close(wakeFd_[1]);
}

void FakeRelay::OpenListener()
{
    // The port is bound explicitly (found first with a throw-away socket), so it stays bound
    // while the listener is switched off for the refusing mode.
    for (int attempt = 0; attempt < 20; ++attempt) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        socklen_t len = sizeof addr;
        if (::bind(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0
            || ::getsockname(probe, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            ::close(probe);
            continue;
        }
        ::close(probe);
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        int one = 1;
        // Lets the listener start again while connections it accepted are still open.
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && ::listen(fd, 256) == 0) {
            listenFd_ = fd;
            port_ = ntohs(addr.sin_port);
            listening_ = true;
            return;
        }
        ::close(fd);
    }
    throw std::runtime_error("FakeRelay: no port to listen on");
}

void FakeRelay::SetFault(Fault fault, Scope scope)
{
    std::lock_guard<std::mutex> g(lock_);
    fault_ = fault;
    scope_ = scope;
    const bool listen = fault != Fault::Refuse;
    if (listen != listening_) {
        // Shutting a listener down stops it listening but keeps its port bound, so the system
        // refuses connections until it listens again.
        if (listen)
            ::listen(listenFd_, 256);
        else
            ::shutdown(listenFd_, SHUT_RD);
        listening_ = listen;
    }
    char b = 1;
    (void)!::write(wakeFd_[1], &b, 1);
}

void FakeRelay::SetChannel(int channel, bool on)
{
    std::lock_guard<std::mutex> g(lock_);
    channels_[channel & 1] = on;
}

bool FakeRelay::Channel(int channel) const
{
    std::lock_guard<std::mutex> g(lock_);
    return channels_[channel & 1];
}

std::vector<QByteArray> FakeRelay::Frames() const
{
    std::lock_guard<std::mutex> g(lock_);
    return frames_;
}

int FakeRelay::FrameCount() const
{
    std::lock_guard<std::mutex> g(lock_);
    return int(frames_.size());
}

int FakeRelay::OpenConnections() const
{
    std::lock_guard<std::mutex> g(lock_);
    int n = 0;
    for (const auto& [fd, c] : clients_)
        n += c.drain ? 0 : 1;
    return n;
}

bool FakeRelay::WaitFrames(int n, int timeoutMs) const
{
    std::unique_lock<std::mutex> g(lock_);
    return framesChanged_.wait_for(g, std::chrono::milliseconds(timeoutMs),
                                   [&] { return int(frames_.size()) >= n; });
}

void FakeRelay::ClearFrames()
{
    std::lock_guard<std::mutex> g(lock_);
    frames_.clear();
}

QByteArray FakeRelay::Reply(unsigned char command, unsigned char echo, unsigned char state)
{
    QByteArray r;
    r.append(char(0x55));
    r.append(5, char(0xAA));
    r.append(char(command));
    r.append(char(2));
    r.append(char(echo));
    r.append(char(state));
    unsigned sum = 0;
    for (char c : r)
        sum += static_cast<unsigned char>(c);
    r.append(char(sum & 0xFF));
    r.append(char(0x16));
    return r;
}

QByteArray FakeRelay::Answer(const QByteArray& frame)
{
    // Called with lock_ held.
    const auto command = static_cast<unsigned char>(frame[6]);
    const Fault fault = (scope_ == Scope::All || command == 0x11) ? fault_ : Fault::None;
    if (fault == Fault::Silent)
        return QByteArray();
    const int n = static_cast<unsigned char>(frame[7]);
    const auto first = n > 0 ? static_cast<unsigned char>(frame[8]) : 0;
    const int channel = first & 0x01;
    unsigned char state = Off;
    if (command == 0x01) {
        state = channels_[channel] ? On : Off;
    } else if (command == 0x11) {
        const bool on = (first & 0x10) == 0;
        if (fault == Fault::WrongState) {
            state = on ? Off : On; // a stuck relay: nothing switched
        } else {
            channels_[channel] = on;
            state = on ? On : Off;
        }
    }
    unsigned char echo = first;
    if (fault == Fault::WrongEcho)
        echo ^= 0x01;
    if (fault == Fault::UnknownState)
        state = 0x01;
    QByteArray reply = Reply(command, echo, state);
    if (fault == Fault::Short)
        reply.truncate(9);
    return reply;
}

void FakeRelay::HandleFrames(Client& c, long long nowMs)
{
    for (;;) {
        while (!c.in.isEmpty() && static_cast<unsigned char>(c.in[0]) != 0x55)
            c.in.remove(0, 1);
        if (c.in.size() < 8)
            return;
        const int total = static_cast<unsigned char>(c.in[7]) + 10;
        if (c.in.size() < total)
            return;
        const QByteArray frame = c.in.left(total);
        c.in.remove(0, total);
        QByteArray reply;
        bool delayed = false;
        {
            std::lock_guard<std::mutex> g(lock_);
            frames_.push_back(frame);
            reply = Answer(frame);
            delayed = fault_ == Fault::Delay
                      && (scope_ == Scope::All || static_cast<unsigned char>(frame[6]) == 0x11);
        }
        framesChanged_.notify_all();
        if (reply.isEmpty())
            continue;
        if (delayed)
            pending_.push_back({c.fd, reply, nowMs + delayMs_.load()});
        else
            (void)!::send(c.fd, reply.constData(), size_t(reply.size()), MSG_NOSIGNAL);
    }
}

void FakeRelay::Loop()
{
    while (!stop_) {
        std::vector<pollfd> fds;
        fds.push_back({wakeFd_[0], POLLIN, 0});
        {
            std::lock_guard<std::mutex> g(lock_);
            fds.push_back({listening_ ? listenFd_ : -1, POLLIN, 0});
        }
        for (auto& [fd, c] : clients_)
            fds.push_back({fd, POLLIN, 0});

        long long now = NowMs();
        int timeout = 50;
        for (const auto& p : pending_)
            timeout = int(std::max(0LL, std::min<long long>(timeout, p.dueMs - now)));
        int n = ::poll(fds.data(), fds.size(), timeout);
        if (n < 0 && errno != EINTR)
            break;
        if (stop_)
            break;
        char buf[4096];
        while (::read(wakeFd_[0], buf, sizeof buf) > 0) {
        }

        now = NowMs();
        if (n > 0 && (fds[1].revents & POLLIN)) {
            std::lock_guard<std::mutex> g(lock_);
            for (;;) {
                int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd < 0)
                    break;
                int one = 1;
                ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                ++accepted_;
                Client c;
                c.fd = fd;
                if (fault_ == Fault::CloseAfterAccept) {
                    // Half-close: the peer reads end-of-stream at once; what it sends is read
                    // and dropped, so it never gets a reset.
                    ::shutdown(fd, SHUT_WR);
                    c.drain = true;
                }
                clients_[fd] = c;
            }
        }
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const int fd = fds[i].fd;
            auto it = clients_.find(fd);
            if (it == clients_.end())
                continue;
            ssize_t got = ::recv(fd, buf, sizeof buf, 0);
            if (got < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (got <= 0) {
                std::lock_guard<std::mutex> g(lock_);
                ::close(fd);
                clients_.erase(it);
                std::erase_if(pending_, [fd](const Pending& p) { return p.fd == fd; });
                continue;
            }
            if (it->second.drain)
                continue;
            it->second.in.append(buf, got);
            HandleFrames(it->second, now);
        }
        now = NowMs();
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (it->dueMs <= now) {
                (void)!::send(it->fd, it->bytes.constData(), size_t(it->bytes.size()), MSG_NOSIGNAL);
                it = pending_.erase(it);
            } else {
                ++it;
            }
        }
    }
}
