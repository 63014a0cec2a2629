// Start-up order: no database ends the program before any window shows; a closed login dialog
// ends it without a main window; a successful login runs the main window until exit.
#include "console/Startup.h"

#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "foundation/DbMod.h"
#include "foundation/DevBean.h"
#include "platform/Application.h"
#include "platform/ProcessExit.h"
#include "support/ScriptedAnswerer.h"
#include "support/TestDb.h"
#include "windows/FormBackGound.h"
#include "windows/LoginDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <functional>
#include <vector>

namespace {

struct ProcessEnded {
    int code;
};

// Records every widget shown, in order, by object name.
class ShowRecorder : public QObject {
public:
    ShowRecorder() { qApp->installEventFilter(this); }
    ~ShowRecorder() override { qApp->removeEventFilter(this); }
    QStringList shown;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow())
            shown << watched->objectName();
        return false;
    }
};

// Runs action once, on the first tick at which ready() holds (checked every few milliseconds).
void When(std::function<bool()> ready, std::function<void()> action)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, ready, action] {
        if (!ready())
            return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start();
}

TApplication& App() { return *static_cast<TApplication*>(qApp); }

class StartupTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        TestDb::CreateFresh();
        TestDb::Exec("insert into zol_user (name, landname, password, type) "
                     "values ('值班员', 'duty', md5('pw'), 2);");
    }
    void SetUp() override
    {
        TMainForm::SetConfigDirForTest(settings_.path());
        LoggedIn = false;
        LoginTries = 0;
        LogLevel = Consts::InitialLogLevel;
        TimeOut = Consts::InitialTimeOut;
    }
    void TearDown() override
    {
        SetProcessExitHandler({});
        TMainForm::SetConfigDirForTest(QString());
    }
    void WriteSettings(const QByteArray& lines)
    {
        QFile f(settings_.filePath("conf.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[system]\n" + lines);
    }

    QTemporaryDir settings_;
    ScriptedAnswerer answerer_;
};

TEST_F(StartupTest, UnreachableDatabaseEndsBeforeSplashOrLogin)
{
    WriteSettings("DataSource=no_such_source\n");
    ShowRecorder recorder;
    struct AtEnd {
        bool called = false;
        int code = -1;
        int boxes = 0;
        bool mainFormExists = false;
        bool mainFormVisible = true;
        bool splash = true;
        bool login = true;
    } atEnd;
    SetProcessExitHandler([&](int code) {
        atEnd.called = true;
        atEnd.code = code;
        atEnd.boxes = answerer_.Count();
        atEnd.mainFormExists = MainForm != nullptr;
        atEnd.mainFormVisible = MainForm && MainForm->isVisible();
        atEnd.splash = FormBackGound != nullptr;
        atEnd.login = LoginDlg != nullptr;
        throw ProcessEnded{code};
    });

    EXPECT_EQ(RunStartup(App()), 0);

    ASSERT_TRUE(atEnd.called);
    EXPECT_EQ(atEnd.code, 0);
    EXPECT_EQ(atEnd.boxes, 1);
    EXPECT_TRUE(atEnd.mainFormExists); // made first, so its console log existed
    EXPECT_FALSE(atEnd.mainFormVisible);
    EXPECT_FALSE(atEnd.splash);
    EXPECT_FALSE(atEnd.login);
    EXPECT_TRUE(recorder.shown.isEmpty()) << recorder.shown.join(',').toStdString();

    const auto boxes = answerer_.Requests();
    ASSERT_GE(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("错误"));
    EXPECT_EQ(boxes[0].text, QStringLiteral("连接数据库服务失败!"));
    // The test's stand-in for the end of the process is a thrown value that is no exception
    // object: the start-up guard shows it in the standard box with an empty message.
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, QString::fromUtf8(ApplicationTitle));
    EXPECT_TRUE(boxes[1].text.isEmpty());
    EXPECT_EQ(MainForm, nullptr);
    EXPECT_EQ(FormDbMod, nullptr);
}

TEST_F(StartupTest, ClosedLoginEndsWithoutMainWindow)
{
    WriteSettings("");
    ShowRecorder recorder;
    bool splashDuringLogin = false;
    bool loginModal = false;
    int logLevelAtLogin = 0;
    int timeOutAtLogin = 0;
    When([] { return LoginDlg && LoginDlg->isVisible(); },
         [&] {
             splashDuringLogin = FormBackGound && FormBackGound->isVisible();
             loginModal = LoginDlg->isModal();
             logLevelAtLogin = LogLevel;
             timeOutAtLogin = TimeOut;
             LoginDlg->close(); // the title bar's close button
         });

    EXPECT_EQ(RunStartup(App()), 0);

    EXPECT_TRUE(splashDuringLogin);
    EXPECT_TRUE(loginModal);
    EXPECT_EQ(logLevelAtLogin, 2);
    EXPECT_EQ(timeOutAtLogin, 6000);
    EXPECT_FALSE(LoggedIn);
    EXPECT_EQ(recorder.shown, QStringList({"FormBackGound", "LoginDlg"}));
    EXPECT_EQ(FormBackGound, nullptr);
    EXPECT_EQ(LoginDlg, nullptr);
    EXPECT_EQ(MainForm, nullptr);
    EXPECT_EQ(answerer_.Count(), 0);
}

TEST_F(StartupTest, LoginRunsTheMainWindowUntilExit)
{
    // One terminal stored as powered off: the automatic check reports it in one console line.
    TestDb::Exec("insert into zol_baseinfo (name, ip) values ('巡检终端', '127.0.0.1');"
                 "insert into zol_status (zol_id, status) select max(id), 'poweroff' from zol_baseinfo;");
    WriteSettings("AutoDetected=1\nLogLevel=1\nTimeOut=2500\nSocketPort=1\n");
    ShowRecorder recorder;
    std::vector<int> pages;
    When([] { return LoginDlg && LoginDlg->isVisible(); },
         [&] {
             QObject::connect(MainForm->PageControlMain, &QTabWidget::currentChanged,
                              [&pages](int index) { pages.push_back(index); });
             LoginDlg->Editlandname->setText(QStringLiteral("duty"));
             LoginDlg->Editpassword->setText(QStringLiteral("pw"));
             LoginDlg->OKBtn->click();
         });
    auto checkLines = [] {
        return MainForm->MemoInfo->toPlainText().count(QStringLiteral("]关闭电源状态"));
    };
    struct Running {
        bool seen = false;
        bool splashGone = false;
        int userId = 0;
        int logLevel = 0;
        int timeOut = 0;
        bool maximised = false;
        int checksAtStart = -1;
        int checksLater = -1;
    } running;
    When([&] { return MainForm && MainForm->isVisible() && !pages.empty() && pages.back() == 0; },
         [&] {
             running.seen = true;
             running.splashGone = FormBackGound == nullptr;
             running.userId = CurrentUser ? CurrentUser->Id : 0;
             running.logLevel = LogLevel;
             running.timeOut = TimeOut;
             running.maximised = MainForm->windowState() & Qt::WindowMaximized;
             running.checksAtStart = checkLines();
             // Back from a modal dialog and from another window: no second check.
             QTimer::singleShot(20, [] { QApplication::activeModalWidget()->close(); });
             MainForm->A1Click();
             QApplication::setActiveWindow(nullptr);
             QApplication::setActiveWindow(MainForm);
             // A second check would be under way in its wait window by then: wait for its end.
             QTimer::singleShot(100, [&] {
                 When([] { return QApplication::activeModalWidget() == nullptr; },
                      [&] {
                          running.checksLater = checkLines();
                          answerer_.Answer(MsgResult::Ok);
                          MainForm->BtnExitClick();
                      });
             });
         });

    EXPECT_EQ(RunStartup(App()), 0);

    ASSERT_TRUE(running.seen);
    EXPECT_TRUE(running.splashGone);
    EXPECT_EQ(running.userId, TestDb::Scalar("select id from zol_user where landname='duty'").toInt());
    EXPECT_EQ(running.logLevel, 1);
    EXPECT_EQ(running.timeOut, 2500);
    EXPECT_TRUE(running.maximised);
    EXPECT_EQ(running.checksAtStart, 1);
    EXPECT_EQ(running.checksLater, 1);
    // Splash and login first; the main window (with the splash of its first fill) only after.
    ASSERT_GE(recorder.shown.size(), 4);
    EXPECT_EQ(recorder.shown.mid(0, 2), QStringList({"FormBackGound", "LoginDlg"}));
    EXPECT_TRUE(recorder.shown.mid(2).contains("MainForm"));
    EXPECT_TRUE(recorder.shown.mid(2).contains("FormBackGound"));
    // The first activation shows the console while it checks, then the device page.
    EXPECT_EQ(pages, (std::vector<int>{6, 0}));
    ASSERT_EQ(answerer_.Count(), 1);
    EXPECT_EQ(answerer_.Last().text, QStringLiteral("您确定要退出系统吗?"));
    EXPECT_EQ(MainForm, nullptr);
    EXPECT_EQ(FormDbMod, nullptr);
}

} // namespace
