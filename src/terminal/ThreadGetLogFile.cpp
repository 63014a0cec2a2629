// The log worker: authentication, "getlog", the raw transfer, and the text handed to the viewer.
#include "terminal/ThreadGetLogFile.h"

#include "foundation/ConsoleServices.h"
#include "platform/RichText.h"
#include "terminal/AgentProtocol.h"

#include <QTextDocument>
#include <QTextEdit>
#include <algorithm>
#include <cstring>

ThreadGetLogFile::ThreadGetLogFile(const QString& ip, const QString& logName, QTextEdit* target, int fileSize, Viewer viewer)
    : ThreadProcessBar(QString()), LogName(logName), target_(target), viewer_(std::move(viewer)), client_(ip)
{
    SetPosition(0);
    SetMax(fileSize / 100);
}

void ThreadGetLogFile::CloseViewer()
{
    if (target_ && viewer_.failed)
        QMetaObject::invokeMethod(target_, viewer_.failed, Qt::QueuedConnection);
}

void ThreadGetLogFile::Init()
{
    client_.StopWhen([this] { return bool(StopRequested); });
    if (!client_.Open())
        CloseViewer();
}

void ThreadGetLogFile::Run()
{
    client_.Run(1, [this] { ReceiveLog(); });
}

void ThreadGetLogFile::ReceiveLog()
{
    if (!client_.AwaitReply()) {
        client_.KeyRejected();
        return;
    }
    client_.SendLine(AgentProtocol::CmdGetLog + QLatin1Char(',') + LogName);
    // The agent marks no end of a file: the transfer ends after a quiet wait or when it closes.
    // The first block is not counted in the progress.
    int total = 0;
    QByteArray block = client_.Read();
    while (!block.isEmpty() && !StopRequested) {
        // Only the shown part is kept, but a log without end still ends: at the limit it is cut
        // and shown as far as it came, like a stopped transfer.
        const qint64 room = AgentLimits::Log - data_.Total();
        data_.Append(block.left(room));
        if (block.size() > room) {
            if (MainForm)
                MainForm->LogWarning(QStringLiteral("日志文件 %1 超过 %2 字节,其后部分已截断.").arg(LogName).arg(AgentLimits::Log));
            break;
        }
        block = client_.Read();
        total += int(block.size()) / 100;
        SetPosition(total);
    }
    // A stopped transfer shows what came so far. The text is made into a document here, so that
    // the user-interface thread, to which the control belongs, only puts it in place.
    if (!target_)
        return;
    std::unique_ptr<QTextDocument> doc = RichText::Build(data_.Bytes());
    doc->moveToThread(target_->thread());
    QMetaObject::invokeMethod(target_, [target = target_, shown = viewer_.shown, data = data_, doc = std::move(doc)]() mutable {
        RichText::Show(target, std::move(doc));
        if (shown)
            shown(data);
    }, Qt::QueuedConnection);
}

void ThreadGetLogFile::Cleanup()
{
    client_.Cleanup();
    data_.Clear();
}
