// The worker that fetches one log file of a terminal ("getlog") into the log viewer's text control.
#pragma once

#include "foundation/ThreadBase.h"
#include "terminal/AgentClient.h"
#include "terminal/LogExcerpt.h"

#include <QByteArray>
#include <QString>

class QTextEdit;

class ThreadGetLogFile : public ThreadProcessBar {
public:
    // Created suspended; the wait window starts and frees it. target is the viewer's text control
    // (not owned; it must outlive the thread). fileSize, the size in the list, is only the
    // progress maximum (fileSize / 100).
    ThreadGetLogFile(const QString& ip, const QString& logName, QTextEdit* target, int fileSize);

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
    AgentClient client_;
    LogExcerpt data_; // a big log is kept only in the part that the viewer shows
};
