// The worker that fetches one log file of a terminal ("getlog") into a local file.
#pragma once

#include "foundation/ThreadBase.h"
#include "terminal/AgentClient.h"

#include <QString>

class ThreadSaveLogFile : public ThreadProcessBar {
public:
    // Created suspended; the wait window starts and frees it. fileSize, the size in the list, is
    // only the progress maximum (fileSize / 100).
    ThreadSaveLogFile(const QString& ip, const QString& logName, const QString& localPath, int fileSize);

    const QString LogName;
    const QString LocalPath;

protected:
    void Init() override;
    void Run() override;
    void Cleanup() override;

private:
    void ReceiveLog();

    AgentClient client_;
};
