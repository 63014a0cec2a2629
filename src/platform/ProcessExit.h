// The end of the process at once (no database at start-up, third failed login), replaceable by tests.
#pragma once

#include <functional>

// Ends the process with the given exit code. Never returns: a test handler must throw.
[[noreturn]] void ExitProcess(int code);

// Tests install a handler that throws instead of ending the process; empty restores the default.
void SetProcessExitHandler(std::function<void(int code)> handler);
