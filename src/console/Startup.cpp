// Start-up of the console. The main window comes first so that the settings and the console log
// exist before the database connects; the message loop runs only after a successful login.
#include "console/Startup.h"

#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "foundation/DbMod.h"
#include "foundation/PollUntil.h"
#include "foundation/ThreadBase.h"
#include "platform/Application.h"
#include "platform/ScreenFill.h"
#include "terminal/AgentProtocol.h"
#include "terminal/RemoteDeviceController.h"
#include "windows/FormBackGound.h"
#include "windows/LoginDlg.h"

#include <chrono>
#include <exception>
#include <iostream>
#include <thread>
#include <utility>
#include <vector>

namespace {

// How often the end looks whether the button contacts held have been released.
constexpr auto ContactPollInterval = std::chrono::milliseconds(10);

// The process-wide database module, as start-up made it (FormDbMod reaches it).
TFormDbMod* DbModule = nullptr;

// Frees a window held in a global and clears the global, also when an exception leaves.
template <typename T>
struct GlobalOwner {
    T*& global;
    ~GlobalOwner()
    {
        delete global;
        global = nullptr;
    }
};

void RunSteps(TApplication& app)
{
    MainForm = new TMainForm(); // hidden until the message loop shows it
    DbModule = new TFormDbMod();
    FormDbMod.Open(DbModule);

    {
        GlobalOwner<TFormBackGound> splash{FormBackGound};
        FormBackGound = new TFormBackGound();
        FormBackGound->ShowAndPaint();
        {
            GlobalOwner<TLoginDlg> login{LoginDlg};
            LoginDlg = new TLoginDlg();
            LoginDlg->exec();
        }
        FormBackGound->close();
    }

    if (LoggedIn) {
        ShowMaximised(MainForm); // the first show fills the window
        if (std::exception_ptr error = MainForm->TakeFirstShowError())
            std::rethrow_exception(error); // ends the program like any failure of start-up
        // Ask for the focus too: without a window manager nothing else would activate the window,
        // and the first activation runs the automatic check.
        MainForm->activateWindow();
        app.exec();
    }
}

// A line on what the end leaves behind: in the console log, and on the standard error stream,
// since the window that shows the log is going.
void ReportLeft(const QString& line)
{
    if (MainForm)
        MainForm->LogWarning(line);
    std::cerr << line.toLocal8Bit().constData() << std::endl;
}

// True once no button contact is held, false when some still are after EndWaits::HeldContactMs.
bool WaitForHeldContacts()
{
    return PollUntil([] { return RemoteDeviceController::HeldContacts() == 0; }, EndWaits::HeldContactMs,
                     ContactPollInterval);
}

// An object a call may still be under way in: the process ends without freeing it. Kept where a
// leak check finds it, since it is left on purpose.
void LeaveToTheEnd(const void* object)
{
    static std::vector<const void*>* const left = new std::vector<const void*>;
    left->push_back(object);
}

// Workers left by windows already closed (a desktop picture thread, the probes of a stopped
// check, the relay operations of a stopped power command) may still be running. From here on
// nothing they do reaches the window or the operator; they are asked to stop and given a bounded
// time before the database module and the window go. A relay operation runs to its end and may
// outlast the wait: it reaches both through their counted handles only. One that may have closed
// a terminal's button contact is waited for until it has released it, within
// EndWaits::HeldContactMs, so that the program does not end with a terminal's power button held
// down. The database module and the window are freed only when no call is under way in them.
void EndConsole()
{
    const bool windowFree = !MainForm || MainForm->EndServices();
    if (!ThreadBase::StopAllAndWait(EndWaits::WorkersMs()))
        ReportLeft(QStringLiteral("程序结束时仍有%1个线程未结束.").arg(ThreadBase::RunningCount()));
    if (!WaitForHeldContacts())
        ReportLeft(QStringLiteral("程序结束时以下终端的电源按钮仍被按下: %1")
                       .arg(RemoteDeviceController::HeldContactTerminals().join(QStringLiteral(", "))));
    TFormDbMod* const db = std::exchange(DbModule, nullptr);
    bool dbFree = true;
    if (db) {
        FormDbMod.BeginClose(db);
        dbFree = FormDbMod.WaitForCalls(EndWaits::DbCallsMs);
    }
    if (!dbFree)
        ReportLeft(QStringLiteral("程序结束时仍有%1个数据库操作未结束.").arg(FormDbMod.CallsUnderWay()));
    if (!windowFree)
        ReportLeft(QStringLiteral("程序结束时仍有%1个对主窗口的调用未结束.").arg(Services::MainForm.CallsUnderWay()));
    if (dbFree)
        delete db;
    else
        LeaveToTheEnd(db);
    if (windowFree)
        delete MainForm;
    else
        LeaveToTheEnd(MainForm);
    MainForm = nullptr;
}

} // namespace

int EndWaits::WorkersMs()
{
    return AgentTimings::Scaled(AgentTimings::WaitMs) + WorkerMarginMs;
}

int EndWaits::LimitMs()
{
    return TMainFormServices::ServiceCallsWaitMs + WorkersMs() + HeldContactMs + DbCallsMs;
}

int RunStartup(TApplication& app)
{
    try {
        RunSteps(app);
    } catch (...) {
        TApplication::ShowException(std::current_exception());
    }
    // The module and the main window live until the end; close the window if it is still open.
    if (MainForm && MainForm->isVisible())
        MainForm->close();
    EndConsole();
    return 0;
}

int RunConsole(int argc, char** argv)
{
    TApplication app(argc, argv); // the application with its title
    return RunStartup(app);
}
