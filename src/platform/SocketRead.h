// Reading an event-driven TCP connection without a read buffer of the toolkit: bounded reads, and a reset told from a close.
#pragma once

#include <QByteArray>
#include <QString>

class QTcpSocket;

namespace SocketRead {

enum class End {
    None,   // the connection goes on
    Closed, // the peer closed it in an orderly way
    Failed, // it broke: reset by the peer, or another error of the system
};

struct Taken {
    QByteArray bytes;
    End end = End::None;
};

// Connects socket to host:port unbuffered: what is not read stays with the system, whose receive
// window then holds the peer back, so a window that stops reading keeps no growing buffer.
void Connect(QTcpSocket* socket, const QString& host, quint16 port);

// One read of at most max bytes of what is there now, from a socket connected by Connect. An
// orderly close and a reset both end the connection, but only the reset is a failure (the
// toolkit reports both as a close). Nothing when the socket is not connected.
Taken Take(QTcpSocket* socket, qsizetype max);

// Writes bytes to a socket connected by Connect; Failed when the write met a reset. The toolkit's
// own write closes the socket on any broken write, which loses what the peer sent before it went
// and takes the reset from the reader (the system reports it once). Here a write that meets a
// closed peer leaves the socket to the reader, which reads what is left and finds the close. What
// the system cannot take at once, and anything while not connected, goes through the toolkit.
End Send(QTcpSocket* socket, const QByteArray& bytes);

} // namespace SocketRead
