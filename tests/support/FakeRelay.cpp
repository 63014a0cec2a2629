// The fake relay controller: an accepting thread and one blocking thread per connection.
#include "support/FakeRelay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr unsigned char Set = 0x11;
constexpr unsigned char On = 0x80;
constexpr unsigned char Off = 0x00;
constexpr int Backlog = 256;
} // namespace

FakeRelay::FakeRelay()
{
    // The listener is bound to the number of a port that the probe holds, not to port 0: a port
    // bound as 0 would be given up when the refusing mode shuts the listener down. Address reuse
    // lets both bind it, and lets the listener start again while accepted connections are open.
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    const int one = 1;
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    for (int fd : {probe, listenFd_})
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    auto* a = reinterpret_cast<sockaddr*>(&addr);
    if (::bind(probe, a, len) != 0 || ::getsockname(probe, a, &len) != 0 || ::bind(listenFd_, a, len) != 0
        || ::listen(listenFd_, Backlog) != 0)
        throw std::runtime_error("FakeRelay: no port to listen on");
    ::close(probe);
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread(&FakeRelay::Accept, this);
}

FakeRelay::~FakeRelay()
{
    {
        std::lock_guard g(lock_);
        stop_ = true;
        ::shutdown(listenFd_, SHUT_RDWR); // wakes the blocked accept and every blocked receive
        for (int fd : clientFds_)
            ::shutdown(fd, SHUT_RDWR);
    }
    changed_.notify_all();
    acceptor_.join();
    for (auto& t : clients_)
        t.join();
    for (int fd : clientFds_)
        ::close(fd);
    ::close(listenFd_);
}

void FakeRelay::SetFault(Fault fault, Scope scope)
{
    std::lock_guard g(lock_);
    fault_ = fault;
    scope_ = scope;
    // A listener shut down stops listening but keeps its port, so the system refuses connections.
    if (fault == Fault::Refuse)
        ::shutdown(listenFd_, SHUT_RD);
    else
        ::listen(listenFd_, Backlog);
    changed_.notify_all();
}

void FakeRelay::Accept()
{
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        std::unique_lock g(lock_);
        if (fd >= 0)
            clientFds_.push_back(fd); // closed at the end, so a number is never reused meanwhile
        if (stop_)
            return;
        if (fd < 0) { // refusing: the listener is shut down until the fault changes
            changed_.wait(g, [this] { return stop_ || fault_ != Fault::Refuse; });
            continue;
        }
        // Counted before the peer can see anything of the connection, so a client that has
        // finished always finds it counted.
        ++accepted_;
        ++open_;
        const bool drain = fault_ == Fault::CloseAfterAccept;
        if (drain) // the peer reads end-of-stream at once; what it sends is dropped, so it gets no reset
            ::shutdown(fd, SHUT_WR);
        clients_.emplace_back(&FakeRelay::Serve, this, fd, drain);
    }
}

void FakeRelay::Serve(int fd, bool drain)
{
    QByteArray in;
    char buf[4096];
    for (;;) {
        const ssize_t got = ::recv(fd, buf, sizeof buf, 0);
        if (got <= 0)
            break;
        if (drain)
            continue;
        in.append(buf, got);
        // A frame is 10 bytes and its data count (byte 7).
        while (in.size() >= 8) {
            const int n = static_cast<unsigned char>(in[7]) + 10;
            if (in.size() < n)
                break; // the rest of the frame is still on its way
            const QByteArray frame = in.left(n);
            in.remove(0, n);
            std::unique_lock g(lock_);
            frames_.push_back(frame);
            changed_.notify_all();
            const auto command = static_cast<unsigned char>(frame[6]);
            const auto first = n > 10 ? static_cast<unsigned char>(frame[8]) : 0;
            const Fault fault = (scope_ == Scope::All || command == Set) ? fault_ : Fault::None;
            if (fault == Fault::Silent)
                continue;
            bool& channel = channels_[first & 1];
            if (command == Set && fault != Fault::WrongState) // a stuck relay switches nothing
                channel = (first & 0x10) == 0;
            // 55 AA*5, command, 2, echo, state, checksum, 16.
            QByteArray reply = QByteArray::fromHex("55AAAAAAAAAA") + char(command) + char(2)
                               + char(fault == Fault::WrongEcho ? first ^ 0x01 : first)
                               + char(fault == Fault::UnknownState ? 0x01 : channel ? On : Off);
            unsigned sum = 0;
            for (char c : reply)
                sum += static_cast<unsigned char>(c);
            reply = (reply + char(sum & 0xFF) + char(0x16)).left(fault == Fault::Short ? 9 : 12);
            if (fault == Fault::Delay)
                changed_.wait_for(g, std::chrono::milliseconds(delayMs_.load()), [this] { return stop_; });
            if (fault == Fault::Hold)
                changed_.wait(g, [this] { return stop_ || released_; });
            g.unlock();
            (void)!::send(fd, reply.constData(), size_t(reply.size()), MSG_NOSIGNAL);
        }
    }
    --open_;
}
