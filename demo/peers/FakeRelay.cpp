// The fake relay controller: an accepting thread and one blocking thread per connection.
#include "peers/FakeRelay.h"

#include <sys/socket.h>

namespace {
constexpr unsigned char Set = 0x11;
constexpr unsigned char On = 0x80;
constexpr unsigned char Off = 0x00;
constexpr int Backlog = 256;
} // namespace

FakeRelay::FakeRelay(const QString& ip, int port) : PeerServer(ip, port, Backlog, "FakeRelay")
{
    StartAccepting();
}

FakeRelay::~FakeRelay()
{
    StopServing();
}

void FakeRelay::SetFault(Fault fault, Scope scope)
{
    std::lock_guard g(lock_);
    fault_ = fault;
    scope_ = scope;
    SetRefusing(fault == Fault::Refuse);
}

std::function<void()> FakeRelay::Accepted(int fd)
{
    const bool drain = fault_ == Fault::CloseAfterAccept;
    if (drain) // the peer reads end-of-stream at once; what it sends is dropped, so it gets no reset
        ::shutdown(fd, SHUT_WR);
    return [this, fd, drain] { Serve(fd, drain); };
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
            const bool switches = command == Set && fault != Fault::WrongState; // a stuck relay switches nothing
            if (switches)
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
            const SwitchHandler switched = switches ? switched_ : SwitchHandler();
            const bool on = channel;
            g.unlock();
            if (switched)
                switched(first & 1, on);
            SendAll(fd, reply);
        }
    }
}
