// The process-wide live values (log level, time-out, login flag, current operator) and the lookup of
// the integer settings.
#include "foundation/Consts.h"

std::atomic<int> LogLevel{Consts::InitialLogLevel};
std::atomic<int> TimeOut{Consts::InitialTimeOut};
std::atomic<bool> LoggedIn{false};
UserBean* CurrentUser = nullptr;

const Consts::IntSetting* Consts::FindIntSetting(const QString& key)
{
    for (const IntSetting* setting : {&SettingTimeOut, &SettingLogLevel, &SettingSocketPort, &SettingStartInterval,
                                      &SettingShutdownInterval, &SettingRemoteCtrlDevPort})
        if (setting->key.compare(key, Qt::CaseInsensitive) == 0)
            return setting;
    return nullptr;
}
