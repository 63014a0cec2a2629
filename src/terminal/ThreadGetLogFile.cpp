// The log worker: authentication, "getlog", the raw transfer, and the text handed to the viewer.
#include "terminal/ThreadGetLogFile.h"

#include "platform/RichText.h"
#include "terminal/AgentProtocol.h"
#include "windows/FrmGetLogFile.h"

#include <QCoreApplication>
#include <QTextEdit>

ThreadGetLogFile::ThreadGetLogFile(const QString& ip, const QString& logName, QTextEdit* target, int fileSize)
    : ThreadProcessBar(QString()), LogName(logName), target_(target), client_(ip)
{
    SetPosition(0);
    SetMax(fileSize / 100);
}

void ThreadGetLogFile::CloseViewer()
{
    QObject* context = target_ ? static_cast<QObject*>(target_) : QCoreApplication::instance();
    QMetaObject::invokeMethod(context, [] {
        if (FormGetLogFile)
            FormGetLogFile->CloseForm();
    }, Qt::QueuedConnection);
}

void ThreadGetLogFile::Init()
{
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
        data_.Append(block);
        block = client_.Read();
        total += int(block.size()) / 100;
        SetPosition(total);
    }
    // A stopped transfer shows what came so far. The control belongs to the user-interface thread.
    if (target_)
        QMetaObject::invokeMethod(target_, [target = target_, data = data_] {
            RichText::Load(target, data.Bytes());
            if (auto* viewer = qobject_cast<TFormGetLogFile*>(target->window()))
                viewer->ShowPartNote(data);
        }, Qt::QueuedConnection);
}

void ThreadGetLogFile::Cleanup()
{
    client_.Cleanup();
    data_.Clear();
}
