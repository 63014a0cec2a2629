// The run command under test: scripts/run.sh in a private folder of its own, with a stand-in
// console that reports what it can reach and ends when the test says so.
#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>

class RunScript {
public:
    // Generous upper bounds: the first run installs a database server and loads the demo data.
    static constexpr int StartTimeoutMs = 120000;
    static constexpr int EndTimeoutMs = 60000;

    RunScript();
    // Ends a script still running (TERM, as a user's kill would) and stops a database server
    // that it may have left behind.
    ~RunScript();

    // Starts the script with these arguments; without a display it serves the console through
    // its VNC X server.
    void StartHeadless(const QStringList& args = {});
    void StartWithDisplay(const QString& display, const QStringList& args = {});
    // The run command starts a stand-in for the simulated terminals too: it reports its process id
    // and arguments, says it is ready and runs until it is told to end.
    void UseDemo();
    // The stand-in's report ("pid=...", then one argument a line); empty when it has not run
    // since the script last started.
    QString DemoReport() const;
    // SQL that the stand-in console runs through the data source "zol" on its next start; its
    // output is in the report.
    void SetConsoleSql(const QString& sql);

    // Waits until the stand-in console runs and returns its report ("pid=...", "display=...",
    // "x=ok|fail", then the output of its SQL); empty when the script ended or the time ran out first.
    QString WaitForConsole();
    // Tells the stand-in console to end with this exit code.
    void EndConsole(int exitCode);
    // Waits for the script to end; its exit code, or -1 when it did not end in time.
    int WaitForExit();
    // Sends a signal to the script alone (not to the console it started).
    void Signal(int signal);

    // The first capture of pattern in what the script printed so far.
    QString Printed(const QRegularExpression& pattern) const;
    QString Output() const { return QString::fromUtf8(output_); }
    // The private folder (ZOL_HOME) and the script's process id while it runs.
    QString Home() const { return dir_.filePath(QStringLiteral("home")); }
    // The folder of the stand-in console, where its settings file would be.
    QString ConsoleDir() const { return dir_.path(); }
    qint64 Pid() const { return process_.processId(); }

private:
    void Start(const QString& display, const QStringList& args);
    void Collect();

    QTemporaryDir dir_;
    QProcess process_;
    QByteArray output_; // decoded when read: a read may end inside a character
    bool demo_ = false;
};
