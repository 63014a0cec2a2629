// The log-save worker: authentication, "getlog", and every byte of the file written as it came.
#include "terminal/ThreadSaveFile.h"

#include "terminal/AgentProtocol.h"

#include <QDir>
#include <QFile>

ThreadSaveLogFile::ThreadSaveLogFile(const QString& ip, const QString& logName, const QString& localPath,
                                     int fileSize)
    : ThreadProcessBar(QString()), LogName(logName), LocalPath(localPath), client_(ip)
{
    SetPosition(0);
    SetMax(fileSize / 100);
}

void ThreadSaveLogFile::Init()
{
    client_.StopWhen([this] { return bool(StopRequested); });
    client_.Open();
}

void ThreadSaveLogFile::Run()
{
    client_.Run(1, [this] { ReceiveLog(); });
}

void ThreadSaveLogFile::ReceiveLog()
{
    if (!client_.AwaitReply()) {
        client_.KeyRejected();
        return;
    }
    // Opened only once the key is accepted, so a refused or silent agent leaves an existing file
    // as it was; a file that cannot be made is reported before anything is asked of the agent.
    // The bytes go to the file unchanged: a log with CR LF keeps them as they are.
    QFile file(LocalPath);
    // Unbuffered: what has come is on disk, also when the save is stopped.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        ShowWarning(QStringLiteral("无法创建本地文件：") + QDir::toNativeSeparators(LocalPath));
        return;
    }
    client_.SendLine(AgentProtocol::CmdGetLog + QLatin1Char(',') + LogName);
    int total = 0;
    QByteArray block = client_.Read();
    while (!block.isEmpty() && !StopRequested) {
        if (file.write(block) != block.size()) {
            ShowWarning(QStringLiteral("写入本地文件失败：") + QDir::toNativeSeparators(LocalPath));
            return;
        }
        total += int(block.size()) / 100;
        SetPosition(total);
        block = client_.Read();
    }
    file.close();
}

void ThreadSaveLogFile::Cleanup()
{
    if (!client_.Cleanup())
        ShowWarning(QStringLiteral("Socket关闭出现错误！"));
}
