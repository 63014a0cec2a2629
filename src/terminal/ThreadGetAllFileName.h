// The worker that fetches the list of a terminal's log files ("listlogs") into one text for the remote log window.
#pragma once

#include "foundation/ThreadBase.h"
#include "terminal/AgentClient.h"

#include <QString>

class ThreadGetAllFileName : public ThreadProcessBar {
public:
    static constexpr int ProgressMax = 1000;

    // Created suspended; the wait window starts and frees it.
    explicit ThreadGetAllFileName(const QString& ip);

    // The collected list text; after the warning "由于网络原因获得文件名时发生错误!" the text
    // "0" when nothing (or only blanks) was collected. Used after the thread has been freed.
    static QString GetResult();
    static void ClearResult();

protected:
    void Init() override;
    void Run() override;
    void Cleanup() override;

private:
    void ReceiveList();

    AgentClient client_;
};
