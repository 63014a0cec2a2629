// An operator's day against the real console: the demo data, the simulated terminals, start-up with
// login, and acting on the windows the operator opens, from inside their own modal loops.
#pragma once

#include "console/DevTestSupport.h"
#include "console/Startup.h"
#include "platform/Application.h"
#include "support/DemoProgram.h"
#include "support/ScriptedAnswerer.h"
#include "support/When.h"
#include "windows/LoginDlg.h"

#include <QSignalSpy>
#include <QTest>
#include <functional>

namespace Day {

inline constexpr int Patience = 60000; // upper bound of every wait: a sanitized build on a loaded machine
inline const QString OperatorName = QStringLiteral("值班长");
inline const QString Login = QStringLiteral("duty");
inline const QString Password = QStringLiteral("zol123");
// The demo data's failure paths, as the run command sets them.
inline const QString CutOff = QStringLiteral("127.0.0.15");
inline const QString AgentDown = QStringLiteral("127.0.0.19");
inline const QString SilentRelay = QStringLiteral("127.0.0.122");

inline QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The id of the terminal of this name.
inline int Id(const QString& name)
{
    return TestDb::Scalar(QStringLiteral("select id from zol_baseinfo where name = '%1'").arg(name)).toInt();
}

inline QString Status(const QString& name)
{
    return TestDb::Scalar(QStringLiteral("select status from zol_status where zol_id = %1").arg(Id(name)));
}

// The terminal's node selected in the tree, as the operator's click leaves it.
inline void SelectInTree(const QString& name)
{
    MainForm->TreeDev->setCurrentItem(DevTestSupport::NodeOf(Id(name)));
}

inline QStringList Sorted(QStringList names)
{
    names.sort();
    return names;
}

// The names of a group of the tree, sorted: a moved node goes last, so the order follows timing.
inline QStringList Group(int group)
{
    return Sorted(DevTestSupport::Names(group));
}

// What a grid shows in the column of this title, row by row, trimmed.
inline QStringList Column(QTableView* grid, const QString& title)
{
    const QAbstractItemModel* model = grid->model();
    int column = -1;
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->headerData(c, Qt::Horizontal).toString() == title)
            column = c;
    QStringList texts;
    for (int row = 0; column >= 0 && row < model->rowCount(); ++row)
        texts << model->index(row, column).data().toString().trimmed();
    return texts;
}

// Runs command; act runs once a modal window of type W is the active one and ready holds for it.
// act closes the window, or leaves it to close by itself. A window that never gets ready is
// closed after the patience. False when act never ran.
template <typename W>
bool Within(const std::function<void()>& command, const std::function<bool(W&)>& ready,
            const std::function<void(W&)>& act)
{
    bool ran = false;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* window = qobject_cast<W*>(QApplication::activeModalWidget());
        if (window && ready(*window)) {
            poll.stop();
            ran = true;
            act(*window);
        } else if (clock.elapsed() > Patience) {
            poll.stop();
            if (window)
                window->close();
        }
    });
    poll.start();
    command();
    poll.stop();
    return ran;
}

template <typename W>
bool Within(const std::function<void()>& command, const std::function<void(W&)>& act)
{
    return Within<W>(command, [](W&) { return true; }, act);
}

// Starts the console and logs in; scene runs in the message loop once the first activation, with
// its automatic check when that is on, has ended; then the operator exits, answered by answers.
inline void LogInAndRun(const QString& login, const QString& password, ScriptedAnswerer& answers,
                        const std::function<void()>& scene)
{
    QObject looks; // ends the looks below with the day
    std::unique_ptr<QSignalSpy> pages;
    When([] { return LoginDlg && LoginDlg->isVisible(); }, [&] {
        // The first activation shows the console page, runs the check under the wait window and
        // then shows the device page. Before it the message loop may not even run yet: an exit
        // then would leave the loop that starts afterwards running for ever.
        pages = std::make_unique<QSignalSpy>(MainForm->PageControlMain, &QTabWidget::currentChanged);
        LoginDlg->Editlandname->setText(login);
        LoginDlg->Editpassword->setText(password);
        LoginDlg->OKBtn->click();
    }, &looks);
    When([&] { return pages && pages->count() >= 2 && !QApplication::activeModalWidget(); }, [&] {
        scene();
        answers.Answer(MsgResult::Ok);
        MainForm->BtnExitClick();
    }, &looks);
    RunStartup(*static_cast<TApplication*>(qApp));
}

// The console's day: a fresh database with the demo data and one operator, the simulated terminals
// on ports held free, the console's settings; start-up and login as the operator; the scene runs
// in the message loop once the automatic check has ended, and then the operator exits.
class Console {
public:
    Console() = default;

    // Settings lines added to the ones every day has.
    void Start(const QByteArray& settings, const std::function<void()>& scene)
    {
        Prepare(settings);
        ASSERT_TRUE(demo.Start({QStringLiteral("--settings"), settingsDir.filePath(QStringLiteral("conf.ini")),
                                QStringLiteral("--cut-off"), CutOff, QStringLiteral("--agent-down"), AgentDown,
                                QStringLiteral("--silent-relay"), SilentRelay, QStringLiteral("--boot-ms"),
                                QStringLiteral("300"), QStringLiteral("--refresh-ms"), QStringLiteral("500")}))
            << demo.Output().toStdString();
        LogInAndRun(Login, Password, answers, scene);
    }

    HeldPort agentPort;
    HeldPort relayPort;
    QTemporaryDir settingsDir;
    DemoProgram demo;
    ScriptedAnswerer answers;

private:
    void Prepare(const QByteArray& settings)
    {
        TestDb::CreateFresh();
        TestDb::Exec(QString::fromUtf8(FileBytes(QStringLiteral(ZOL_SOURCE_DIR "/db/demo.sql"))));
        TestDb::Exec(QStringLiteral("insert into zol_user (name, landname, password, type, remark) "
                                    "values ('%1', '%2', md5('%3'), '1', '');"
                                    "update zol_baseinfo set port = %4;")
                         .arg(OperatorName, Login, Password)
                         .arg(relayPort.Number()));
        QFile conf(settingsDir.filePath(QStringLiteral("conf.ini")));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write("[system]\nAutoDetected=1\nSocketPort=" + QByteArray::number(agentPort.Number()) + '\n' + settings);
        conf.close();
        TMainForm::SetConfigDirForTest(settingsDir.path());
        LoggedIn = false;
        LoginTries = 0;
        LogLevel = Consts::InitialLogLevel;
        TimeOut = Consts::InitialTimeOut;
    }
};

} // namespace Day
