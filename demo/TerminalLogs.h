// The log files kept on a simulated terminal: GBK text with CR LF line ends, as a Windows kiosk writes them.
#pragma once

#include <QDateTime>
#include <QString>

class TerminalLogs {
public:
    static constexpr int HistoryDays = 3;      // daily service logs made for a new folder
    static constexpr int SeedLines = 48;       // lines of each of them, at most
    static constexpr int SeedSpacingSecs = 900; // from the day's start, every quarter of an hour
    static constexpr int DayStartSecs = 8 * 3600; // eight in the morning

    // The folder of one terminal; made with a few days of history when it does not exist yet,
    // so that a folder an operator has emptied stays empty until the terminal writes again.
    TerminalLogs(const QString& folder, const QString& terminalName, quint32 seed);

    const QString& Folder() const { return folder_; }
    // A line of the agent's own log (start, shutdown).
    void Agent(const QString& text);
    // A line of the day's service log, about what the kiosk did.
    void Service();

    static QString AgentFile() { return QStringLiteral("zolagent.log"); }
    static QString ServiceFile(const QDate& day);

private:
    void Append(const QString& file, const QDateTime& when, const QString& text);
    QString NextServiceText();

    QString folder_;
    QString name_;
    quint32 state_;
};
