// Start-up of the console: the process-wide objects in their fixed order, login, message loop.
#pragma once

class TApplication;

// The program: makes the application object and runs the start-up on it. Returns 0.
int RunConsole(int argc, char** argv);

// Start-up on an existing application: main window (hidden), database module, splash, login,
// and the message loop only after a successful login. Anything that escapes is shown in the
// application's exception box. Returns 0 on every path that returns.
int RunStartup(TApplication& app);
