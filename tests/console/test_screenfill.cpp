// The main window on an X server without a window manager: it fills the screen's available area
// at start, and is maximised by the window manager where there is one.
#include "console/Startup.h"

#include "console/DevTestSupport.h"
#include "platform/Application.h"
#include "platform/ScreenFill.h"
#include "support/ScriptedAnswerer.h"
#include "support/When.h"
#include "windows/LoginDlg.h"

#include <QProcess>
#include <QTest>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>

static void PrintTo(const QRect& r, std::ostream* os) { *os << r.width() << "x" << r.height() << "+" << r.x() << "+" << r.y(); }
static void PrintTo(const QSize& s, std::ostream* os) { *os << s.width() << "x" << s.height(); }

namespace {

// Set in the child process that runs on the bare X server.
constexpr char InsideVariable[] = "ZOL_TEST_BARE_X";
constexpr int XStartTimeoutMs = 30000;
constexpr int ChildTimeoutMs = 240000;
const QRect BareScreen(0, 0, 1024, 768);

xcb_connection_t* Connection() { return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection(); }

xcb_window_t Root() { return xcb_setup_roots_iterator(xcb_get_setup(Connection())).data->root; }

// The size of a window as the X server has it.
QSize ServerSize(xcb_window_t window)
{
    xcb_get_geometry_reply_t* reply =
        xcb_get_geometry_reply(Connection(), xcb_get_geometry(Connection(), window), nullptr);
    const QSize size = reply ? QSize(reply->width, reply->height) : QSize();
    std::free(reply);
    return size;
}

// Names a check window on the root window as a running window manager does; the window goes with
// the object, the root window's property stays, as it does when a window manager ends.
struct FakeWindowManager {
    FakeWindowManager()
    {
        xcb_connection_t* c = Connection();
        static const char name[] = "_NET_SUPPORTING_WM_CHECK";
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof(name) - 1, name), nullptr);
        check = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, check, Root(), -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        for (xcb_window_t on : {Root(), check})
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, on, atom->atom, XCB_ATOM_WINDOW, 32, 1, &check);
        std::free(atom);
        xcb_flush(c);
    }
    ~FakeWindowManager()
    {
        xcb_destroy_window(Connection(), check);
        xcb_flush(Connection());
    }
    xcb_window_t check;
};

TEST(MainWindowOnABareXServer, FillsTheAvailableArea)
{
    if (qEnvironmentVariableIsSet(InsideVariable))
        GTEST_SKIP() << "this is the child process";
    QProcess xServer;
    // The server picks a free display number and writes it to its standard output.
    xServer.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                           QStringLiteral("0"), QStringLiteral("1024x768x24"),
                                           QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return xServer.canReadLine() || xServer.state() == QProcess::NotRunning; },
                                XStartTimeoutMs));
    const QString display = QStringLiteral(":") + QString::fromLatin1(xServer.readLine()).trimmed();
    ASSERT_NE(display, QStringLiteral(":")) << xServer.readAllStandardError().toStdString();

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
    env.insert(QString::fromLatin1(InsideVariable), QStringLiteral("1"));
    // In a sanitized build: libxkbcommon-x11 hands strndup a keymap name without a terminating
    // NUL, which the strict string checks count as an overflow; the rest of the checks stay on.
    if (env.contains(QStringLiteral("ASAN_OPTIONS")))
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":strict_string_checks=0"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=MainWindowOnABareXServerInside.*")});
    const bool ended = child.waitForFinished(ChildTimeoutMs);
    const QString output = QString::fromUtf8(child.readAll());
    xServer.terminate();
    xServer.waitForFinished();
    ASSERT_TRUE(ended) << output.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test."))) << output.toStdString();
}

TEST(MainWindowOnABareXServerInside, FillsTheAvailableAreaAndLeavesWindowManagersAlone)
{
    if (!qEnvironmentVariableIsSet(InsideVariable))
        GTEST_SKIP() << "runs on the X server that MainWindowOnABareXServer starts";
    TestDb::CreateFresh();
    TestDb::Exec("insert into zol_user (name, landname, password, type) values ('值班员', 'duty', md5('pw'), 2);");
    QTemporaryDir settings;
    QFile conf(settings.filePath(QStringLiteral("conf.ini")));
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly) && conf.write("[system]\nAutoDetected=0\n") > 0);
    conf.close();
    TMainForm::SetConfigDirForTest(settings.path());
    ScriptedAnswerer answerer;

    bool windowManager = true;
    QRect shownAt;
    QSize onServer;
    When([] { return LoginDlg && LoginDlg->isVisible(); }, [] {
        LoginDlg->Editlandname->setText(QStringLiteral("duty"));
        LoginDlg->Editpassword->setText(QStringLiteral("pw"));
        LoginDlg->OKBtn->click();
    });
    When([] { return MainForm && MainForm->windowHandle() && MainForm->windowHandle()->isExposed(); }, [&] {
        windowManager = WindowManagerMaximises();
        shownAt = MainForm->geometry();
        onServer = ServerSize(MainForm->winId());
        answerer.Answer(MsgResult::Ok);
        MainForm->BtnExitClick();
    });
    RunStartup(*static_cast<TApplication*>(qApp));
    TMainForm::SetConfigDirForTest(QString());

    EXPECT_FALSE(windowManager);
    EXPECT_EQ(QGuiApplication::primaryScreen()->availableGeometry(), BareScreen);
    EXPECT_EQ(shownAt, BareScreen);
    EXPECT_EQ(onServer, BareScreen.size());

    {
        FakeWindowManager manager;
        EXPECT_TRUE(WindowManagerMaximises());
        QWidget window;
        window.setWindowState(Qt::WindowMaximized);
        ShowMaximised(&window);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        // Asked of the window manager; the normal size fills the screen as well, so a layout that
        // grows once the window is shown asks for no size that would end the maximised state.
        EXPECT_TRUE(window.windowState() & Qt::WindowMaximized);
        EXPECT_EQ(ServerSize(window.winId()), BareScreen.size());
    }
    EXPECT_FALSE(WindowManagerMaximises()) << "the property of a window manager that has gone";
}

} // namespace
