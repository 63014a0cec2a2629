// The log-list worker: authentication, "listlogs", and the reply appended to the unit's one list text.
#include "terminal/ThreadGetAllFileName.h"

#include "foundation/ConsoleServices.h"
#include "platform/Exception.h"
#include "platform/GbkCodec.h"
#include "platform/TrimBlanks.h"
#include "terminal/AgentProtocol.h"

#include <mutex>

namespace {

// One list text for the whole program: list threads append to it, the remote log window reads
// and empties it after each list thread has ended.
std::mutex listLock;
QByteArray& ListResult()
{
    static QByteArray result;
    return result;
}

} // namespace

ThreadGetAllFileName::ThreadGetAllFileName(const QString& ip) : ThreadProcessBar(QString()), client_(ip)
{
    SetPosition(0);
    SetMax(ProgressMax);
}

QString ThreadGetAllFileName::GetResult()
{
    QByteArray bytes;
    {
        std::lock_guard<std::mutex> guard(listLock);
        bytes = ListResult();
    }
    // Decoded once it is whole, so a character split between two reads comes out right.
    const QString text = Gbk::Decode(bytes);
    if (!TrimBlanks(text).isEmpty())
        return text;
    if (MainForm)
        MainForm->ShowWarning(QStringLiteral("由于网络原因获得文件名时发生错误!"));
    return QStringLiteral("0");
}

void ThreadGetAllFileName::ClearResult()
{
    std::lock_guard<std::mutex> guard(listLock);
    ListResult().clear();
}

void ThreadGetAllFileName::Init()
{
    client_.StopWhen([this] { return bool(StopRequested); });
    client_.Open();
}

void ThreadGetAllFileName::Run()
{
    client_.Run(1, [this] { ReceiveList(); });
}

void ThreadGetAllFileName::ReceiveList()
{
    if (!client_.AwaitReply())
        return; // a rejected key: nothing further is sent, and the clean-up still says "exit"
    client_.SendLine(AgentProtocol::CmdListLogs);
    // The reply ends at its closing tag; the quiet wait stays for an agent that never sends it.
    // The bytes are kept once, in the list text; of them only the last few, which may hold the
    // start of the closing tag, are kept here too.
    const QByteArray& end = AgentProtocol::ReplyEnd;
    QByteArray tail;
    qsizetype received = 0;
    int total = 0;
    QByteArray block = client_.Read();
    while (!block.isEmpty() && !StopRequested) {
        received += block.size();
        if (received > AgentLimits::Reply)
            throw Exception(QStringLiteral("Log list longer than %1 bytes").arg(AgentLimits::Reply));
        {
            std::lock_guard<std::mutex> guard(listLock);
            ListResult().append(block);
        }
        tail.append(block);
        if (tail.contains(end))
            break;
        tail = tail.right(end.size() - 1);
        block = client_.Read();
        total += int(block.size()) / 100;
        SetPosition(total);
    }
}

void ThreadGetAllFileName::Cleanup()
{
    client_.Cleanup();
}
