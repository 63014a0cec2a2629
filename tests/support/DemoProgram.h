// The simulated terminals program as a child of a test, and port numbers held free for it.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A TCP port number that no other program is given while this object lives: a socket bound to it
// on 127.0.0.1 and not listening. Peers on the other loopback addresses listen on the same number.
class HeldPort {
public:
    HeldPort(); // throws std::runtime_error when no port can be had
    ~HeldPort();
    HeldPort(const HeldPort&) = delete;
    HeldPort& operator=(const HeldPort&) = delete;
    int Number() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// build/demo/zoldemo with log folders of its own; ended (TERM, then KILL) with the object, and with
// the test process even when that dies.
class DemoProgram {
public:
    static constexpr int ReadyTimeoutMs = 60000; // generous: a sanitized build on a loaded machine
    static constexpr int EndTimeoutMs = 30000;

    DemoProgram();
    ~DemoProgram() { Stop(); }
    DemoProgram(const DemoProgram&) = delete;
    DemoProgram& operator=(const DemoProgram&) = delete;

    // Starts it with args (and its own --logs) and waits until it says it is ready; false when it
    // ended, some terminal cannot listen, or it did not get ready in time.
    bool Start(const QStringList& args);
    // Sends TERM and waits for the end; the exit code, or -1 when it did not end normally.
    int Stop()
    {
        process_.terminate();
        return WaitForExit();
    }
    // Waits for it to end by itself; the exit code, or -1 when it did not end normally in time.
    int WaitForExit();
    // What it printed so far.
    QString Output()
    {
        output_ += process_.readAll();
        return QString::fromUtf8(output_);
    }
    QString LogFolder(const QString& ip) const { return logs_.filePath(ip); }

private:
    QTemporaryDir logs_;
    QProcess process_;
    QByteArray output_;
};
