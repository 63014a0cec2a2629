// Status words, probe states, log levels, settings key names and the process-wide live values.
#pragma once

#include <QString>
#include <atomic>

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
