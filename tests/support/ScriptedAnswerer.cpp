// The scripted answerer for message boxes and file dialogs.
#include "support/ScriptedAnswerer.h"

#include <QApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

ScriptedAnswerer::ScriptedAnswerer()
{
    MessageBoxes::SetAnswerer([this](const MessageRequest& r) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            requests_.push_back(r);
        }
        if (holdMs_ > 0 && qApp && QThread::currentThread() == qApp->thread()) {
            ++holding_;
            QEventLoop open;
            QTimer::singleShot(holdMs_.load(), &open, &QEventLoop::quit);
            open.exec();
            --holding_;
        }
        std::lock_guard<std::mutex> guard(lock_);
        if (answers_.empty())
            return MsgResult::Ok;
        const MsgResult result = answers_.front();
        answers_.pop_front();
        return result;
    });
    MessageBoxes::SetFileAnswerer([](const FileDialogRequest&) { return QString(); });
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

std::vector<MessageRequest> ScriptedAnswerer::Requests() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
}

MessageRequest ScriptedAnswerer::Last() const
{
    const auto all = Requests();
    return all.empty() ? MessageRequest() : all.back();
}

QString Describe(const MessageRequest& r)
{
    return QString("%1|%2|%3|%4").arg(r.caption, r.text).arg(int(r.icon)).arg(int(r.buttons));
}
