// Shared by the agent tests: the console with short agent waits, a fake agent in the settings, boxes, leftovers.
#pragma once

#include "console/DevTestSupport.h"
#include "peers/FakeAgent.h"
#include "platform/GbkCodec.h"
#include "support/ScriptedAnswerer.h"
#include "support/When.h"
#include "terminal/AgentProtocol.h"
#include "terminal/RemoteDeviceController.h"
#include "terminal/ThreadDevDesktop.h"
#include "windows/FrmWait.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <unistd.h>

namespace AgentTestSupport {

inline constexpr int WaitDivisor = 10; // the 6000 ms waits of the blocking clients become 600 ms
inline constexpr int Patience = 20000; // upper bound for anything a test waits for

inline int QuietMs() { return AgentTimings::Scaled(AgentTimings::WaitMs); }

// The console with its database; the blocking clients' waits shortened.
inline void SetUpConsole()
{
    ConsoleDb::SetUp();
    RelayTimings::SetForTest(WaitDivisor);
}

// The settings name agent's port (one port for every terminal) and the default key.
inline void UseAgent(const FakeAgent& agent)
{
    MainForm->IniWriteInteger(AgentProtocol::KeyPort, agent.Port());
    MainForm->IniWriteString(AgentProtocol::KeyAuth, AgentProtocol::DefaultKey);
}

// "caption|text" of every box asked for.
inline QStringList Boxes(const ScriptedAnswerer& answers)
{
    QStringList boxes;
    for (const MessageRequest& box : answers.Requests())
        boxes << box.caption + '|' + box.text;
    return boxes;
}

inline QString Warning(const QString& text) { return QStringLiteral("警告|") + text; }

// Every connection to agent has gone, with every line sent on it recorded.
inline bool Settled(const FakeAgent& agent)
{
    return QTest::qWaitFor([&] { return agent.OpenConnections() == 0; }, Patience);
}

inline bool NoDesktopThreadLeft()
{
    return QTest::qWaitFor([] { return ThreadDevDesktop::LiveCount() == 0; }, Patience);
}

// A folder of log files: name -> content.
inline void WriteFiles(const QTemporaryDir& dir, const std::vector<std::pair<QString, QByteArray>>& files)
{
    for (const auto& [name, content] : files) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            ADD_FAILURE() << "cannot write " << name.toStdString();
    }
}

inline QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Shows dialog modally; during runs inside its modal run (it may wait for conditions, and may
// close the window). The window is closed anyway after twice the patience; false then.
inline bool RunModal(QDialog& dialog, const std::function<void()>& during = {})
{
    bool overdue = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &dialog, [&] {
        overdue = true;
        dialog.close();
    });
    guard.start(2 * Patience);
    QTimer::singleShot(0, &dialog, [&] {
        if (during)
            during();
    });
    dialog.exec();
    return !overdue;
}

// Runs action once cond holds, looking from the message loop every few milliseconds without
// ever blocking it, so that modal windows opened above the caller can run and end. Gives up,
// with a failure, after the patience.
inline void WhenReady(const std::function<bool()>& cond, const std::function<void()>& action)
{
    QElapsedTimer clock;
    clock.start();
    const auto ready = std::make_shared<bool>(false);
    When([=] {
        *ready = cond();
        return *ready || clock.hasExpired(Patience);
    }, [=] {
        if (*ready)
            action();
        else
            ADD_FAILURE() << "not ready in time";
    });
}

// Sets the blocking clients' waits for one test and restores the short ones after it.
class WaitsFor {
public:
    explicit WaitsFor(int divisor) { RelayTimings::SetForTest(divisor); }
    ~WaitsFor() { RelayTimings::SetForTest(WaitDivisor); }
};

// AddressSanitizer holds freed memory back in quarantine, so there resident memory says nothing
// about what the console keeps: memory bounds hold in the plain build only.
#ifdef __SANITIZE_ADDRESS__
inline constexpr bool MemoryMeasurable = false;
#else
inline constexpr bool MemoryMeasurable = true;
#endif

// Watches the message loop while a window takes a hostile reply: the longest time between two
// ticks of a short timer (how long the console stopped answering), and the most memory the
// process held above what it held when the watch began.
class LoopWatch {
public:
    static constexpr int TickMs = 10;

    LoopWatch() : base_(Resident())
    {
        since_.start();
        QObject::connect(&tick_, &QTimer::timeout, &tick_, [this] {
            longest_ = std::max(longest_, since_.restart());
            growth_ = std::max(growth_, Resident() - base_);
        });
        tick_.start(TickMs);
    }
    // Up to now: a stall still going on counts too.
    qint64 LongestStallMs() const { return std::max(longest_, since_.elapsed()); }
    // The most memory held above the start, in MiB; 0 where it cannot be measured.
    qint64 GrowthMiB() const
    {
        return MemoryMeasurable ? std::max(growth_, Resident() - base_) / (1024 * 1024) : 0;
    }

    // Bytes resident now.
    static qint64 Resident()
    {
        QFile statm(QStringLiteral("/proc/self/statm"));
        if (!statm.open(QIODevice::ReadOnly))
            return 0;
        const QList<QByteArray> fields = statm.readAll().split(' ');
        return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
    }

private:
    const qint64 base_;
    QTimer tick_;
    QElapsedTimer since_;
    qint64 longest_ = 0;
    qint64 growth_ = 0;
};

// The longest main-thread stall from the moment the next wait window goes: what its opener does
// with the worker's result, and the layout and painting that follow. (The wait window's own pause
// before it closes is no part of it.)
class AfterWaitWindow {
public:
    AfterWaitWindow()
    {
        QObject::connect(&look_, &QTimer::timeout, &look_, [this] {
            auto* wait = qobject_cast<TFormWait*>(QApplication::activeModalWidget());
            if (!wait || hooked_)
                return;
            hooked_ = true;
            QObject::connect(wait, &QObject::destroyed, &look_, [this] { watch_ = std::make_unique<LoopWatch>(); });
        });
        look_.start(LoopWatch::TickMs);
    }
    bool Gone() const { return watch_ != nullptr; }
    qint64 LongestStallMs() const { return watch_ ? watch_->LongestStallMs() : -1; }

private:
    QTimer look_;
    bool hooked_ = false;
    std::unique_ptr<LoopWatch> watch_;
};

// How long the parse of reply takes here and now: the least of three, so that a moment's load
// does not make it look long.
inline qint64 ParseMs(const QByteArray& reply)
{
    const QString text = Gbk::Decode(reply);
    qint64 least = std::numeric_limits<qint64>::max();
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer clock;
        clock.start();
        AgentProtocol::ParseReply(text);
        least = std::min(least, clock.elapsed());
    }
    return least;
}

// A reply document nesting its elements levels deep: "<client cmd=...><a><a>...</a></a></client>".
inline QByteArray DeepDocument(const QString& command, int levels)
{
    return "<client cmd=\"" + command.toLatin1() + "\">" + QByteArray("<a>").repeated(levels) +
           QByteArray("</a>").repeated(levels) + "</client>";
}

// Replies to "process" that a terminal may send, each just under the limit of a reply, that keep
// the parser and the table longest: many rows, many attributes on each, many elements.
struct BigReply {
    const char* what;
    QByteArray bytes;
    int rows = 0; // a list's rows in the table
};
inline std::vector<BigReply> BigProcessReplies()
{
    const auto reply = [](const QString& element, int count) {
        QString body;
        for (int i = 0; i < count; ++i)
            body += element.contains(QLatin1String("%1")) ? element.arg(i) : element;
        return FakeAgent::Document(QStringLiteral("process"), QStringLiteral("<processes>") + body +
                                                                  QStringLiteral("</processes>"));
    };
    QString attributes = QStringLiteral("<p id=\"%1\" name=\"p%1.exe\" cpuUsing=\"1\"");
    for (int a = 3; a < AgentProtocol::MaxReplyAttributes; ++a)
        attributes += QStringLiteral(" a%1=\"%2\"").arg(a).arg(a * 7);
    attributes += QStringLiteral("/>");
    const QString row = QStringLiteral("<p id=\"%1\" name=\"p%1.exe\" cpuUsing=\"1\"/>");
    return {{"20,000 processes", reply(row, 20000)},
            {"16 attributes on each element", reply(attributes, 6300)},
            {"255,000 empty elements", reply(QStringLiteral("<a/>"), 255000)}};
}

// Replies to "listlogs" as full as the limit of a reply allows: many files, many attributes on
// each, many elements without any (whose first ends the list with its box), many files with a
// size only. Each entry is element with %1 its number.
inline std::vector<BigReply> BigListReplies()
{
    const auto reply = [](const char* what, const QString& element, bool sized = true) {
        const QString head = QStringLiteral("<logs>");
        const QString tail = QStringLiteral("</logs>");
        const qsizetype room = AgentLimits::Reply - FakeAgent::Document(QStringLiteral("listlogs"), head + tail).size();
        QString body;
        int entries = 0;
        for (;; ++entries) {
            const QString entry = element.contains(QLatin1String("%1")) ? element.arg(entries) : element;
            if (body.size() + entry.size() > room)
                break;
            body += entry;
        }
        return BigReply{what, FakeAgent::Document(QStringLiteral("listlogs"), head + body + tail), sized ? entries : 0};
    };
    QString attributes = QStringLiteral("<log name=\"%1.log\" size=\"%1\" modifiedTime=\"2026-01-01 08:00:00\"");
    for (int a = 3; a < AgentProtocol::MaxReplyAttributes; ++a)
        attributes += QStringLiteral(" a%1=\"%2\"").arg(a).arg(a * 7);
    attributes += QStringLiteral("/>");
    return {reply("13,000 log files", QStringLiteral("<log name=\"2026-01-01-%1.log\" size=\"%1\" "
                                                     "modifiedTime=\"2026-01-01 08:00:00\"/>")),
            reply("16 attributes on each entry", attributes),
            reply("empty elements", QStringLiteral("<a/>"), false),
            reply("files with a size only", QStringLiteral("<l size=\"1\"/>"))};
}

} // namespace AgentTestSupport
