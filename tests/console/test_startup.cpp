// Start-up order: no database ends the program before any window shows; a closed login dialog
// ends it without a main window; a successful login runs the main window until exit; the end
// while workers still run.
#include "console/Startup.h"

#include "peers/FakeRelay.h"
#include "platform/Application.h"
#include "platform/ProcessExit.h"
#include "support/AgentTestSupport.h"
#include "support/ReachabilityPeers.h"
#include "terminal/ThreadConnectionTest.h"
#include "terminal/ThreadRemoteDeviceControlBatch.h"
#include "windows/FormBackGound.h"
#include "windows/FrmDevDesktop.h"
#include "windows/LoginDlg.h"

#include <QProcess>
#include <QTcpServer>
#include <QTest>

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

    QTemporaryDir settings_;
    ScriptedAnswerer answerer_;
    ShowRecorder recorder_;
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
    std::atomic<bool> pressed{false};
    relay.OnSwitched([&](int channel, bool on) {
        if (channel == ButtonChannel && on)
            pressed = true;
    });
    const int id = DevTestSupport::AddTerminal(QStringLiteral("开机终端"), "down");
    TestDb::Exec(QStringLiteral("update zol_baseinfo set relayIp = '127.0.0.1', port = %1 where id = %2")
                     .arg(relay.Port()).arg(id));
    std::unique_ptr<ThreadRemoteDeviceControlBatch> batch;
    LogInWhenAsked();
    WhenReady([] { return MainForm && MainForm->isVisible(); }, [&] {
        batch = std::make_unique<ThreadRemoteDeviceControlBatch>(std::vector<int>{id}, "开机", OpStart);
        batch->Resume();
        WhenReady([&] { return bool(pressed); }, [&] {
            answerer_.Answer(MsgResult::Ok);
            MainForm->BtnExitClick();
        });
    });
    EXPECT_EQ(Run("AutoDetected=0\nRemoteCtrlStartInterval=30000\n"), 0);
    EXPECT_TRUE(pressed);
    EXPECT_FALSE(relay.Channel(ButtonChannel)) << "released before the program ended";
    EXPECT_EQ(RemoteDeviceController::HeldContacts(), 0);
    EXPECT_TRUE(ThreadBase::StopAllAndWait(Patience));
}

} // namespace
