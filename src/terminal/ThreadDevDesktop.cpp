// The desktop picture worker: authenticate twice, "desk", read one JPEG, hand it over, sleep; until told to stop.
#include "terminal/ThreadDevDesktop.h"

#include "platform/Exception.h"
#include "platform/JpegImage.h"
#include "terminal/AgentProtocol.h"

#include <QObject>
#include <algorithm>
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
    // The window's close ends the waits, and so does the end of the program.
    client_.StopWhen([this, link = link_] { return !link->Running() || StopRequested; });
    client_.Open();
}

void ThreadDevDesktop::Run()
{
    // The connection stays open from one cycle to the next; each cycle authenticates anew.
    // A cleared Running or a stop request ends every wait and the sleep within
    // AgentTimings::StopPollMs.
    bool cycling = true;
    while (cycling && !client_.Stopping() && client_.Connected) {
        cycling = false;
        client_.Run(2, [this, &cycling] {
            if (!ReceiveDesktop()) {
                client_.KeyRejected();
                return;
            }
            Pause();
            cycling = true;
        });
    }
    // Only a window that is still open is asked to close; the link knows whether it is.
    CloseForm();
}

qsizetype ThreadDevDesktop::PictureStart(const QByteArray& data)
{
    return PictureFront().Feed(data);
}

qsizetype ThreadDevDesktop::PictureFront::Feed(const QByteArray& data)
{
    const QByteArray& end = AgentProtocol::ReplyEnd;
    if (state_ == State::Leading) {
        while (pos_ < data.size() && Blank(data[pos_]))
            ++pos_;
        if (pos_ == data.size())
            return -1;
        if (data[pos_] != '<')
            return 0; // no document in front: every byte belongs to the picture
        state_ = State::Document;
    }
    if (state_ == State::Document) {
        const qsizetype stop = data.indexOf(end, pos_);
        if (stop < 0) {
            // Only the last few bytes may hold the start of the end tag.
            pos_ = std::max(pos_, data.size() - end.size() + 1);
            return -1;
        }
        pos_ = stop + end.size();
        state_ = State::After;
    }
    while (pos_ < data.size() && Blank(data[pos_]))
        ++pos_;
    return pos_;
}

QByteArray ThreadDevDesktop::ReceivePicture()
{
    QByteArray data = client_.Read();
    for (int tries = 1; data.isEmpty(); ++tries) {
        if (client_.Stopping())
            throw AgentClient::Stopped{};
        if (tries >= FirstReadTries)
            throw Exception(AgentMessages::NoReply);
        data = client_.Read();
    }
    // The transfer ends as soon as the bytes form a whole picture; the quiet wait stays for an
    // agent that sends something else.
    PictureFront front;
    bool started = false;
    JpegEndScanner scanner;
    for (;;) {
        if (!started) {
            const qsizetype start = front.Feed(data);
            if (start >= 0) {
                data.remove(0, start);
                started = true;
            }
        }
        if (started && scanner.Feed(data)) {
            data.truncate(scanner.Length());
            return data;
        }
        if (data.size() > AgentLimits::Picture)
            throw Exception(QStringLiteral("Picture longer than %1 bytes").arg(AgentLimits::Picture));
        const QByteArray block = client_.Read();
        if (client_.Stopping())
            throw AgentClient::Stopped{};
        if (block.isEmpty())
            return data;
        data.append(block);
    }
}

bool ThreadDevDesktop::ReceiveDesktop()
{
    if (!client_.AwaitReply())
        return false;
    client_.SendLine(AgentProtocol::CmdDesk);
    const QByteArray data = ReceivePicture();
    const QImage picture = JpegImage::Decode(data); // bytes that are no picture: a run error
    link_->Post([picture, data](DesktopTarget& target) { target.ShowPicture(picture, data); });
    return true;
}

void ThreadDevDesktop::Pause()
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(Interval);
    while (!client_.Stopping() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::min(std::chrono::milliseconds(AgentTimings::StopPollMs),
                                             std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 until - std::chrono::steady_clock::now())));
}

void ThreadDevDesktop::Cleanup()
{
    // A rejected key ends the conversation: nothing more is sent. Otherwise the agent is told.
    client_.Cleanup();
}
