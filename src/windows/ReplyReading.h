// One read event of a window's agent connection: a bounded piece read, its whole replies handed on, a bad one reported later.
#pragma once

#include <QString>

#include <functional>

class AgentReplySplitter;
class DeferredBox;
class QTcpSocket;

enum class ReadOutcome {
    Read,    // a piece was read (its whole replies handed on)
    Nothing, // the event brought no byte
    Waiting, // a box waits or is open: nothing is read until it has closed
    Closed,  // the agent closed the connection in an orderly way; it is closed here too
    Failed,  // the connection broke (a reset as well); it is closed here
};

// Reads at most maxBytes from socket (connected by SocketRead::Connect) and hands each whole reply
// to deal, in order. A reply that deal cannot read (it throws) ends this piece's replies and is
// reported through box as a bad reply; an unfinished reply stays carried in splitter.
ReadOutcome ReadReplies(QTcpSocket* socket, AgentReplySplitter& splitter, DeferredBox& box, qsizetype maxBytes,
                        const std::function<void(const QString&)>& deal);
