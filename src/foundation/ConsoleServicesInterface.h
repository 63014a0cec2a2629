// What the units below the console use of the main window: settings reads, console log lines,
// operator boxes and the device-state update. The main window implements it.
#pragma once

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

namespace Services {
// The main window while it lives, else null: set by the main window itself. The console keeps its
// own typed pointer of the same name; the units below it see this one (foundation/ConsoleServices.h).
extern ConsoleServices* MainForm;
} // namespace Services
