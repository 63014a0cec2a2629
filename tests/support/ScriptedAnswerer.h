// Answers message boxes and file dialogs without windows, recording every box asked for (any thread).
#pragma once

#include "platform/MessageBoxes.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <vector>

// Installed for its lifetime: boxes answer from a queue (Ok when empty), file dialogs are cancelled.
class ScriptedAnswerer {
public:
    ScriptedAnswerer();
    ~ScriptedAnswerer();
    ScriptedAnswerer(const ScriptedAnswerer&) = delete;
    ScriptedAnswerer& operator=(const ScriptedAnswerer&) = delete;

    void Answer(MsgResult result); // queued for the next box
    std::vector<MessageRequest> Requests() const;
    int Count() const { return int(Requests().size()); }
    MessageRequest Last() const; // an empty request when none was made
    // Each box asked for on the user-interface thread stays open for ms, its message loop
    // running, as an operator takes time to read it (0, the default: answered at once).
    void HoldOpen(int ms) { holdMs_ = ms; }
    bool Holding() const { return holding_ > 0; }

private:
    mutable std::mutex lock_;
    std::deque<MsgResult> answers_;
    std::vector<MessageRequest> requests_;
    std::atomic<int> holdMs_{0};
    std::atomic<int> holding_{0};
};

// "caption|text|icon|buttons", to compare a whole request in one check.
QString Describe(const MessageRequest& r);
