// scripts/run.sh as a child of a test, in a private folder of its own, with stand-ins for the console
// and the simulated terminals that report what they were given.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <string>

// Stands in for the console: reports the display, whether an X client gets through to it, and the
// output of console.sql through the data source; then waits for the file that holds its exit code.
inline constexpr char StandInConsole[] = R"sh(#!/bin/sh
dir=$(dirname "$0")
{
  echo "display=$DISPLAY"
  if [ -n "$DISPLAY" ] && setxkbmap -query >/dev/null 2>&1; then echo "x=ok"; else echo "x=fail"; fi
  if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then echo "wm=ok"; else echo "wm=none"; fi
  echo "screen=$(xdpyinfo 2>/dev/null | sed -n 's/^ *dimensions: *\([0-9x]*\) .*/\1/p')"
  if [ -f "$dir/console.sql" ]; then isql -b -d'|' zol < "$dir/console.sql" 2>&1; fi
} > "$dir/report.part"
mv "$dir/report.part" "$dir/report"
# A test that has gone (its folder with it) leaves no console behind.
while [ ! -f "$dir/end" ] && [ -f "$0" ]; do sleep 0.05; done
code=$(cat "$dir/end" 2>/dev/null || echo 1)
rm -f "$dir/end" "$dir/report"
exit "$code"
)sh";

// Stands in for the simulated terminals: reports its arguments, says it is ready as the real program
// does, and runs until it is told to end (or its test has gone). Once ready it forks no more (it
// waits on a pipe nobody writes, not in sleep): a forked child carries its command line until it
// runs its own program, and the run after a kill would count it as one more left behind.
inline constexpr char StandInDemo[] = R"(#!/bin/bash
dir=$(dirname "$0")
printf '%s\n' "$@" > "$dir/demo-report.part"
mv "$dir/demo-report.part" "$dir/demo-report"
rm -f "$dir/demo-wait"
mkfifo "$dir/demo-wait"
exec 3<>"$dir/demo-wait"
echo "zoldemo: ready, 0 demo terminals"
trap 'exit 0' TERM
while [ -f "$0" ]; do read -r -t 0.05 -u 3 || true; done
)";

inline QByteArray Slurp(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
}

// scripts/run.sh in a private folder of its own (ZOL_HOME), with the stand-in console and, when
// asked, the stand-in simulated terminals. A script still running is ended (TERM, as a user's kill
// would) with the object, and a database server that it left behind is stopped.
class RunScript {
public:
    static constexpr int StartTimeoutMs = 120000; // the first run installs a database server and loads the demo data
    static constexpr int EndTimeoutMs = 60000;
    static constexpr int IoTimeoutMs = 10000;

    explicit RunScript(bool withDemo)
    {
        WriteFile(Path("console"), StandInConsole);
        if (withDemo)
            WriteFile(Path("demo"), StandInDemo);
        for (const char* program : {"console", "demo"})
            QFile::setPermissions(Path(program), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        process_.setProcessChannelMode(QProcess::MergedChannels);
    }

    ~RunScript()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(EndTimeoutMs))
                process_.kill();
            process_.waitForFinished(EndTimeoutMs);
        }
        const QString dbScript = QStringLiteral(ZOL_SOURCE_DIR "/scripts/db.sh");
        QProcess::execute(QStringLiteral("bash"), {dbScript, QStringLiteral("stop"), Home() + QStringLiteral("/db")});
    }

    // Without a display the script serves the console through its VNC X server.
    void Start(const QString& display = QString(), const QStringList& args = {})
    {
        output_.clear();
        // A console ended by a signal leaves its report behind.
        for (const char* file : {"end", "report", "demo-report"})
            QFile::remove(Path(file));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY", "ZOL_DEMO"})
            env.remove(QString::fromLatin1(name));
        if (!display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("ZOL_HOME"), Home());
        env.insert(QStringLiteral("ZOL_CONSOLE"), Path("console"));
        if (QFile::exists(Path("demo")))
            env.insert(QStringLiteral("ZOL_DEMO"), Path("demo"));
        // In a sanitized build: libxkbcommon-x11 hands strndup a keymap name without a terminating
        // NUL, which the strict string checks of a sanitized console on an X server count as an overflow.
        if (env.contains(QStringLiteral("ASAN_OPTIONS")))
            env.insert(QStringLiteral("ASAN_OPTIONS"),
                       env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":strict_string_checks=0"));
        process_.setProcessEnvironment(env);
        process_.start(QStringLiteral("bash"), QStringList{QStringLiteral(ZOL_SOURCE_DIR "/scripts/run.sh")} + args);
        process_.waitForStarted();
    }

    // The console built here in place of the stand-in; a copy, so that the settings file beside it
    // is this test's.
    void UseBuiltConsole()
    {
        const QString built = QFileInfo(QStringLiteral(ZOL_DEMO_PROGRAM)).dir().filePath(QStringLiteral("../src/zolconsole"));
        QFile::remove(Path("console"));
        if (!QFile::copy(built, Path("console")))
            ADD_FAILURE() << "cannot copy " << built.toStdString();
    }

    // The titles of the windows on the script's VNC X server, as xwininfo lists them.
    QString WindowTitles()
    {
        QProcess list;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        static const QRegularExpression xDisplay(QStringLiteral(R"(private X server \((:\d+)\))"));
        env.insert(QStringLiteral("DISPLAY"), Printed(xDisplay));
        env.insert(QStringLiteral("XAUTHORITY"), Home() + QStringLiteral("/vnc/Xauthority"));
        list.setProcessEnvironment(env);
        list.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
        list.waitForFinished(IoTimeoutMs);
        return QString::fromUtf8(list.readAllStandardOutput());
    }

    // SQL that the stand-in console runs through the data source "zol" on its next start.
    void SetConsoleSql(const QString& sql) { WriteFile(Path("console.sql"), sql.toUtf8() + '\n'); }

    // The stand-in console's report once it runs ("display=", "x=ok|fail", then the output
    // of its SQL); empty when the script ended or the time ran out first.
    QString WaitForConsole()
    {
        const QString report = Path("report");
        const auto ranOrEnded = [&] { return QFile::exists(report) || process_.state() == QProcess::NotRunning; };
        // An empty report says the time ran out; the caller's checks show it.
        static_cast<void>(QTest::qWaitFor(ranOrEnded, StartTimeoutMs));
        return QString::fromUtf8(Slurp(report));
    }

    // The stand-in simulated terminals' arguments, one a line; empty when they have not run since
    // the script last started.
    QString DemoReport() const { return QString::fromUtf8(Slurp(Path("demo-report"))); }

    void EndConsole(int exitCode) { WriteFile(Path("end"), QByteArray::number(exitCode)); }

    // The script's exit code, or -1 when it did not end in time.
    int WaitForExit()
    {
        if (!QTest::qWaitFor([this] { return process_.state() == QProcess::NotRunning; }, EndTimeoutMs))
            return -1;
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }

    // How the script stands, for a failure's message: running, or how it ended.
    std::string State() const
    {
        if (process_.state() != QProcess::NotRunning)
            return "the script is running";
        if (process_.exitStatus() == QProcess::CrashExit)
            return "the script was ended by a signal";
        return "the script ended with status " + std::to_string(process_.exitCode());
    }

    // To the script alone, not to the console it started.
    void Signal(int signal) { ::kill(static_cast<pid_t>(process_.processId()), signal); }

    // What the script printed so far, decoded whole: a read may end inside a character.
    QString Output()
    {
        output_ += process_.readAll();
        return QString::fromUtf8(output_);
    }

    QString Printed(const QRegularExpression& pattern) { return pattern.match(Output()).captured(1); }
    QString Home() const { return Path("home"); }
    QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    qint64 Pid() const { return process_.processId(); }

private:
    QTemporaryDir dir_;
    QProcess process_;
    QByteArray output_;
};
