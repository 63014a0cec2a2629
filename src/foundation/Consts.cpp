// The process-wide live values: log level, time-out, login flag and the current operator.
#include "foundation/Consts.h"

std::atomic<int> LogLevel{Consts::InitialLogLevel};
std::atomic<int> TimeOut{Consts::InitialTimeOut};
std::atomic<bool> LoggedIn{false};
UserBean* CurrentUser = nullptr;
