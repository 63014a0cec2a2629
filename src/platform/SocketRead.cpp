// Bounded reads of an unbuffered event-driven connection, looking at the socket itself to tell a reset from a close.
#include "platform/SocketRead.h"

#include <QTcpSocket>

#include <cerrno>
#include <sys/socket.h>

namespace SocketRead {

void Connect(QTcpSocket* socket, const QString& host, quint16 port)
{
    socket->connectToHost(host, port, QIODevice::ReadWrite | QIODevice::Unbuffered);
}

Taken Take(QTcpSocket* socket, qsizetype max)
{
    Taken taken;
    if (socket->state() != QAbstractSocket::ConnectedState)
        return taken;
    // The toolkit reads a reset as an orderly close; a look at the next byte tells them apart
    // (a reset is reported once, to the first reader).
    char next = 0;
    ssize_t n = 0;
    do {
        n = ::recv(int(socket->socketDescriptor()), &next, 1, MSG_PEEK | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n == 0) {
        taken.end = End::Closed;
        return taken;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        taken.end = End::Failed;
        return taken;
    }
    // The socket's own read, also when nothing is there: it lets the next arrival be signalled.
    taken.bytes = socket->read(max);
    return taken;
}

} // namespace SocketRead
