// The freezing proxy: one thread per connection forwards both ways unless frozen.
#include "support/FreezingProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int LookMs = 10; // how often a connection looks whether it is frozen or stopping
constexpr int ChunkBytes = 64 * 1024;

int ConnectTo(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

// Moves what is there from one socket to the other; false once either has gone.
bool Pass(int from, int to)
{
    char chunk[ChunkBytes];
    const ssize_t n = ::recv(from, chunk, sizeof chunk, 0);
    return n > 0 && SendAll(to, QByteArray(chunk, int(n)));
}

} // namespace

FreezingProxy::FreezingProxy(int targetPort)
    : PeerServer(QStringLiteral("127.0.0.1"), 0, 16, "freezing proxy"), targetPort_(targetPort)
{
    StartAccepting();
}

FreezingProxy::~FreezingProxy()
{
    StopServing();
}

std::function<void()> FreezingProxy::Accepted(int fd)
{
    return [this, fd] { Forward(fd); };
}

void FreezingProxy::Forward(int client)
{
    const int server = ConnectTo(targetPort_);
    if (server < 0)
        return;
    for (;;) {
        {
            std::lock_guard g(lock_);
            if (stop_)
                break;
        }
        if (frozen_) {
            ::usleep(LookMs * 1000);
            continue;
        }
        pollfd both[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        if (::poll(both, 2, LookMs) < 0)
            break;
        if (both[0].revents && !Pass(client, server))
            break;
        if (both[1].revents && !Pass(server, client))
            break;
    }
    ::close(server);
}
