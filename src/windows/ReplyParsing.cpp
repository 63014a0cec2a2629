// Reading a window's agent replies on a thread of their own, with nothing handed back once the window has stopped it.
#include "windows/ReplyParsing.h"

#include <QObject>

#include <atomic>
#include <mutex>

struct ReplyParsing::Shared {
    std::mutex lock; // held while a hand-over is queued, so Stop cannot come in between
    QObject* window = nullptr;
    Reader reader;
    Done done;
    std::atomic<bool> running{true};
    bool busy = false; // on the window's thread only
};

ReplyParsing::ReplyParsing(QObject* window, Reader reader, Done done) : shared_(std::make_shared<Shared>())
{
    shared_->window = window;
    shared_->reader = std::move(reader);
    shared_->done = std::move(done);
}

ReplyParsing::~ReplyParsing()
{
    Stop();
    if (thread_.joinable())
        thread_.join();
}

bool ReplyParsing::Busy() const
{
    return shared_->busy;
}

void ReplyParsing::Parse(QStringList messages)
{
    if (shared_->busy || !shared_->running)
        return;
    // The last batch's thread handed its effects over before Busy was cleared: it has ended or
    // is about to.
    if (thread_.joinable())
        thread_.join();
    shared_->busy = true;
    thread_ = std::thread([shared = shared_, messages = std::move(messages)] {
        std::vector<Effect> effects;
        std::exception_ptr error;
        for (const QString& message : messages) {
            if (!shared->running)
                return;
            try {
                effects.push_back(shared->reader(message));
            } catch (...) {
                // Like a reply read in the handler: the bad one ends the batch.
                error = std::current_exception();
                break;
            }
        }
        std::lock_guard<std::mutex> guard(shared->lock);
        if (!shared->running)
            return;
        // Queued to the window itself: should it be destroyed first, Qt drops the call; should it
        // merely have stopped this, running is false by the time the call runs.
        QMetaObject::invokeMethod(shared->window, [shared, effects = std::move(effects), error]() mutable {
            if (!shared->running)
                return;
            shared->busy = false;
            shared->done(std::move(effects), error);
        }, Qt::QueuedConnection);
    });
}

void ReplyParsing::Stop()
{
    std::lock_guard<std::mutex> guard(shared_->lock);
    shared_->running = false;
}
