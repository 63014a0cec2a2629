// The desktop picture worker: authenticate twice, "desk", read one JPEG, hand it over, sleep; until told to stop.
#include "terminal/ThreadDevDesktop.h"

#include "platform/Exception.h"
#include "platform/JpegImage.h"
#include "terminal/AgentProtocol.h"

#include <QObject>
#include <chrono>
#include <thread>

namespace {

std::atomic<int> liveThreads{0};

bool Blank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

} // namespace

void DesktopLink::Stop()
{
    std::lock_guard<std::mutex> guard(lock_);
    running_ = false;
}

void DesktopLink::Post(std::function<void(DesktopTarget&)> fn)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (!running_)
        return;
    // Queued to the window itself: should it be destroyed first, Qt drops the call; should it
    // merely have closed, Running is false by the time the call runs.
    QMetaObject::invokeMethod(window_, [self = shared_from_this(), fn = std::move(fn)] {
        if (self->running_)
            fn(*self->target_);
    }, Qt::QueuedConnection);
}

ThreadDevDesktop::ThreadDevDesktop(const QString& ip, std::shared_ptr<DesktopLink> link, int intervalMs)
    : ThreadBase(QString()), Interval(intervalMs == 0 ? DefaultIntervalMs : intervalMs), link_(std::move(link)),
      client_(ip)
{
    ++liveThreads;
    SetFreeOnTerminate(true);
}

ThreadDevDesktop::~ThreadDevDesktop()
{
    --liveThreads;
}

int ThreadDevDesktop::LiveCount()
{
    return liveThreads.load();
}

void ThreadDevDesktop::CloseForm()
{
    link_->Post([](DesktopTarget& target) { target.CloseForm(); });
}

void ThreadDevDesktop::Init()
{
    client_.Open();
}

void ThreadDevDesktop::Run()
{
    // The connection stays open from one cycle to the next; each cycle authenticates anew.
    // Running is looked at once per cycle, so a cleared flag ends the loop after the sleep.
    bool cycling = true;
    while (cycling && link_->Running() && client_.Connected) {
        cycling = false;
        client_.Run(2, [this, &cycling] {
            if (!ReceiveDesktop()) {
                client_.KeyRejected();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(Interval));
            cycling = true;
        });
    }
    // Only a window that is still open is asked to close; the link knows whether it is.
    CloseForm();
}

qsizetype ThreadDevDesktop::PictureStart(const QByteArray& data)
{
    qsizetype i = 0;
    while (i < data.size() && Blank(data[i]))
        ++i;
    if (i == data.size())
        return -1;
    if (data[i] != '<')
        return 0; // no document in front: every byte belongs to the picture
    const qsizetype end = data.indexOf(AgentProtocol::ReplyEnd, i);
    if (end < 0)
        return -1;
    i = end + AgentProtocol::ReplyEnd.size();
    while (i < data.size() && Blank(data[i]))
        ++i;
    return i;
}

bool ThreadDevDesktop::ReceiveDesktop()
{
    if (!client_.AwaitReply())
        return false;
    client_.SendLine(AgentProtocol::CmdDesk);
    QByteArray data = client_.Read();
    for (int tries = 1; data.isEmpty(); ++tries) {
        if (tries >= FirstReadTries)
            throw Exception(AgentMessages::NoReply);
        data = client_.Read();
    }
    // The transfer ends as soon as the bytes form a whole picture; the quiet wait stays for an
    // agent that sends something else.
    bool started = false;
    JpegEndScanner scanner;
    for (;;) {
        if (!started) {
            const qsizetype start = PictureStart(data);
            if (start >= 0) {
                data.remove(0, start);
                started = true;
            }
        }
        if (started && scanner.Feed(data)) {
            data.truncate(scanner.Length());
            break;
        }
        const QByteArray block = client_.Read();
        if (block.isEmpty())
            break;
        data.append(block);
    }
    const QImage picture = JpegImage::Decode(data); // bytes that are no picture: a run error
    link_->Post([picture, data](DesktopTarget& target) { target.ShowPicture(picture, data); });
    return true;
}

void ThreadDevDesktop::Cleanup()
{
    // A rejected key ends the conversation: nothing more is sent. Otherwise the agent is told.
    client_.Cleanup();
}
