// Start-up of the console: the process-wide objects in their fixed order, login, message loop.
#pragma once

#include "terminal/RemoteDeviceController.h"

class TApplication;

// Every wait of the program's end is bounded: a worker stuck in a call (a database server that
// stopped answering, a relay that holds its reply) must not keep the console from ending. What is
// still in use after its wait is left to the end of the process, not freed under its user, and
// named in the console log.
namespace EndWaits {
// The workers asked to stop are waited for AgentTimings::WaitMs and this much more: a stop ends
// their waits for data at once, but a connection attempt or a send under way runs to its own
// limit (that wait, the relay's too), and then the worker closes its connection.
inline constexpr int WorkerMarginMs = 1000;
// A button contact held when the workers' wait is over is waited for this long: the longest
// shipped contact time, a release whose query and switch are each answered at the end of their
// waits, and a second to spare. A longer contact time is not waited for in full.
inline constexpr int HeldContactMs =
    RelayTimings::DefaultShutdownIntervalMs + 2 * RelayTimings::ReplyWaitMs + 1000;
// The database module's calls still under way once the workers have had their wait; a statement
// to a server that stopped answering fails only after OdbcTimings::IoTimeoutSeconds.
inline constexpr int DbCallsMs = 2000;
// The workers' wait as it applies now.
int WorkersMs();
// The longest the end waits in all (the main window's calls, the workers, a held contact, the
// database module's calls).
int LimitMs();
} // namespace EndWaits

// The program: makes the application object and runs the start-up on it. Returns 0.
int RunConsole(int argc, char** argv);

// Start-up on an existing application: main window (hidden), database module, splash, login,
// and the message loop only after a successful login. Anything that escapes is shown in the
// application's exception box. Returns 0 on every path that returns.
int RunStartup(TApplication& app);
