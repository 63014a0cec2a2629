// Agent replies read on a thread of their own: a window's batch of messages parsed there, its effects handed back queued.
#pragma once

#include <QStringList>

#include <exception>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class QObject;

// A reply under the size limit still takes the parser a good part of a second to read, and turning
// it into rows as long again; on the window's thread that would hold up the whole console at every
// refresh. Here a batch of messages is read on a thread of its own: the reader turns each into the
// effect it has on the window (made from the message alone, touching no widget), and the effects
// go back to the window's thread in order. One batch at a time: while one is in hand the window
// reads nothing more from its connection, so a flood is held back by the system, not queued here.
class ReplyParsing {
public:
    // What one message does to the window; runs on the window's thread.
    using Effect = std::function<void()>;
    // Reads one message on the worker thread; throws when it cannot be read.
    using Reader = std::function<Effect(const QString&)>;
    // On the window's thread: the effects of the batch's messages in order, up to the first one
    // that could not be read, and that one's error (none when all were read).
    using Done = std::function<void(std::vector<Effect>, std::exception_ptr)>;

    // window must live on the user-interface thread and outlive this object.
    ReplyParsing(QObject* window, Reader reader, Done done);
    // Stops, and waits for the message in hand (one parse of a reply under the limit).
    ~ReplyParsing();
    ReplyParsing(const ReplyParsing&) = delete;
    ReplyParsing& operator=(const ReplyParsing&) = delete;

    // A batch is in hand: done has not yet run for it.
    bool Busy() const;
    // Reads messages on a thread of its own; only when not Busy.
    void Parse(QStringList messages);
    // From now on nothing reaches the window, not even a batch already read; the rest of the
    // batch in hand is not read.
    void Stop();

private:
    struct Shared;

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};
