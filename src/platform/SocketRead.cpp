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

End Send(QTcpSocket* socket, const QByteArray& bytes)
{
    // Behind bytes the toolkit still holds, the rest queues there too, in order.
    if (socket->state() != QAbstractSocket::ConnectedState || socket->bytesToWrite() > 0)
        return socket->write(bytes) < 0 ? End::Failed : End::None;
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(int(socket->socketDescriptor()), bytes.constData() + sent, size_t(bytes.size() - sent),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) {
            sent += n;
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return socket->write(bytes.mid(sent)) < 0 ? End::Failed : End::None;
        // A closed peer (the system's EPIPE) is the reader's to find; any other error broke it.
        return errno == EPIPE ? End::None : End::Failed;
    }
    return End::None;
}

} // namespace SocketRead
