// Log files of a simulated terminal: made with some history, then written as the terminal works.
#include "TerminalLogs.h"

#include "platform/GbkCodec.h"

#include <QDir>
#include <QFile>

namespace {

const char* const ServiceTexts[] = {
    "读卡器自检通过",
    "用户刷卡登录，查询业务 1 次",
    "打印凭条 1 张",
    "自助缴费成功，金额 35.00 元",
    "与业务服务器同步时间",
    "广告画面更新完成",
    "用户会话超时，返回首页",
    "打印机纸量不足，请及时补充",
    "心跳正常，网络延迟 3 ms",
    "预约办理成功，凭条已打印",
};

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

} // namespace

TerminalLogs::TerminalLogs(const QString& folder, const QString& terminalName, quint32 seed)
    : folder_(folder), name_(terminalName), state_(seed | 1)
{
    if (QDir(folder_).exists())
        return;
    QDir().mkpath(folder_);
    const QDateTime now = QDateTime::currentDateTime();
    for (int day = HistoryDays - 1; day >= 0; --day) {
        QDateTime start = now.addDays(-day).date().startOfDay().addSecs(DayStartSecs);
        // Before the day's usual start the terminal has run since midnight; the history never
        // reaches past the moment it is written, and today has its service log whatever the hour.
        if (start > now)
            start = now.date().startOfDay();
        Append(AgentFile(), start, QStringLiteral("系统启动，终端代理服务开始运行"));
        for (int line = 0; line < SeedLines; ++line) {
            QDateTime when = start.addSecs(line * SeedSpacingSecs + int(state_ % SeedSpacingSecs));
            if (when > now && line > 0)
                break;
            when = qMin(when, now);
            Append(ServiceFile(when.date()), when, NextServiceText());
        }
    }
}

QString TerminalLogs::ServiceFile(const QDate& day)
{
    return QStringLiteral("kiosk-") + day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".log");
}

void TerminalLogs::Agent(const QString& text)
{
    Append(AgentFile(), QDateTime::currentDateTime(), text);
}

void TerminalLogs::Service()
{
    const QDateTime now = QDateTime::currentDateTime();
    Append(ServiceFile(now.date()), now, NextServiceText());
}

void TerminalLogs::Append(const QString& file, const QDateTime& when, const QString& text)
{
    QDir().mkpath(folder_);
    QFile f(QDir(folder_).filePath(file));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return; // a log that cannot be written costs the demo nothing
    f.write(Gbk::Encode(when.toString(TimeFormat) + QStringLiteral(" [") + name_ + QStringLiteral("] ") + text +
                        QStringLiteral("\r\n")));
    f.flush();
    f.setFileTime(when, QFileDevice::FileModificationTime); // the history as if written then
}

QString TerminalLogs::NextServiceText()
{
    // A small generator of its own: the same terminal tells the same story from run to run.
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return QString::fromUtf8(ServiceTexts[state_ % std::size(ServiceTexts)]);
}
