// The console log writer: lines queued under the log lock, appended to the view on the UI thread.
#include "foundation/ConsoleLog.h"

#include "foundation/Consts.h"

#include <QDateTime>
#include <QScrollBar>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QThread>

#include <cstdio>

ConsoleLog::ConsoleLog(QTextEdit* view, QObject* parent) : QObject(parent), view_(view)
{
    if (view)
        view->window()->installEventFilter(this);
}

bool ConsoleLog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide) {
        std::lock_guard<std::mutex> guard(lock_);
        windowShown_ = event->type() == QEvent::Show;
    }
    return QObject::eventFilter(watched, event);
}

QString ConsoleLog::Tag(int level)
{
    switch (level) {
    case Consts::LevelDebug: return QStringLiteral("  调试 ");
    case Consts::LevelInfo: return QStringLiteral("  信息 ");
    case Consts::LevelWarning: return QStringLiteral("  警告 ");
    case Consts::LevelError: return QStringLiteral("  错误 ");
    default: return QString();
    }
}

QString ConsoleLog::NowString()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return QString::asprintf("%d-%.2d-%.2d %.2d:%.2d:%.2d", d.year(), d.month(), d.day(), t.hour(),
                             t.minute(), t.second());
}

void ConsoleLog::Write(int level, const QString& message)
{
    const bool onUiThread = QThread::currentThread() == thread();
    bool postFlush = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (LogLevel.load() > level)
            return;
        // The time is taken under the lock, so the stamps follow the order of the lines.
        pending_.push_back({level, Tag(level) + NowString() + QStringLiteral(" : ") + message});
        if (!windowShown_) {
            const QByteArray text = pending_.back().text.toUtf8() + '\n';
            std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
        }
        if (!onUiThread && !flushPosted_) {
            flushPosted_ = true;
            postFlush = true;
        }
    }
    if (onUiThread)
        Flush();
    else if (postFlush)
        QMetaObject::invokeMethod(this, [this] { Flush(); }, Qt::QueuedConnection);
}

void ConsoleLog::Flush()
{
    // A line logged while a line is being added (by something the view does) joins the queue
    // and is added by the running loop, after the lines written before it.
    if (flushing_)
        return;
    flushing_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{flushing_};
    for (;;) {
        std::deque<Line> batch;
        {
            std::lock_guard<std::mutex> guard(lock_);
            batch.swap(pending_);
            flushPosted_ = false;
        }
        if (batch.empty())
            return;
        for (const Line& line : batch)
            Append(line);
    }
}

void ConsoleLog::Append(const Line& line)
{
    QTextEdit* view = view_;
    if (!view)
        return;
    QTextCharFormat format; // the view's own colour for debug and info lines
    if (line.level >= Consts::LevelWarning)
        format.setForeground(QColor(255, 0, 0));
    if (line.level >= Consts::LevelError)
        format.setFontWeight(QFont::Bold);

    QTextDocument* document = view->document();
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    // Plain text with a format of its own: a message is never read as markup, and a line
    // never takes over the colour of the line before it.
    if (!document->isEmpty())
        cursor.insertBlock(QTextBlockFormat(), format);
    else
        cursor.setBlockCharFormat(format);
    cursor.insertText(line.text, format);

    if (line.level <= Consts::LevelInfo) {
        QPointer<QTextEdit> target(view);
        QMetaObject::invokeMethod(
            view,
            [target] {
                if (!target)
                    return;
                QScrollBar* bar = target->verticalScrollBar();
                bar->setValue(bar->maximum());
            },
            Qt::QueuedConnection);
    }
}
