// What the units below the console use of the main window: settings reads, console log lines,
// operator boxes and the device-state update. The main window implements it.
#pragma once

#include "foundation/CountedHandle.h"

#include <QString>

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

// What a call reaches while no window is there.
ConsoleServices& QuietStandIn();

// The main window as the units below the console reach it, from any thread: a call holds the
// window's end back until it returns, and once the window has begun to go a call reaches the quiet
// stand-in, so MainForm->LogWarning(...) never reaches a window that is being destroyed.
using MainFormHandle = CountedHandle<ConsoleServices, QuietStandIn>;

extern constinit MainFormHandle MainForm;

} // namespace Services
