// The log-list worker: authentication, "listlogs", and the reply handed whole to the unit's one list text.
#include "terminal/ThreadGetAllFileName.h"

#include "foundation/ConsoleServices.h"
#include "platform/Exception.h"
#include "platform/GbkCodec.h"
#include "platform/TrimBlanks.h"
#include "terminal/AgentProtocol.h"

#include <algorithm>
#include <mutex>

namespace {

// One list for the whole program: list threads hand their replies to it, the remote log window
// reads and empties it after each list thread has ended. A reply refused for its length leaves
// no text here, only the mark: what was read of it is never handed on.
struct ListState {
    QByteArray text;
    bool refused = false;
};

std::mutex listLock;
ListState& List()
{
    static ListState list;
    return list;
}

} // namespace

ThreadGetAllFileName::ThreadGetAllFileName(const QString& ip) : ThreadProcessBar(QString()), client_(ip)
{
    SetPosition(0);
    SetMax(ProgressMax);
}

std::optional<QString> ThreadGetAllFileName::GetResult()
{
    QByteArray bytes;
    {
        std::lock_guard<std::mutex> guard(listLock);
        if (List().refused)
            return std::nullopt;
        bytes = List().text;
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
    List() = ListState();
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
    QByteArray list;
    try {
        list = ReadList();
    } catch (const Exception&) {
        std::lock_guard<std::mutex> guard(listLock);
        List().refused = true;
        throw; // the run error's warning is the one word the operator gets
    }
    std::lock_guard<std::mutex> guard(listLock);
    if (List().text.isEmpty())
        List().text = std::move(list);
    else
        List().text.append(list);
}

QByteArray ThreadGetAllFileName::ReadList()
{
    // The reply ends at its closing tag; the quiet wait stays for an agent that never sends it.
    const QByteArray& end = AgentProtocol::ReplyEnd;
    QByteArray list;
    int total = 0;
    QByteArray block = client_.Read();
    while (!block.isEmpty() && !StopRequested) {
        if (list.size() + block.size() > AgentLimits::Reply)
            throw Exception(QStringLiteral("Log list longer than %1 bytes").arg(AgentLimits::Reply));
        // Only the new bytes and the few before them can complete the closing tag.
        const qsizetype from = std::max<qsizetype>(0, list.size() - end.size() + 1);
        list.append(block);
        if (list.indexOf(end, from) >= 0)
            break;
        block = client_.Read();
        total += int(block.size()) / 100;
        SetPosition(total);
    }
    return list;
}

void ThreadGetAllFileName::Cleanup()
{
    client_.Cleanup();
}
