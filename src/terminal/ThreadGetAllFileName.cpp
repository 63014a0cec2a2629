// The log-list worker: authentication, "listlogs", and the reply handed whole to the unit's one list, read into rows.
#include "terminal/ThreadGetAllFileName.h"

#include "foundation/ConsoleServices.h"
#include "platform/Exception.h"
#include "platform/GbkCodec.h"
#include "platform/TrimBlanks.h"
#include "terminal/AgentProtocol.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace {

// One list for the whole program: list threads hand their replies to it, the remote log window
// reads and empties it after each list thread has ended. A reply refused for its length leaves
// no text here, only the mark: what was read of it is never handed on. The worker that appended
// last also reads the whole text into rows, so that the window's thread does not have to.
struct ListState {
    QByteArray text;
    bool refused = false;
    int appended = 0; // appends so far: a reading is kept only for the text it was made from
    std::optional<ThreadGetAllFileName::Result> read;
};

std::mutex listLock;
ListState& List()
{
    static ListState list;
    return list;
}

// The whole text decoded, once it is whole, so a character split between two reads comes out
// right; nothing when it holds only blanks.
std::optional<QString> ListText(const QByteArray& bytes)
{
    QString text = Gbk::Decode(bytes);
    if (TrimBlanks(text).isEmpty())
        return std::nullopt;
    return text;
}

} // namespace

ThreadGetAllFileName::ThreadGetAllFileName(const QString& ip) : ThreadProcessBar(QString()), client_(ip)
{
    SetPosition(0);
    SetMax(ProgressMax);
}

std::optional<ThreadGetAllFileName::Result> ThreadGetAllFileName::GetResult()
{
    QByteArray bytes;
    {
        std::lock_guard<std::mutex> guard(listLock);
        if (List().refused)
            return std::nullopt;
        // The rows are handed over, not copied; asked again, the text is read again here.
        if (std::optional<Result> read = std::exchange(List().read, std::nullopt))
            return read;
        bytes = List().text;
    }
    if (std::optional<QString> text = ListText(bytes))
        return Result{*text, LogList::FromText(*text)};
    if (MainForm)
        MainForm->ShowWarning(QStringLiteral("由于网络原因获得文件名时发生错误!"));
    const QString nothing = QStringLiteral("0");
    return Result{nothing, LogList::FromText(nothing)};
}

void ThreadGetAllFileName::ClearResult()
{
    std::lock_guard<std::mutex> guard(listLock);
    // The count goes on: a worker still reading an emptied text must not pass for a new one.
    const int appended = List().appended;
    List() = ListState();
    List().appended = appended;
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
    QByteArray whole;
    int appended = 0;
    {
        std::lock_guard<std::mutex> guard(listLock);
        if (List().text.isEmpty())
            List().text = std::move(list);
        else
            List().text.append(list);
        whole = List().text;
        appended = ++List().appended;
    }
    // Read here, not on the window's thread: a list under the limit of a reply takes the parser
    // a tenth of a second and more, and as long again to become rows.
    std::optional<QString> text = ListText(whole);
    if (!text)
        return; // the window's warning, when it asks for the list
    Result read{*text, LogList::FromText(*text)};
    std::lock_guard<std::mutex> guard(listLock);
    if (List().appended == appended)
        List().read = std::move(read);
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
