// What the units below the console use of the main window: settings reads, console log lines,
// operator boxes and the device-state update. The main window implements it.
#pragma once

#include <QString>
#include <mutex>

class ConsoleServices {
public:
    // ---- settings (section "system" of conf.ini)
    virtual QString IniReadString(const QString& key) = 0;
    virtual int IniReadInteger(const QString& key, int def) = 0;
    virtual QString IniReadStringDef(const QString& key, const QString& def) = 0;

    // ---- console log (any thread)
    virtual void LogDebug(const QString& msg) = 0;
    virtual void LogInfo(const QString& msg) = 0;
    virtual void LogWarning(const QString& msg) = 0;
    virtual void LogError(const QString& msg) = 0;

    // ---- operator boxes (any thread; a worker waits for the answer)
    virtual void ShowWarning(const QString& msg) = 0;
    virtual void ShowError(const QString& msg) = 0; // then brings the console page to the front

    // ---- terminal id moves to the group of its new state in the device tree (any thread)
    virtual void UpdateDevNetState(int id, const QString& state) = 0;

protected:
    ~ConsoleServices() = default; // never deleted through this view
};

// What the units below the console reach while no window is there: settings read as their
// defaults; log lines, boxes and state moves dropped.
class QuietServices : public ConsoleServices {
public:
    QString IniReadString(const QString&) override { return QString(); }
    int IniReadInteger(const QString&, int def) override { return def; }
    QString IniReadStringDef(const QString&, const QString& def) override { return def; }
    void LogDebug(const QString&) override {}
    void LogInfo(const QString&) override {}
    void LogWarning(const QString&) override {}
    void LogError(const QString&) override {}
    void ShowWarning(const QString&) override {}
    void ShowError(const QString&) override {}
    void UpdateDevNetState(int, const QString&) override {}
};

namespace Services {

// The main window as the units below the console reach it, from any thread. Workers may outlive
// the window, so a call through -> is counted for its whole length (to the end of the statement),
// and the window waits for the calls under way before it goes. Once the window has begun to go, a
// call reaches a quiet stand-in (QuietServices) instead. Testing the window and calling it are
// thus one step, and
// MainForm->LogWarning(...) never reaches a window that is being destroyed.
class MainFormHandle {
public:
    // One call under way; counted until it is destroyed at the end of the caller's statement.
    class Call {
    public:
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;
        ConsoleServices* operator->() const { return target_; }

    private:
        friend class MainFormHandle;
        Call(ConsoleServices* target, const MainFormHandle* counted) : target_(target), counted_(counted) {}
        ConsoleServices* target_;
        const MainFormHandle* counted_; // null for the stand-in
    };

    constexpr MainFormHandle() = default;

    Call operator->() const;
    // True while a window is there and has not begun to go.
    explicit operator bool() const;

    // From now on calls reach window (set by the window itself once it is built).
    void Open(ConsoleServices* window);
    // Begins the end of window: calls made from now on reach the stand-in. False, and nothing
    // changes, when window is not the one open.
    bool BeginClose(const ConsoleServices* window);
    // Returns once the calls under way have ended. None of them may be waiting for the calling
    // thread then (see MessageBoxes::SetSilent for the boxes workers wait for).
    void WaitForCalls() const;

private:
    mutable std::mutex lock_;
    ConsoleServices* window_ = nullptr;
    mutable int calls_ = 0; // calls under way into window_
};

// A worker that outlives the end of the program may still call in while static objects are being
// destroyed; the handle has nothing to destroy, so that never reaches a destroyed object.
extern constinit MainFormHandle MainForm;

} // namespace Services
