// Start-up order: no database ends the program before any window shows; a closed login dialog
// ends it without a main window; a successful login runs the main window until exit; the end
// while workers still run.
#include "console/Startup.h"

#include "foundation/DbMod.h"
#include "peers/FakeRelay.h"
#include "platform/Application.h"
#include "platform/ProcessExit.h"
#include "support/AgentTestSupport.h"
#include "support/FreezingProxy.h"
#include "support/ReachabilityPeers.h"
#include "terminal/ThreadConnectionTest.h"
#include "terminal/ThreadRemoteDeviceControlBatch.h"
#include "windows/FormBackGound.h"
#include "windows/FrmDevDesktop.h"
#include "windows/LoginDlg.h"

#include <QProcess>
#include <QTcpServer>
#include <QTemporaryFile>
#include <QTest>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int WaitMs = 20000; // upper bound of every wait for the program

// Records every window shown, in order, by object name.
struct ShowRecorder : QObject {
    ShowRecorder() { qApp->installEventFilter(this); }
    ~ShowRecorder() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow())
            shown << watched->objectName();
        return false;
    }
    QStringList shown;
};

// Which of the start-up windows exist and show, e.g. "main=hidden splash=shown login=none".
QString Windows()
{
    auto state = [](QWidget* w) { return !w ? "none" : w->isVisible() ? "shown" : "hidden"; };
    return QStringLiteral("main=%1 splash=%2 login=%3").arg(state(MainForm), state(FormBackGound), state(LoginDlg));
}

class StartupTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        TestDb::CreateFresh();
        TestDb::Exec("insert into zol_user (name, landname, password, type) values ('值班员', 'duty', md5('pw'), 2);");
    }
    void TearDown() override
    {
        SetProcessExitHandler({});
        TMainForm::SetConfigDirForTest(QString());
    }
    // Logs in as the operator on duty once the login dialog shows.
    static void LogInWhenAsked()
    {
        When([] { return LoginDlg && LoginDlg->isVisible(); }, [] {
            LoginDlg->Editlandname->setText("duty");
            LoginDlg->Editpassword->setText("pw");
            LoginDlg->OKBtn->click();
        });
    }
    // Runs the program from a fresh state with these settings in conf.ini.
    int Run(const QByteArray& settings)
    {
        TMainForm::SetConfigDirForTest(settings_.path());
        LoggedIn = false;
        LoginTries = 0;
        LogLevel = Consts::InitialLogLevel;
        TimeOut = Consts::InitialTimeOut;
        QFile f(settings_.filePath("conf.ini"));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write("[system]\n" + settings) >= 0);
        f.close();
        return RunStartup(*static_cast<TApplication*>(qApp));
    }

    // Once the operator has logged in and the main window's first activation has done its own
    // work (queued when the window became active), runs act; then closes the console (closing
    // started) once ready holds.
    void ActThenCloseWhen(std::function<void()> act, std::function<bool()> ready, QElapsedTimer& closing)
    {
        LogInWhenAsked();
        AgentTestSupport::WhenReady([] { return MainForm && MainForm->isActiveWindow(); }, [=, this, &closing] {
            QMetaObject::invokeMethod(qApp, [=, this, &closing] {
                act();
                AgentTestSupport::WhenReady(ready, [this, &closing] {
                    answerer_.Answer(MsgResult::Ok);
                    closing.start();
                    MainForm->BtnExitClick();
                });
            }, Qt::QueuedConnection);
        });
    }

    // A terminal named name behind relay; once the operator has logged in a start of it begins,
    // and the console is closed (closing started) once the start has pressed the button.
    void CloseWhileAStartPresses(FakeRelay& relay, const QString& name, QElapsedTimer& closing)
    {
        relay.OnSwitched([this](int channel, bool on) {
            if (channel == ButtonChannel && on)
                pressed_ = true;
        });
        const int id = DevTestSupport::AddTerminal(name, "down");
        TestDb::Exec(QStringLiteral("update zol_baseinfo set relayIp = '127.0.0.1', port = %1 where id = %2")
                         .arg(relay.Port()).arg(id));
        LogInWhenAsked();
        AgentTestSupport::WhenReady([] { return MainForm && MainForm->isVisible(); }, [this, id, &closing] {
            batch_ = std::make_unique<ThreadRemoteDeviceControlBatch>(std::vector<int>{id}, "开机", OpStart);
            batch_->Resume();
            AgentTestSupport::WhenReady([this] { return bool(pressed_); }, [this, &closing] {
                answerer_.Answer(MsgResult::Ok);
                closing.start();
                MainForm->BtnExitClick();
            });
        });
    }

    QTemporaryDir settings_;
    ScriptedAnswerer answerer_;
    ShowRecorder recorder_;
    std::atomic<bool> pressed_{false};
    std::unique_ptr<ThreadRemoteDeviceControlBatch> batch_;
};

TEST_F(StartupTest, UnreachableDatabaseEndsBeforeSplashOrLogin)
{
    struct ProcessEnded {};
    QString atEnd;
    SetProcessExitHandler([&](int code) {
        atEnd = QStringLiteral("code=%1 boxes=%2 %3 %4:%5")
                    .arg(code).arg(answerer_.Count()).arg(Windows(), answerer_.Last().caption, answerer_.Last().text);
        throw ProcessEnded{};
    });
    EXPECT_EQ(Run("DataSource=no_such_source\n"), 0);
    // The main window is made first (its console log exists) but never shown.
    EXPECT_EQ(atEnd, "code=0 boxes=1 main=hidden splash=none login=none 错误:连接数据库服务失败!");
    EXPECT_TRUE(recorder_.shown.isEmpty()) << recorder_.shown.join(',').toStdString();
    EXPECT_TRUE(!MainForm && !FormDbMod) << "both freed at the end";
}

// The program itself on a data source whose server does not answer: before any window shows, the
// console log goes to standard error, with the driver's reason the box leaves out.
TEST_F(StartupTest, RefusedConnectionGivesItsReasonOnStandardError)
{
    QTemporaryDir dir;
    const QString program = dir.filePath("zolconsole"); // its settings are the ones beside it
    ASSERT_TRUE(QFile::copy(ZOL_CONSOLE_PROGRAM, program));
    QTcpServer closed; // a port nothing listens on once it is closed again
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    const QString odbc = qEnvironmentVariable("ODBCSYSINI");
    ASSERT_TRUE(QFile::copy(odbc + "/odbcinst.ini", dir.filePath("odbcinst.ini")));
    QFile ini(dir.filePath("odbc.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly) &&
                ini.write(QStringLiteral("[dead]\nDriver=MariaDB Unicode\nSERVER=127.0.0.1\nPORT=%1\nUSER=zol\n")
                              .arg(port).toUtf8()) > 0);
    ini.close();
    QFile conf(dir.filePath("conf.ini"));
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly) && conf.write("[system]\nDataSource=dead\n") > 0);
    conf.close();

    QProcess console;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ODBCSYSINI", dir.path());
    console.setProcessEnvironment(env);
    console.start(program, {});
    QByteArray errors;
    // The box that follows waits for an operator: the line is there while it is open.
    EXPECT_TRUE(QTest::qWaitFor([&] {
        errors += console.readAllStandardError();
        return errors.contains("127.0.0.1") || console.state() == QProcess::NotRunning;
    }, WaitMs));
    console.kill();
    console.waitForFinished(WaitMs);
    const QString text = QString::fromUtf8(errors + console.readAllStandardError());
    EXPECT_TRUE(text.contains(QRegularExpression("  错误 .* : 连接数据库服务失败!原因:.*127\\.0\\.0\\.1")))
        << text.toStdString();
}

TEST_F(StartupTest, ClosedLoginEndsWithoutMainWindow)
{
    QString atLogin;
    When([] { return LoginDlg && LoginDlg->isVisible(); }, [&] {
        atLogin = QStringLiteral("%1 modal=%2 level=%3 timeout=%4")
                      .arg(Windows()).arg(LoginDlg->isModal()).arg(LogLevel).arg(TimeOut);
        LoginDlg->close(); // the title bar's close button
    });
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(atLogin, "main=hidden splash=shown login=shown modal=1 level=2 timeout=6000");
    EXPECT_EQ(recorder_.shown, QStringList({"FormBackGound", "LoginDlg"}));
    EXPECT_EQ(QStringLiteral("%1 loggedIn=%2 boxes=%3").arg(Windows()).arg(LoggedIn).arg(answerer_.Count()),
              "main=none splash=none login=none loggedIn=0 boxes=0");
}

// A database failure while the main window is first shown ends the program like any failure of
// start-up: the standard exception box with the module's message, and no message loop.
TEST_F(StartupTest, FailingFirstShowEndsTheProgram)
{
    TestDb::Exec("rename table zol_baseinfo to zol_baseinfo_away;");
    // A message loop left running would be ended by this guard only.
    bool loopRan = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        loopRan = true;
        qApp->exit();
    });
    When([] { return LoginDlg && LoginDlg->isVisible(); }, [&] {
        guard.start(WaitMs);
        LoginDlg->Editlandname->setText("duty");
        LoginDlg->Editpassword->setText("pw");
        LoginDlg->OKBtn->click();
    });
    const int code = Run("AutoDetected=1\n");
    TestDb::Exec("rename table zol_baseinfo_away to zol_baseinfo;");

    EXPECT_EQ(code, 0);
    EXPECT_FALSE(loopRan);
    ASSERT_EQ(answerer_.Count(), 1);
    EXPECT_EQ(Describe(answerer_.Last()), QStringLiteral("%1|数据库异常!|3|0").arg(ApplicationTitle));
    EXPECT_TRUE(!MainForm && !FormDbMod) << "both freed at the end";
}

// The settings of conf.ini apply; the automatic check runs once, not again when the main window
// is activated anew.
TEST_F(StartupTest, LoginRunsTheMainWindowUntilExit)
{
    // One terminal stored as powered off: the automatic check reports it in one console line.
    TestDb::Exec("insert into zol_baseinfo (name, ip) values ('巡检终端', '127.0.0.1');"
                 "insert into zol_status (zol_id, status) select max(id), 'poweroff' from zol_baseinfo;");
    LogInWhenAsked();
    auto checks = [] { return MainForm->MemoInfo->toPlainText().count(QStringLiteral("]关闭电源状态")); };
    QString running;
    When([&] { return MainForm && MainForm->isVisible() && checks() && MainForm->GetActivePageIndex() == 0; }, [&] {
        // Returning from a modal dialog activates the main window again: no second check.
        QDialog dialog(MainForm);
        QTimer::singleShot(20, &dialog, &QDialog::accept);
        dialog.exec();
        MainForm->activateWindow();
        QTest::qWait(300);
        running = QStringLiteral("%1 user=%2 level=%3 timeout=%4 checks=%5")
                      .arg(Windows()).arg(CurrentUser ? CurrentUser->Id : 0).arg(LogLevel).arg(TimeOut).arg(checks());
        answerer_.Answer(MsgResult::Ok);
        MainForm->BtnExitClick();
    });
    EXPECT_EQ(Run("AutoDetected=1\nLogLevel=1\nTimeOut=2500\nSocketPort=1\n"), 0);

    EXPECT_EQ(running, QStringLiteral("main=shown splash=none login=none user=%1 level=1 timeout=2500 checks=1")
                           .arg(TestDb::Scalar("select id from zol_user where landname='duty'")));
    EXPECT_EQ(answerer_.Count(), 1); // the exit question only
    EXPECT_TRUE(!MainForm && !FormDbMod) << "both freed at the end";
}

// The operator closes the console while workers still run: a desktop picture thread whose window
// has gone, still trying to reach its terminal; the relay operation of a stopped power command,
// held by its relay; a reachability check whose probe ends only once the console has begun to
// close, so that the check reports its terminal then. The end waits a bounded time, for what a
// stop ends but not for the relay operation; nothing reaches the window being destroyed (the
// check's report would, and the sanitizer build would catch it); no box comes after the exit.
TEST_F(StartupTest, ClosingWhileWorkersRunReachesNothingGone)
{
    using namespace AgentTestSupport;
    constexpr int Divisor = 2; // the relay holds each try for 3 s, the end waits 4 s
    RelayTimings::SetForTest(Divisor);
    const std::shared_ptr<void> shipped(nullptr, [](void*) { RelayTimings::SetForTest(1); });
    ReachabilityPeers peers;
    FakeRelay relay;
    relay.SetFault(FakeRelay::Fault::Hold);
    const int cut = DevTestSupport::AddTerminal(QStringLiteral("断网终端"), "up", ReachabilityPeers::SilentIp);
    const int powered = DevTestSupport::AddTerminal(QStringLiteral("电源终端"), "up");
    TestDb::Exec(QStringLiteral("update zol_baseinfo set relayIp = '127.0.0.1', port = %1 where id = %2")
                     .arg(relay.Port()).arg(powered));
    std::atomic<bool> probing{false};
    ThreadTelnet::SetConnectForTest([&](const QString&, int, int) {
        probing = true;
        QElapsedTimer held;
        held.start();
        while (Services::MainForm && !held.hasExpired(Patience))
            QThread::msleep(1);
        return ThreadTelnet::ConnectResult::Failed;
    });
    const std::shared_ptr<void> restore(nullptr, [](void*) { ThreadTelnet::SetConnectForTest({}); });

    std::unique_ptr<ThreadRemoteDeviceControlBatch> batch;
    std::unique_ptr<ThreadConnectionTest> check;
    int boxesBeforeExit = -1;
    QElapsedTimer closing;
    LogInWhenAsked();
    WhenReady([] { return MainForm && MainForm->isVisible(); }, [&] {
        TFormDevDesktop desktop(cut);
        desktop.show();
        desktop.close();
        batch = std::make_unique<ThreadRemoteDeviceControlBatch>(std::vector<int>{powered}, "关闭电源", OpPowerOff);
        batch->Resume();
        check = std::make_unique<ThreadConnectionTest>(std::vector<int>{cut}, "检测网络");
        check->Resume();
        WhenReady([&] { return !relay.Frames().empty(); }, [&] { batch->Stop(); });
        WhenReady([&] { return batch->Finished && probing; }, [&] {
            boxesBeforeExit = answerer_.Count();
            answerer_.Answer(MsgResult::Ok);
            closing.start();
            MainForm->BtnExitClick();
        });
    });
    EXPECT_EQ(Run(QStringLiteral("AutoDetected=0\nTimeOut=10000\nSocketPort=%1\n").arg(peers.Port()).toUtf8()), 0);
    const qint64 closedMs = closing.elapsed();
    const int stillRunning = ThreadBase::RunningCount();

    EXPECT_LT(closedMs, Patience);
    EXPECT_EQ(answerer_.Count() - boxesBeforeExit, 1) << "the exit question only, not "
                                                       << answerer_.Last().text.toStdString();
    EXPECT_TRUE(check->Finished);
    EXPECT_EQ(ThreadTelnet::LiveCount(), 0);
    EXPECT_EQ(ThreadDevDesktop::LiveCount(), 0);
    EXPECT_EQ(stillRunning, 1) << "the relay operation runs to its end, after the console";
    relay.Release();
    // Without a turn of the message loop: the program's end leaves Qt's quit request for a loop.
    EXPECT_TRUE(ThreadBase::StopAllAndWait(Patience));
    EXPECT_TRUE(!MainForm && !FormDbMod) << "both freed at the end";
}

} // namespace

namespace {

// The console is closed while a start holds a terminal's button down: the end waits past its
// usual bound until the button has been released, so the terminal is not left held.
TEST_F(StartupTest, ClosingWhileAButtonIsHeldWaitsForItsRelease)
{
    using namespace AgentTestSupport;
    RelayTimings::SetForTest(WaitDivisor); // the end waits 1.6 s for workers, the contact lasts 3 s
    const std::shared_ptr<void> shipped(nullptr, [](void*) { RelayTimings::SetForTest(1); });
    FakeRelay relay;
    QElapsedTimer closing;
    CloseWhileAStartPresses(relay, QStringLiteral("开机终端"), closing);
    EXPECT_EQ(Run("AutoDetected=0\nRemoteCtrlStartInterval=30000\n"), 0);
    EXPECT_TRUE(pressed_);
    EXPECT_FALSE(relay.Channel(ButtonChannel)) << "released before the program ended";
    EXPECT_EQ(RemoteDeviceController::HeldContacts(), 0);
    EXPECT_TRUE(ThreadBase::StopAllAndWait(Patience));
}

} // namespace

namespace {

// What the program writes on its standard error stream from construction to Text().
class StderrCapture {
public:
    StderrCapture()
    {
        std::fflush(stderr);
        if (file_.open())
            saved_ = ::dup(STDERR_FILENO);
        if (saved_ >= 0)
            ::dup2(file_.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { Restore(); }
    QString Text()
    {
        Restore();
        QFile written(file_.fileName());
        return written.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(written.readAll()) : QString();
    }

private:
    void Restore()
    {
        if (saved_ < 0)
            return;
        std::cerr.flush();
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }
    QTemporaryFile file_;
    int saved_ = -1;
};

// Runs release once the test has measured the end, or after limitMs when the end never comes, so
// that a test of an end that waits for ever fails instead of hanging.
class Watchdog {
public:
    Watchdog(int limitMs, std::function<void()> release)
        : thread_([this, limitMs, release = std::move(release)] {
              std::unique_lock<std::mutex> hold(lock_);
              changed_.wait_for(hold, std::chrono::milliseconds(limitMs), [this] { return done_; });
              release();
          })
    {
    }
    ~Watchdog() { Done(); }
    void Done()
    {
        {
            std::lock_guard<std::mutex> hold(lock_);
            done_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool done_ = false;
    std::thread thread_;
};

// The operator closes the console while the reachability check loads its terminal from a database
// server that stopped answering. The end waits its bound for the statement, leaves the module to
// the end of the process instead of freeing it (and its lock) under the statement, and says so;
// the statement ends later, once the server answers again, without reaching anything freed.
TEST_F(StartupTest, ClosingWhileAStatementWaitsForAStoppedServerEndsWithinTheBound)
{
    using namespace AgentTestSupport;
    RelayTimings::SetForTest(WaitDivisor); // the workers are waited for 1.6 s
    const std::shared_ptr<void> shipped(nullptr, [](void*) { RelayTimings::SetForTest(1); });
    FreezingProxy proxy(qEnvironmentVariableIntValue("ZOL_TEST_MYSQL_PORT"));
    QFile ini(qEnvironmentVariable("ODBCSYSINI") + "/odbc.ini");
    ASSERT_TRUE(ini.open(QIODevice::Append));
    ini.write(QStringLiteral("\n[zol_frozen]\nDriver=MariaDB Unicode\nSERVER=127.0.0.1\nPORT=%1\nDATABASE=%2\n"
                             "USER=zol\nPASSWORD=%3\nCHARSET=utf8mb4\n")
                  .arg(proxy.Port())
                  .arg(TestDb::Scalar("select database()"),
                       TestDb::ClientOption(qEnvironmentVariable("ZOL_TEST_MYSQL_CNF"), "password"))
                  .toUtf8());
    ini.close();
    const int id = DevTestSupport::AddTerminal(QStringLiteral("巡检终端"), "up");

    std::unique_ptr<ThreadConnectionTest> check;
    QElapsedTimer closing;
    Watchdog watchdog(EndWaits::LimitMs() + Patience, [&] { proxy.Thaw(); });
    StderrCapture errors;
    ActThenCloseWhen([&] {
        proxy.Freeze();
        check = std::make_unique<ThreadConnectionTest>(std::vector<int>{id}, "检测网络");
        check->Resume();
    }, [] { return FormDbMod.CallsUnderWay() > 0; }, closing);
    EXPECT_EQ(Run("AutoDetected=0\nDataSource=zol_frozen\nSocketPort=1\n"), 0);
    const qint64 closedMs = closing.elapsed();
    watchdog.Done();
    const QString left = errors.Text();

    EXPECT_LT(closedMs, EndWaits::LimitMs());
    EXPECT_GE(closedMs, EndWaits::DbCallsMs);
    EXPECT_TRUE(left.contains(QStringLiteral("程序结束时仍有1个数据库操作未结束."))) << left.toStdString();
    EXPECT_FALSE(check->Finished);
    EXPECT_TRUE(ThreadBase::StopAllAndWait(Patience)) << "the statement ends once the server answers";
    EXPECT_TRUE(!MainForm && !FormDbMod);
}

// The console is closed while a start holds a terminal's button for a contact time far longer
// than the end waits: the end gives up after its bound and names the terminal left held.
TEST_F(StartupTest, ClosingWhileAButtonIsHeldForLongEndsWithinTheBound)
{
    using namespace AgentTestSupport;
    RelayTimings::SetForTest(WaitDivisor);
    const std::shared_ptr<void> shipped(nullptr, [](void*) { RelayTimings::SetForTest(1); });
    FakeRelay relay;
    QElapsedTimer closing;
    StderrCapture errors;
    CloseWhileAStartPresses(relay, QStringLiteral("长按终端"), closing);
    EXPECT_EQ(Run("AutoDetected=0\nRemoteCtrlStartInterval=2000000000\n"), 0);
    const qint64 closedMs = closing.elapsed();
    const QString left = errors.Text();

    EXPECT_LT(closedMs, EndWaits::LimitMs());
    EXPECT_GE(closedMs, EndWaits::HeldContactMs);
    EXPECT_TRUE(relay.Channel(ButtonChannel)) << "the contact time is not over";
    EXPECT_TRUE(left.contains(QStringLiteral("程序结束时以下终端的电源按钮仍被按下: 长按终端(127.0.0.1:%1)")
                                  .arg(relay.Port())))
        << left.toStdString();
    EXPECT_TRUE(!MainForm && !FormDbMod);
}

// A worker's call into the main window does not return (its settings file is a pipe nobody
// writes): the end waits its bound for it and leaves the window to the end of the process
// instead of freeing it under the call.
TEST_F(StartupTest, ClosingWhileACallIntoTheWindowDoesNotReturnEndsWithinTheBound)
{
    using namespace AgentTestSupport;
    QTemporaryDir pipeDir;
    const QByteArray pipe = QFile::encodeName(pipeDir.filePath("conf.ini"));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    auto answer = [pipe] {
        const int fd = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            EXPECT_GT(::write(fd, "[system]\n", 9), 0);
            ::close(fd);
        }
    };
    TMainForm* window = nullptr;
    std::thread reader;
    QElapsedTimer closing;
    Watchdog watchdog(EndWaits::LimitMs() + Patience, answer);
    StderrCapture errors;
    // The pipe would hold the user-interface thread too were it read at the first activation.
    ActThenCloseWhen([&] {
        window = MainForm;
        TMainForm::SetConfigDirForTest(pipeDir.path());
        reader = std::thread([] { Services::MainForm->IniReadString(QStringLiteral("DataSource")); });
    }, [] { return Services::MainForm.CallsUnderWay() > 0; }, closing);
    EXPECT_EQ(Run("AutoDetected=0\n"), 0);
    const qint64 closedMs = closing.elapsed();
    watchdog.Done();
    const QString left = errors.Text();
    reader.join();

    EXPECT_LT(closedMs, EndWaits::LimitMs());
    EXPECT_GE(closedMs, TMainForm::ServiceCallsWaitMs);
    EXPECT_TRUE(left.contains(QStringLiteral("程序结束时仍有1个对主窗口的调用未结束."))) << left.toStdString();
    EXPECT_TRUE(!MainForm && !FormDbMod);
    EXPECT_EQ(Services::MainForm.CallsUnderWay(), 0);
    delete window; // left by the end, and no call is under way in it any more
}

} // namespace
