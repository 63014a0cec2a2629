// The console log: level-tagged, time-stamped lines in the console view, written from any thread;
// while no window shows the view, on the standard error output too.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <deque>
#include <mutex>

class QTextEdit;

class ConsoleLog : public QObject {
    Q_OBJECT
public:
    explicit ConsoleLog(QTextEdit* view, QObject* parent = nullptr);

    // Writes one line when LogLevel <= level. On the user-interface thread the line is in the
    // view when the call returns; a worker hands the line over and returns without waiting.
    // While the view's window is not shown (before the first show, as when the database cannot be
    // reached at start, and after the window has closed) the line also goes to standard error, so
    // that no line is lost to an operator who never sees the view.
    void Write(int level, const QString& message);

    // "  调试 ", "  信息 ", "  警告 ", "  错误 " for levels 1 to 4.
    static QString Tag(int level);

    // The local time as "%d-%.2d-%.2d %.2d:%.2d:%.2d" (year, month, day, hour, minute, second).
    static QString NowString();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override; // follows the window's showing

private:
    struct Line {
        int level;
        QString text;
    };
    void Flush(); // user-interface thread: appends every pending line in the order written
    void Append(const Line& line); // user-interface thread: one line with its colour and scroll

    QPointer<QTextEdit> view_;
    std::mutex lock_; // LogLock: serialises the writers; the order of lines is the lock order
    std::deque<Line> pending_;
    bool flushPosted_ = false; // a Flush is queued on the user-interface thread
    bool flushing_ = false;    // user-interface thread only: Flush is running
    bool windowShown_ = false; // under lock_: the view's window shows
};
