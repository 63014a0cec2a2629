// The worker that fetches one log file of a terminal ("getlog") into the log viewer's text control.
#pragma once

#include "foundation/ThreadBase.h"
#include "terminal/AgentClient.h"
#include "terminal/LogExcerpt.h"

#include <QByteArray>
#include <QString>
#include <functional>

class QTextEdit;

class ThreadGetLogFile : public ThreadProcessBar {
public:
    // What the viewer does with the outcome, on the user-interface thread: shown gets the part
    // of the log now in target (to say when it is only a part); failed closes the viewer.
    struct Viewer {
        std::function<void(const LogExcerpt&)> shown;
        std::function<void()> failed;
    };

    // Created suspended; the wait window starts and frees it. target is the viewer's text control
    // (not owned; it must outlive the thread; the viewer's calls are dropped once it is gone).
    // fileSize, the size in the list, is only the progress maximum (fileSize / 100).
    ThreadGetLogFile(const QString& ip, const QString& logName, QTextEdit* target, int fileSize, Viewer viewer = {});

    const QString LogName;

protected:
    void Init() override;
    void Run() override;
    void Cleanup() override;

private:
    void ReceiveLog();
    // Asks the log viewer to close (on the user-interface thread).
    void CloseViewer();

    QTextEdit* target_;
    Viewer viewer_;
    AgentClient client_;
    LogExcerpt data_; // a big log is kept only in the part that the viewer shows
};
