// A blocking TCP client connection for worker threads, with a time limit on connect, send and receive.
#pragma once

#include <QByteArray>
#include <QString>

class BlockingSocket {
public:
    enum class Result { Ok, Refused, TimedOut, Closed, Failed };

    BlockingSocket() = default;
    ~BlockingSocket();
    BlockingSocket(const BlockingSocket&) = delete;
    BlockingSocket& operator=(const BlockingSocket&) = delete;

    // Connects to host:port (IPv4 text or a name), giving up after timeoutMs.
    Result Connect(const QString& host, int port, int timeoutMs);
    // Sends all bytes, giving up after timeoutMs.
    Result Send(const QByteArray& bytes, int timeoutMs);
    // Waits up to timeoutMs for data, then reads what is there (at most maxBytes) into out.
    // Closed when the peer closed the connection before any byte came.
    Result ReceiveSome(QByteArray& out, int maxBytes, int timeoutMs);
    // Reads exactly n bytes unless the time runs out or the peer closes first (out holds what came).
    Result ReceiveExactly(QByteArray& out, int n, int timeoutMs);
    void Close();
    bool IsConnected() const { return fd_ >= 0; }
    // Text of the last failure (strerror or a reason), for log lines.
    QString LastError() const { return lastError_; }

private:
    int fd_ = -1;
    QString lastError_;
};
