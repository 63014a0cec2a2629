// The run command under test: scripts/run.sh in a private folder of its own, with a stand-in
// console that reports what it can reach and ends when the test says so.
#include "support/RunScript.h"

#include <QFile>
#include <QTest>

#include <csignal>

namespace {

// Reports its process id, the display, whether an X client gets through to it, and the output of the SQL file
// through the data source; then waits for the file that holds its exit code.
constexpr char StandInConsole[] = R"(#!/bin/sh
dir=$(dirname "$0")
{
  echo "pid=$$"
  echo "display=$DISPLAY"
  if [ -n "$DISPLAY" ] && setxkbmap -query >/dev/null 2>&1; then echo "x=ok"; else echo "x=fail"; fi
  if [ -f "$dir/console.sql" ]; then isql -b -d'|' zol zol zol < "$dir/console.sql" 2>&1; fi
} > "$dir/report.part"
mv "$dir/report.part" "$dir/report"
# A test that has gone (its folder with it) leaves no console behind.
while [ ! -f "$dir/end" ] && [ -f "$0" ]; do sleep 0.05; done
code=$(cat "$dir/end" 2>/dev/null || echo 1)
rm -f "$dir/end" "$dir/report"
exit "$code"
)";

// Reports its process id and arguments, says it is ready as the real program does, and runs until
// it is told to end (or its test has gone).
constexpr char StandInDemo[] = R"(#!/bin/bash
dir=$(dirname "$0")
{ echo "pid=$$"; printf '%s\n' "$@"; } > "$dir/demo-report.part"
mv "$dir/demo-report.part" "$dir/demo-report"
echo "zoldemo: ready, 0 demo terminals"
trap 'exit 0' TERM
while [ -f "$0" ]; do sleep 0.05; done
)";

void WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

} // namespace

RunScript::RunScript()
{
    const QString standIn = dir_.filePath(QStringLiteral("console"));
    WriteFile(standIn, StandInConsole);
    QFile::setPermissions(standIn, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&process_, &QProcess::readyRead, [this] { Collect(); });
}

RunScript::~RunScript()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(EndTimeoutMs))
            process_.kill();
        process_.waitForFinished(EndTimeoutMs);
    }
    QProcess::execute(QStringLiteral("bash"),
                      {QStringLiteral(ZOL_SOURCE_DIR "/scripts/db.sh"), QStringLiteral("stop"),
                       Home() + QStringLiteral("/db")});
}

void RunScript::StartHeadless(const QStringList& args) { Start(QString(), args); }

void RunScript::StartWithDisplay(const QString& display, const QStringList& args) { Start(display, args); }

void RunScript::UseDemo()
{
    const QString standIn = dir_.filePath(QStringLiteral("demo"));
    WriteFile(standIn, StandInDemo);
    QFile::setPermissions(standIn, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    demo_ = true;
}

QString RunScript::DemoReport() const
{
    QFile report(dir_.filePath(QStringLiteral("demo-report")));
    return report.open(QIODevice::ReadOnly) ? QString::fromUtf8(report.readAll()) : QString();
}

void RunScript::Start(const QString& display, const QStringList& args)
{
    output_.clear();
    // A console ended by a signal leaves its report behind.
    QFile::remove(dir_.filePath(QStringLiteral("end")));
    QFile::remove(dir_.filePath(QStringLiteral("report")));
    QFile::remove(dir_.filePath(QStringLiteral("demo-report")));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY", "ZOL_DEMO"})
        env.remove(QString::fromLatin1(name));
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("ZOL_HOME"), Home());
    env.insert(QStringLiteral("ZOL_CONSOLE"), dir_.filePath(QStringLiteral("console")));
    if (demo_)
        env.insert(QStringLiteral("ZOL_DEMO"), dir_.filePath(QStringLiteral("demo")));
    process_.setProcessEnvironment(env);
    process_.start(QStringLiteral("bash"), QStringList{QStringLiteral(ZOL_SOURCE_DIR "/scripts/run.sh")} + args);
    process_.waitForStarted();
}

void RunScript::SetConsoleSql(const QString& sql)
{
    WriteFile(dir_.filePath(QStringLiteral("console.sql")), sql.toUtf8() + '\n');
}

QString RunScript::WaitForConsole()
{
    QFile report(dir_.filePath(QStringLiteral("report")));
    const bool ready = QTest::qWaitFor(
        [&] { return report.exists() || process_.state() == QProcess::NotRunning; }, StartTimeoutMs);
    if (!ready || !report.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(report.readAll());
}

void RunScript::EndConsole(int exitCode)
{
    WriteFile(dir_.filePath(QStringLiteral("end")), QByteArray::number(exitCode));
}

int RunScript::WaitForExit()
{
    if (!QTest::qWaitFor([this] { return process_.state() == QProcess::NotRunning; }, EndTimeoutMs))
        return -1;
    Collect();
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

void RunScript::Signal(int signal)
{
    if (process_.processId() > 0)
        ::kill(static_cast<pid_t>(process_.processId()), signal);
}

QString RunScript::Printed(const QRegularExpression& pattern) const
{
    return pattern.match(Output()).captured(1);
}

void RunScript::Collect() { output_ += process_.readAll(); }
