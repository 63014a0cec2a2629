// Reading replies from a window's agent connection, with what breaks or cannot be read reported outside the handler.
#include "windows/ReplyReading.h"

#include "platform/SocketRead.h"
#include "terminal/AgentProtocol.h"
#include "windows/DeferredBox.h"

#include <QTcpSocket>

ReadOutcome ReadReplies(QTcpSocket* socket, AgentReplySplitter& splitter, DeferredBox& box, qsizetype maxBytes,
                        const std::function<void(const QString&)>& deal)
{
    // While a box waits or is open nothing is read: the system's receive window holds the agent
    // back, and the box's own message loop never runs a handler's work.
    if (box.Pending())
        return ReadOutcome::Waiting;
    const SocketRead::Taken taken = SocketRead::Take(socket, maxBytes);
    if (taken.end != SocketRead::End::None) {
        socket->abort();
        splitter.Clear();
        return taken.end == SocketRead::End::Failed ? ReadOutcome::Failed : ReadOutcome::Closed;
    }
    if (taken.bytes.isEmpty())
        return ReadOutcome::Nothing;
    for (const QString& message : splitter.Feed(taken.bytes)) {
        try {
            deal(message);
        } catch (...) {
            box.BadReply(std::current_exception());
            break;
        }
    }
    return ReadOutcome::Read;
}
