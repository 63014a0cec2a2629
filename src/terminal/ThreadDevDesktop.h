// The desktop picture worker: one agent connection for its whole life, a picture per cycle to the desktop window.
#pragma once

#include "foundation/ThreadBase.h"
#include "terminal/AgentClient.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class QObject;

// What receives the pictures, on the user-interface thread.
class DesktopTarget {
public:
    virtual ~DesktopTarget() = default;
    // A new picture, decoded, with the bytes that the agent sent for it.
    virtual void ShowPicture(const QImage& picture, const QByteArray& jpeg) = 0;
    // The thread has given up (a failed set-up, a run error, a rejected key).
    virtual void CloseForm() = 0;
};

// Shared by the desktop window and its picture thread, so that neither outlives what the other
// still uses: the window may be destroyed while the thread sits in a wait, and the thread may
// end and free itself while the window is still open.
class DesktopLink : public std::enable_shared_from_this<DesktopLink> {
public:
    // window is the QObject that target is (it must live on the user-interface thread).
    DesktopLink(QObject* window, DesktopTarget* target) : window_(window), target_(target) {}

    bool Running() const { return running_; }
    // Clears Running; call it on the user-interface thread before the window goes. Once it has
    // returned nothing more reaches the window, not even what was handed over before.
    void Stop();
    // Runs fn with the target on the user-interface thread, unless Running is cleared first.
    void Post(std::function<void(DesktopTarget&)> fn);

private:
    std::mutex lock_; // held while a hand-over is queued, so Stop cannot come in between
    QObject* window_;
    DesktopTarget* target_;
    std::atomic<bool> running_{true};
};

class ThreadDevDesktop : public ThreadBase {
public:
    static constexpr int DefaultIntervalMs = 5000; // in place of an interval of 0
    static constexpr int FirstReadTries = 4;       // reads that may come back empty after "desk"

    // Frees itself when it ends: after Resume the caller must not touch the object, only link.
    ThreadDevDesktop(const QString& ip, std::shared_ptr<DesktopLink> link, int intervalMs);
    ~ThreadDevDesktop() override;

    // Threads alive (created and not yet freed), for tests and the benchmark.
    static int LiveCount();

    // The picture's bytes within what came after "desk": a reply document at the front (the
    // answer to the second authentication line) is not part of it. -1 while such a document
    // has not yet arrived whole.
    static qsizetype PictureStart(const QByteArray& data);

    // PictureStart for bytes that arrive in reads: each byte is looked at once.
    class PictureFront {
    public:
        // data must hold everything fed before, unchanged, and may have grown.
        qsizetype Feed(const QByteArray& data);

    private:
        enum class State { Leading, Document, After };
        State state_ = State::Leading;
        qsizetype pos_ = 0; // next byte to look at
    };

    const int Interval;

protected:
    void Init() override;
    void Run() override;
    void Cleanup() override;

private:
    // One cycle after the authentication lines; false when the key was rejected.
    bool ReceiveDesktop();
    // The picture's bytes after "desk", at most AgentLimits::Picture of them.
    QByteArray ReceivePicture();
    // Sleeps the interval, or less when the window closes or a stop is requested meanwhile.
    void Pause();
    void CloseForm();

    std::shared_ptr<DesktopLink> link_;
    AgentClient client_;
};
