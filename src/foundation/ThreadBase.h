// Worker threads: a fixed Init/Run/Cleanup body with uniform error logging, and a progress variant.
#pragma once

#include <QString>
#include <atomic>
#include <mutex>
#include <thread>

class ThreadBase {
public:
    // Created suspended: nothing runs until Resume.
    explicit ThreadBase(const QString& name);
    // Waits for the body to return when it was started and has not yet returned.
    virtual ~ThreadBase();
    ThreadBase(const ThreadBase&) = delete;
    ThreadBase& operator=(const ThreadBase&) = delete;

    // Starts the body once. With free-on-end on, the object deletes itself when the body ends,
    // and the caller must not touch it after Resume.
    void Resume();
    void SetFreeOnTerminate(bool on) { freeOnTerminate_ = on; }
    // Waits until the body has returned (never for a self-freeing thread).
    void WaitFor();

    // Sets StopRequested; does not wait and interrupts nothing. Run polls the flag.
    void Stop() { StopRequested = true; }

    // The end of the program: asks every worker that has been resumed and has not ended to stop,
    // then waits until none is left or waitMs have passed. True when none is left. A worker that
    // runs to its end regardless (a relay operation) may outlast the wait.
    static bool StopAllAndWait(int waitMs);
    // Workers resumed whose body has not yet ended (a self-freeing one: not yet freed).
    static int RunningCount();

    std::atomic<bool> Error{false};
    QString Name;
    std::atomic<bool> Finished{false};
    std::atomic<bool> StopRequested{false};

protected:
    virtual void Run() = 0;
    virtual void Init() {}
    virtual void Cleanup() {}

    void LogError(const QString& msg);
    // Boxes with captions "警告" and "错误"; they block only this worker.
    void ShowWarning(const QString& msg);
    void ShowError(const QString& msg);

private:
    void Execute();
    void DoTerminate();
    void Body();

    std::thread thread_;
    // Held by Resume while it stores thread_: the body waits for it, so a self-freeing thread
    // cannot delete itself before its handle has been stored.
    std::mutex startLock_;
    bool started_ = false;
    bool freeOnTerminate_ = false;
};

class ThreadProcessBar : public ThreadBase {
public:
    explicit ThreadProcessBar(const QString& name) : ThreadBase(name) {}

    void SetMax(int v) { Max = v < 1 ? 100 : v; }
    void SetPosition(int v) { Position = v < 0 ? 0 : v; }
    int GetMax() const { return Max; }
    int GetPosition() const { return Position; }

    std::atomic<int> Max{100};
    std::atomic<int> Position{0};
};
