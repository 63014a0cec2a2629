// The worker that fetches the list of a terminal's log files ("listlogs") and reads it into rows for the remote log window.
#pragma once

#include "foundation/ThreadBase.h"
#include "terminal/AgentClient.h"
#include "terminal/LogList.h"

#include <QString>

#include <optional>

class ThreadGetAllFileName : public ThreadProcessBar {
public:
    static constexpr int ProgressMax = 1000;

    // Created suspended; the wait window starts and frees it.
    explicit ThreadGetAllFileName(const QString& ip);

    // The collected list: its text, and what it gives the table, read by the worker that
    // collected it, so that the window's thread has only the rows to show.
    struct Result {
        QString text;
        LogList::Read list;
    };
    // The collected list; after the warning "由于网络原因获得文件名时发生错误!" the text "0"
    // (read as a list, as any other text) when nothing (or only blanks) was collected. Nothing
    // at all when the list was refused for its length: the worker has said so, and no part of it
    // may be read as a list. Used after the thread has been freed.
    static std::optional<Result> GetResult();
    static void ClearResult();

protected:
    void Init() override;
    void Run() override;
    void Cleanup() override;

private:
    void ReceiveList();
    // The whole list reply: up to and including its closing tag, or what came until the agent
    // went quiet or the stop. Throws Exception when it grows past AgentLimits::Reply.
    QByteArray ReadList();

    AgentClient client_;
};
