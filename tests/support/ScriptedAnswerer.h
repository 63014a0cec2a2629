// Answers message boxes and file dialogs without windows, recording every request (any thread).
#pragma once

#include "platform/MessageBoxes.h"

#include <QString>
#include <deque>
#include <mutex>
#include <vector>

// Installed for its lifetime: message boxes answer from a queue of results (Ok when empty),
// file dialogs from a queue of paths (the empty text, i.e. cancelled, when empty).
class ScriptedAnswerer {
public:
    ScriptedAnswerer();
    ~ScriptedAnswerer();
    ScriptedAnswerer(const ScriptedAnswerer&) = delete;
    ScriptedAnswerer& operator=(const ScriptedAnswerer&) = delete;

    void Answer(MsgResult result);        // queued for the next box
    void AnswerFile(const QString& path); // queued for the next file dialog

    std::vector<MessageRequest> Requests() const;
    std::vector<FileDialogRequest> FileRequests() const;
    int Count() const;
    MessageRequest Last() const; // an empty request when none was made
    void Clear();                // forgets the requests and the queued answers

private:
    MsgResult OnBox(const MessageRequest& request);
    QString OnFile(const FileDialogRequest& request);

    mutable std::mutex lock_;
    std::deque<MsgResult> answers_;
    std::deque<QString> files_;
    std::vector<MessageRequest> requests_;
    std::vector<FileDialogRequest> fileRequests_;
};
