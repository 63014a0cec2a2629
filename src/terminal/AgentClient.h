// The blocking steps that every agent worker thread takes: set-up, authentication, raw reads, clean-up.
#pragma once

#include "platform/BlockingSocket.h"

#include <QByteArray>
#include <QString>
#include <functional>

class AgentClient {
public:
    // Thrown out of a wait that a stop ended; Run ends quietly on it.
    struct Stopped {};

    explicit AgentClient(const QString& ip) : Ip(ip) {}

    // What tells the client that its window has closed or its stop button was pressed: every
    // wait looks at it at least every AgentTimings::StopPollMs and then ends.
    void StopWhen(std::function<bool()> stopped) { stopped_ = std::move(stopped); }
    bool Stopping() const { return stopped_ && stopped_(); }

    // Opens the connection to Ip on the agent port. On failure returns the warning the worker
    // shows ("错误的IP地址!", "建立连接失败!"), and Connected stays false.
    QString Init();
    // Init, showing its warning on failure; true when connected.
    bool Open();
    // The run step of a worker: with a connection, the authentication line (authLines times)
    // and then receive; a run error on the way ends it with the warning "连接发生错误!", a stop
    // without a word.
    void Run(int authLines, const std::function<void()>& receive);
    // The key was rejected: the warning "密钥错误,请检查!", and nothing more is sent, not even
    // "exit" (what Cleanup sends by default after this).
    void KeyRejected();
    // Sends one command line; a failure throws Exception (a run error).
    void SendLine(const QString& command);
    // Sends the authentication line times times in a row (one line, one nonce).
    void SendAuth(int times = 1);
    // Waits for the authentication reply: true when the key was accepted, false when the reply
    // rejects it. Throws Exception "等待数据超时!" after four waits without a reply; the whole
    // wait ends after four waits anyway, with what has come by then. A reply longer than
    // AgentLimits::Reply throws Exception; a stop throws Stopped.
    bool AwaitReply();
    // One raw read of at most a buffer: the bytes, or none after a quiet wait, when the agent
    // closed the connection (then this side is closed too) or on a stop. What came after the
    // authentication reply in the same reads comes first.
    QByteArray Read();
    // Sends "exit" while the connection is open (unless the key was rejected), then closes it.
    // False when the send failed.
    bool Cleanup();

    bool IsOpen() const { return socket_.IsConnected(); }

    const QString Ip;
    bool Connected = false;

private:
    // One receive of at most maxBytes within waitMs, looking for a stop in between; false when
    // nothing came (a closed connection is closed on this side too).
    bool ReceiveSome(QByteArray& part, int maxBytes, int waitMs);
    // Keeps what follows the reply's end in text for the next Read, unless it is blank.
    void KeepAfterReply(QByteArray& text);

    BlockingSocket socket_;
    QByteArray pending_; // received after the end of a reply, not yet read
    bool rejected_ = false;
    std::function<bool()> stopped_;
};

// Messages of the blocking agent clients.
namespace AgentMessages {
inline const QString BadIp = QStringLiteral("错误的IP地址!");
inline const QString ConnectFailed = QStringLiteral("建立连接失败!");
inline const QString NoReply = QStringLiteral("等待数据超时!");
inline const QString RunError = QStringLiteral("连接发生错误!");
inline const QString KeyRejected = QStringLiteral("密钥错误,请检查!");
} // namespace AgentMessages
