// The scripted answerer for message boxes and file dialogs.
#include "support/ScriptedAnswerer.h"

ScriptedAnswerer::ScriptedAnswerer()
{
    MessageBoxes::SetAnswerer([this](const MessageRequest& r) { return OnBox(r); });
    MessageBoxes::SetFileAnswerer([this](const FileDialogRequest& r) { return OnFile(r); });
}

ScriptedAnswerer::~ScriptedAnswerer()
{
    MessageBoxes::SetAnswerer({});
    MessageBoxes::SetFileAnswerer({});
}

void ScriptedAnswerer::Answer(MsgResult result)
{
    std::lock_guard<std::mutex> guard(lock_);
    answers_.push_back(result);
}

void ScriptedAnswerer::AnswerFile(const QString& path)
{
    std::lock_guard<std::mutex> guard(lock_);
    files_.push_back(path);
}

std::vector<MessageRequest> ScriptedAnswerer::Requests() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
}

std::vector<FileDialogRequest> ScriptedAnswerer::FileRequests() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return fileRequests_;
}

int ScriptedAnswerer::Count() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return int(requests_.size());
}

MessageRequest ScriptedAnswerer::Last() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return requests_.empty() ? MessageRequest() : requests_.back();
}

void ScriptedAnswerer::Clear()
{
    std::lock_guard<std::mutex> guard(lock_);
    answers_.clear();
    files_.clear();
    requests_.clear();
    fileRequests_.clear();
}

MsgResult ScriptedAnswerer::OnBox(const MessageRequest& request)
{
    std::lock_guard<std::mutex> guard(lock_);
    requests_.push_back(request);
    if (answers_.empty())
        return MsgResult::Ok;
    const MsgResult result = answers_.front();
    answers_.pop_front();
    return result;
}

QString ScriptedAnswerer::OnFile(const FileDialogRequest& request)
{
    std::lock_guard<std::mutex> guard(lock_);
    fileRequests_.push_back(request);
    if (files_.empty())
        return QString();
    const QString path = files_.front();
    files_.pop_front();
    return path;
}
