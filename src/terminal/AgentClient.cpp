// The blocking agent client: connection, authentication reply wait, raw reads and "exit".
#include "terminal/AgentClient.h"

#include "platform/Exception.h"
#include "platform/GbkCodec.h"
#include "platform/MessageBoxes.h"
#include "terminal/AgentProtocol.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

// A reply text is taken whole: up to this much at once, then whatever else is already there.
constexpr int ReplyChunk = 64 * 1024;

int MsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : int(left);
}

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
    } catch (const Stopped&) {
        // The operator asked for it, or the window has gone: nothing to say.
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

bool AgentClient::ReceiveSome(QByteArray& part, int maxBytes, int waitMs)
{
    // The wait is cut into slices so that a stop ends it within one of them.
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const int left = MsLeft(deadline);
        const int slice = std::min(left, AgentTimings::StopPollMs);
        const BlockingSocket::Result r = socket_.ReceiveSome(part, maxBytes, slice);
        if (r == BlockingSocket::Result::Closed || r == BlockingSocket::Result::Failed)
            socket_.Close();
        if (r != BlockingSocket::Result::TimedOut)
            return r == BlockingSocket::Result::Ok;
        if (slice == left || Stopping())
            return false;
    }
}

void AgentClient::KeepAfterReply(QByteArray& text)
{
    // The start of the next reply (the desktop client's second authentication reply may come
    // in pieces) belongs to what is read next, not to this reply.
    const qsizetype end = text.lastIndexOf(AgentProtocol::ReplyEnd);
    if (end < 0)
        return;
    const qsizetype after = end + AgentProtocol::ReplyEnd.size();
    if (!AgentProtocol::OnlyBlanks(text.mid(after))) {
        pending_ = text.mid(after);
        text.truncate(after);
    }
}

bool AgentClient::AwaitReply()
{
    const QByteArray& end = AgentProtocol::ReplyEnd;
    const int wait = AgentTimings::Scaled(AgentTimings::WaitMs);
    // However the bytes trickle in, the whole wait is bounded.
    const auto deadline = Clock::now() + std::chrono::milliseconds(AgentTimings::Scaled(AgentTimings::ReplyTotalMs));
    QByteArray text;
    QByteArray part;
    bool whole = false;
    // A reply that comes in pieces is taken whole: more is awaited until its closing tag has
    // come or a wait passes in vain; judged on its first piece, a good key could look rejected.
    // A wait that ends with nothing, while nothing but blanks has come, counts as a retry, also
    // when the agent closed the connection (every later wait then ends at once).
    for (int retries = 0; !whole && !Stopping() && MsLeft(deadline) > 0;) {
        if (ReceiveSome(part, ReplyChunk, std::min(wait, MsLeft(deadline)))) {
            // Only the new bytes and the few before them can complete the closing tag.
            const qsizetype from = std::max<qsizetype>(0, text.size() - end.size() + 1);
            text += part;
            whole = text.indexOf(end, from) >= 0;
        } else if (!AgentProtocol::OnlyBlanks(text) || ++retries > AgentTimings::ReplyRetries) {
            break;
        }
        if (text.size() > AgentLimits::Reply)
            throw Exception(QStringLiteral("Reply longer than %1 bytes").arg(AgentLimits::Reply));
    }
    if (Stopping())
        throw Stopped{};
    // What else is there already belongs to the reply or to what is read next.
    while (whole && text.size() <= AgentLimits::Reply && ReceiveSome(part, ReplyChunk, 0))
        text += part;
    KeepAfterReply(text);
    if (AgentProtocol::OnlyBlanks(text))
        throw Exception(AgentMessages::NoReply);
    return AgentProtocol::AuthAccepted(Gbk::Decode(text));
}

QByteArray AgentClient::Read()
{
    if (!pending_.isEmpty())
        return std::exchange(pending_, QByteArray());
    QByteArray bytes;
    ReceiveSome(bytes, AgentTimings::BufferSize, AgentTimings::Scaled(AgentTimings::WaitMs));
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
