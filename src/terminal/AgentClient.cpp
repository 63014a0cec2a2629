// The blocking agent client: connection, authentication reply wait, raw reads and "exit".
#include "terminal/AgentClient.h"

#include "platform/Exception.h"
#include "platform/GbkCodec.h"
#include "platform/MessageBoxes.h"
#include "platform/TrimBlanks.h"
#include "terminal/AgentProtocol.h"

#include <utility>

namespace {

// A reply text is taken whole: up to this much at once, then whatever else is already there.
constexpr int ReplyChunk = 64 * 1024;

} // namespace

QString AgentClient::Init()
{
    if (Ip.isEmpty())
        return AgentMessages::BadIp;
    const int wait = AgentTimings::Scaled(AgentTimings::WaitMs);
    if (socket_.Connect(Ip, AgentProtocol::Port(), wait) != BlockingSocket::Result::Ok)
        return AgentMessages::ConnectFailed;
    Connected = true;
    return QString();
}

namespace {

void Warn(const QString& text)
{
    MessageBoxes::Show({QStringLiteral("警告"), text, MsgIcon::Warning, MsgButtons::Ok});
}

} // namespace

bool AgentClient::Open()
{
    const QString failure = Init();
    if (!failure.isEmpty())
        Warn(failure);
    return failure.isEmpty();
}

void AgentClient::Run(int authLines, const std::function<void()>& receive)
{
    if (!Connected)
        return;
    try {
        SendAuth(authLines);
        receive();
    } catch (const Exception&) {
        Warn(AgentMessages::RunError);
    }
}

void AgentClient::KeyRejected()
{
    rejected_ = true;
    Warn(AgentMessages::KeyRejected);
}

void AgentClient::SendLine(const QString& command)
{
    const int wait = AgentTimings::Scaled(AgentTimings::WaitMs);
    if (socket_.Send(AgentProtocol::EncodeLine(command), wait) != BlockingSocket::Result::Ok)
        throw Exception(QStringLiteral("Send failed: ") + socket_.LastError());
}

void AgentClient::SendAuth(int times)
{
    const QString line = AgentProtocol::BuildAuthCommand();
    for (int i = 0; i < times; ++i)
        SendLine(line);
}

bool AgentClient::ReceiveSome(QByteArray& part, int waitMs)
{
    const BlockingSocket::Result r = socket_.ReceiveSome(part, ReplyChunk, waitMs);
    if (r == BlockingSocket::Result::Closed || r == BlockingSocket::Result::Failed)
        socket_.Close();
    return r == BlockingSocket::Result::Ok;
}

QByteArray AgentClient::ReceiveText()
{
    QByteArray text;
    QByteArray part;
    const int wait = AgentTimings::Scaled(AgentTimings::WaitMs);
    if (!ReceiveSome(part, wait))
        return text;
    text = part;
    // A reply that comes in pieces is taken whole: more is awaited until its closing tag has
    // come or a wait passes in vain. Judged on its first piece, a good key could look rejected.
    while (!text.contains(AgentProtocol::ReplyEnd) && ReceiveSome(part, wait))
        text += part;
    while (ReceiveSome(part, 0))
        text += part;
    // The start of the next reply (the desktop client's second authentication reply may come
    // in pieces) belongs to what is read next, not to this reply.
    const qsizetype end = text.lastIndexOf(AgentProtocol::ReplyEnd);
    if (end >= 0) {
        const qsizetype after = end + AgentProtocol::ReplyEnd.size();
        if (!TrimBlanks(Gbk::Decode(text.mid(after))).isEmpty()) {
            pending_ = text.mid(after);
            text.truncate(after);
        }
    }
    return text;
}

bool AgentClient::AwaitReply()
{
    // A wait that ends with nothing, or with blanks only, counts as a retry, also when the agent
    // closed the connection (every later wait then ends at once).
    QString reply = Gbk::Decode(ReceiveText());
    for (int retries = 0; TrimBlanks(reply).isEmpty();) {
        if (++retries > AgentTimings::ReplyRetries)
            throw Exception(AgentMessages::NoReply);
        reply = Gbk::Decode(ReceiveText());
    }
    return AgentProtocol::AuthAccepted(reply);
}

QByteArray AgentClient::Read()
{
    if (!pending_.isEmpty())
        return std::exchange(pending_, QByteArray());
    QByteArray bytes;
    const int wait = AgentTimings::Scaled(AgentTimings::WaitMs);
    const BlockingSocket::Result r = socket_.ReceiveSome(bytes, AgentTimings::BufferSize, wait);
    if (r == BlockingSocket::Result::Closed || r == BlockingSocket::Result::Failed)
        socket_.Close();
    return bytes;
}

bool AgentClient::Cleanup()
{
    bool sent = true;
    if (!rejected_ && socket_.IsConnected()) {
        const int wait = AgentTimings::Scaled(AgentTimings::WaitMs);
        sent = socket_.Send(AgentProtocol::EncodeLine(AgentProtocol::CmdExit), wait) == BlockingSocket::Result::Ok;
    }
    socket_.Close();
    Connected = false;
    return sent;
}
