// Status words, probe states, log levels, settings key names and ranges, and the process-wide live values.
#pragma once

#include <QString>
#include <atomic>
#include <climits>

class UserBean;

namespace Consts {
inline constexpr int ProbePending = 0;
inline constexpr int ProbeReachable = 1;
inline constexpr int ProbeUnreachable = 2;
inline constexpr int ProbeTimedOut = 3;

inline const QString StatusDown = QStringLiteral("down");
inline const QString StatusUp = QStringLiteral("up");
inline const QString StatusError = QStringLiteral("error");
inline const QString StatusPowerOff = QStringLiteral("poweroff");

inline constexpr int LevelDebug = 1;
inline constexpr int LevelInfo = 2;
inline constexpr int LevelWarning = 3;
inline constexpr int LevelError = 4;

inline const QString SectionSystem = QStringLiteral("system");
inline const QString KeyRemoteCtrlStartInterval = QStringLiteral("RemoteCtrlStartInterval");
inline const QString KeyRemoteCtrlShutdownInterval = QStringLiteral("RemoteCtrlShutdownInterval");
inline const QString KeyRemoteCtrlDevPort = QStringLiteral("RemoteCtrlDevPort");

// An integer setting of conf.ini: its default and the values the settings dialog accepts. A value
// outside them, edited into the file by hand, is read as the default.
struct IntSetting {
    QString key;
    int def;
    int min;
    int max;
    bool Accepts(int value) const { return value >= min && value <= max; }
};
inline const IntSetting SettingTimeOut{QStringLiteral("TimeOut"), 1000, 100, 10000};
inline const IntSetting SettingLogLevel{QStringLiteral("LogLevel"), LevelInfo, LevelDebug, LevelError};
// The two ports are TCP ports: 0 and anything past 65535 name no port to connect to.
inline constexpr int FirstPort = 1;
inline constexpr int LastPort = 65535;
inline const IntSetting SettingSocketPort{QStringLiteral("SocketPort"), 9521, FirstPort, LastPort};
inline const IntSetting SettingStartInterval{KeyRemoteCtrlStartInterval, 1000, 500, INT_MAX};
inline const IntSetting SettingShutdownInterval{KeyRemoteCtrlShutdownInterval, 2000, 500, INT_MAX};
inline const IntSetting SettingRemoteCtrlDevPort{KeyRemoteCtrlDevPort, 5900, FirstPort, LastPort};
// The setting named key (without regard to case), or null for a key that is not in the table.
const IntSetting* FindIntSetting(const QString& key);

inline constexpr int InitialLogLevel = 2;
inline constexpr int InitialTimeOut = 6000;
} // namespace Consts

// Lowest level the console log writes; read by writers on every thread.
extern std::atomic<int> LogLevel;
// Milliseconds of the reachability check and of the agent windows.
extern std::atomic<int> TimeOut;
// Set by the login dialog on a successful login; read once by the entry point.
extern std::atomic<bool> LoggedIn;
// The operator who logged in; set once by the login dialog, never freed while the process runs.
extern UserBean* CurrentUser;
