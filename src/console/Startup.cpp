// Start-up of the console. The main window comes first so that the settings and the console log
// exist before the database connects; the message loop runs only after a successful login.
#include "console/Startup.h"

#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "foundation/DbMod.h"
#include "foundation/ThreadBase.h"
#include "platform/Application.h"
#include "platform/ScreenFill.h"
#include "terminal/AgentProtocol.h"
#include "terminal/RemoteDeviceController.h"
#include "windows/FormBackGound.h"
#include "windows/LoginDlg.h"

#include <chrono>
#include <exception>
#include <thread>

namespace {

// The end waits for the workers it has asked to stop for AgentTimings::WaitMs and this much more:
// a stop ends their waits for data at once, but a connection attempt or a send under way runs to
// its own limit (that wait, the relay's too), and then the worker closes its connection.
constexpr int WorkerEndMarginMs = 1000;
// How often the end looks whether the button contacts held have been released.
constexpr auto ContactPollInterval = std::chrono::milliseconds(10);

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
    FormDbMod = new TFormDbMod();

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

// Workers left by windows already closed (a desktop picture thread, the probes of a stopped
// check, the relay operations of a stopped power command) may still be running. From here on
// nothing they do reaches the window or the operator; they are asked to stop and given a bounded
// time before the database module and the window go. A relay operation runs to its end and may
// outlast the wait: it touches neither of them. One that has closed a terminal's button contact
// is waited for until it has released it (within its own limits), so the program never ends
// with a terminal's power button held down.
void EndConsole()
{
    if (MainForm)
        MainForm->EndServices();
    ThreadBase::StopAllAndWait(AgentTimings::Scaled(AgentTimings::WaitMs) + WorkerEndMarginMs);
    while (RemoteDeviceController::HeldContacts() > 0)
        std::this_thread::sleep_for(ContactPollInterval);
    delete FormDbMod;
    FormDbMod = nullptr;
    delete MainForm;
    MainForm = nullptr;
}

} // namespace

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
