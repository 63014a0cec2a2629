// A blocking TCP client over POSIX sockets: every wait is a poll() with a time limit.
#include "platform/BlockingSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline)
{
    // Rounded up, so a wait never ends before its deadline.
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

// poll() on one descriptor until an event or the deadline; EINTR restarts with the time left.
// Returns >0 with revents set, 0 on time-out, -1 on error.
int PollUntil(int fd, short events, Clock::time_point deadline, short& revents)
{
    for (;;) {
        pollfd p{fd, events, 0};
        int n = ::poll(&p, 1, MsLeft(deadline));
        if (n < 0 && errno == EINTR)
            continue;
        revents = p.revents;
        return n;
    }
}

QString ErrnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace

BlockingSocket::~BlockingSocket()
{
    Close();
}

void BlockingSocket::Close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

BlockingSocket::Result BlockingSocket::Connect(const QString& host, int port, int timeoutMs)
{
    Close();
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    if (port < 1 || port > 65535) {
        lastError_ = QStringLiteral("invalid port %1").arg(port);
        return Result::Failed;
    }

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const QByteArray hostBytes = host.toUtf8();
    const QByteArray portBytes = QByteArray::number(port);
    int gai = ::getaddrinfo(hostBytes.constData(), portBytes.constData(), &hints, &list);
    if (gai != 0 || !list) {
        lastError_ = QString::fromLocal8Bit(::gai_strerror(gai));
        return Result::Failed;
    }

    Result result = Result::Failed;
    for (addrinfo* ai = list; ai; ai = ai->ai_next) {
        int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0) {
            lastError_ = ErrnoText(errno);
            continue;
        }
        // Non-blocking while connecting so the attempt can be bounded; blocking calls elsewhere
        // are bounded by poll() anyway, so the descriptor stays non-blocking.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
        int rc = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
        if (rc != 0 && errno == EINPROGRESS) {
            short revents = 0;
            int n = PollUntil(fd, POLLOUT, deadline, revents);
            if (n == 0) {
                ::close(fd);
                lastError_ = QStringLiteral("connect timed out");
                result = Result::TimedOut;
                break; // the time is spent: do not try further addresses
            }
            int err = 0;
            socklen_t len = sizeof err;
            if (n < 0)
                err = errno;
            else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                err = errno;
            rc = err == 0 ? 0 : -1;
            errno = err;
        }
        if (rc == 0) {
            int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            fd_ = fd;
            lastError_.clear();
            result = Result::Ok;
            break;
        }
        lastError_ = ErrnoText(errno);
        result = errno == ECONNREFUSED ? Result::Refused : Result::Failed;
        ::close(fd);
        if (MsLeft(deadline) == 0)
            break;
    }
    ::freeaddrinfo(list);
    return result;
}

BlockingSocket::Result BlockingSocket::Send(const QByteArray& bytes, int timeoutMs)
{
    if (fd_ < 0) {
        lastError_ = QStringLiteral("not connected");
        return Result::Failed;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd_, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            short revents = 0;
            int r = PollUntil(fd_, POLLOUT, deadline, revents);
            if (r == 0) {
                lastError_ = QStringLiteral("send timed out");
                return Result::TimedOut;
            }
            if (r < 0) {
                lastError_ = ErrnoText(errno);
                return Result::Failed;
            }
            continue;
        }
        lastError_ = n < 0 ? ErrnoText(errno) : QStringLiteral("send failed");
        return (n < 0 && (errno == EPIPE || errno == ECONNRESET)) ? Result::Closed : Result::Failed;
    }
    return Result::Ok;
}

BlockingSocket::Result BlockingSocket::ReceiveSome(QByteArray& out, int maxBytes, int timeoutMs)
{
    out.clear();
    if (fd_ < 0) {
        lastError_ = QStringLiteral("not connected");
        return Result::Failed;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        short revents = 0;
        int r = PollUntil(fd_, POLLIN, deadline, revents);
        if (r == 0) {
            lastError_ = QStringLiteral("no data within %1 ms").arg(timeoutMs);
            return Result::TimedOut;
        }
        if (r < 0) {
            lastError_ = ErrnoText(errno);
            return Result::Failed;
        }
        out.resize(maxBytes > 0 ? maxBytes : 1);
        ssize_t n = ::recv(fd_, out.data(), size_t(out.size()), 0);
        if (n > 0) {
            out.resize(n);
            return Result::Ok;
        }
        out.clear();
        if (n == 0) {
            lastError_ = QStringLiteral("connection closed by peer");
            return Result::Closed;
        }
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
            continue; // spurious wake-up: wait again with the time left
        lastError_ = ErrnoText(errno);
        return Result::Failed;
    }
}

BlockingSocket::Result BlockingSocket::ReceiveExactly(QByteArray& out, int n, int timeoutMs)
{
    out.clear();
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    while (out.size() < n) {
        QByteArray part;
        Result r = ReceiveSome(part, int(n - out.size()), MsLeft(deadline));
        if (r != Result::Ok)
            return r;
        out.append(part);
    }
    return Result::Ok;
}
