// A listener with backlog 0 and the one connection that fills its queue.
#include "peers/BlackHolePort.h"

#include "peers/PeerServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

BlackHolePort::BlackHolePort(const QString& ip, int port) : port_(port)
{
    // Backlog 0 holds one finished connection; with the filler queued and never accepted, the
    // kernel drops every further SYN to this address and port.
    listenFd_ = ListenOn(ip, port_, 0, "BlackHolePort");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port_));
    ::inet_pton(AF_INET, ip.toLatin1().constData(), &addr.sin_addr);
    fillerFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fillerFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fillerFd_);
        ::close(listenFd_);
        throw std::runtime_error("BlackHolePort: cannot fill the queue of " + ip.toStdString());
    }
}

BlackHolePort::~BlackHolePort()
{
    ::close(fillerFd_);
    ::close(listenFd_);
}
