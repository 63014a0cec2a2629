// One operator's day with the real console against the simulated terminals of the demo data: the
// morning round of checks and power commands with their records, a look into one terminal, the
// records kept up to date, and the check tuned. Each part starts the console and logs in anew,
// and acts on the windows the operator opens from inside their own modal loops.
#include "console/RecordTestSupport.h"
#include "console/Startup.h"
#include "foundation/Md5String.h"
#include "platform/Application.h"
#include "platform/DbLookupCombo.h"
#include "platform/GbkCodec.h"
#include "platform/JpegImage.h"
#include "platform/RadioGroup.h"
#include "support/AgentTestSupport.h"
#include "support/DemoProgram.h"
#include "support/When.h"
#include "support/XlsxReader.h"
#include "windows/DevEdit.h"
#include "windows/FormPreference.h"
#include "windows/FrmClientDetail.h"
#include "windows/FrmDevDesktop.h"
#include "windows/FrmGetLogFile.h"
#include "windows/FrmLogDev.h"
#include "windows/LoginDlg.h"
#include "windows/TaskEdit.h"
#include "windows/UserInsert.h"

#include <QSignalSpy>

#include <cstdio>

using AgentTestSupport::Boxes;
using AgentTestSupport::ReadFile;

namespace {

constexpr int Patience = 60000; // upper bound of every wait: a sanitized build on a loaded machine
const QString OperatorName = QStringLiteral("值班长");
const QString ExitQuestion = QStringLiteral("确认|您确定要退出系统吗?");

// The id of the terminal of this name.
int Id(const QString& name)
{
    return TestDb::Scalar(QStringLiteral("select id from zol_baseinfo where name = '%1'").arg(name)).toInt();
}

QString Status(const QString& name)
{
    return TestDb::Scalar(QStringLiteral("select status from zol_status where zol_id = %1").arg(Id(name)));
}

// The terminal's node selected in the tree, as the operator's click leaves it.
void SelectInTree(const QString& name)
{
    MainForm->TreeDev->setCurrentItem(DevTestSupport::NodeOf(Id(name)));
}

// Opens and closes a popup menu, as the operator's right click does: its items follow the
// terminal it was opened on.
void Popup(QMenu* menu)
{
    menu->popup(QPoint(10, 10));
    DevTestSupport::Pump();
    menu->hide();
}

QStringList Sorted(QStringList names)
{
    names.sort();
    return names;
}

// The names of a group of the tree, sorted: a moved node goes last, so the order follows timing.
QStringList Group(int group)
{
    return Sorted(DevTestSupport::Names(group));
}

using RecordTestSupport::Column; // a data set's field, row by row

// What a grid shows in the column of this title, row by row, trimmed.
QStringList Column(QTableView* grid, const QString& title)
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

QString OpText(const QString& name, const char* what)
{
    return QStringLiteral("%1,设备ID为(%2),设备名称为(%3).").arg(QString::fromUtf8(what)).arg(Id(name)).arg(name);
}

QString ConsoleText() { return MainForm->MemoInfo->toPlainText(); }

// Runs command; act runs once a modal window of type W is the active one and ready holds for it.
// act closes the window, or leaves it to close by itself. A window that never gets ready is
// closed after the patience. False when act never ran.
template <typename W>
bool Within(const std::function<void()>& command, const std::function<void(W&)>& act,
            const std::function<bool(W&)>& ready = [](W&) { return true; })
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

// The remote log window ready for the next command, with this file listed or not: the terminal
// may start the next day's log while the window is open.
std::function<bool(TFrmLog&)> Listed(const QString& file, bool listed = true)
{
    return [file, listed](TFrmLog& w) {
        return w.SpeedButton1->isEnabled() && Column(w.ClientDataSet, "name").contains(file) == listed;
    };
}

// The row of this file alone marked, as the operator's click leaves it.
void Mark(TFrmLog& w, const QString& name)
{
    w.DBGrid->clearSelection();
    w.DBGrid->selectRow(int(Column(w.ClientDataSet, "name").indexOf(name)));
}

// Starts the console and logs in; scene runs in the message loop once the first activation, with
// its automatic check when that is on, has ended; then the operator exits, answered by answers.
void LogInAndRun(const QString& login, const QString& password, ScriptedAnswerer& answers,
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
// (with the run command's failure paths) on ports held free, the console's settings.
class OperatorDay : public ::testing::Test {
protected:
    // Once the console's message loop has ended, Qt leaves every later modal loop of the process
    // at once; so a day needs a process of its own, as ctest gives every test.
    void SetUp() override
    {
        static bool dayRan = false;
        if (std::exchange(dayRan, true))
            GTEST_SKIP() << "one day per process: run it alone (--gtest_filter=OperatorDay.<day>)";
    }

    // Settings lines added to the ones every day has; scene as for LogInAndRun.
    void Start(const QByteArray& settings, const std::function<void()>& scene)
    {
        TestDb::CreateFresh();
        TestDb::Exec(QString::fromUtf8(ReadFile(QStringLiteral(ZOL_SOURCE_DIR "/db/demo.sql"))));
        TestDb::Exec(QStringLiteral("insert into zol_user (name, landname, password, type, remark) "
                                    "values ('%1', 'duty', md5('zol123'), '1', '');"
                                    "update zol_baseinfo set port = %2;")
                         .arg(OperatorName)
                         .arg(relayPort.Number()));
        const QByteArray conf = "[system]\nAutoDetected=1\nSocketPort=" + QByteArray::number(agentPort.Number()) + '\n';
        AgentTestSupport::WriteFiles(settingsDir, {{QStringLiteral("conf.ini"), conf + settings}});
        TMainForm::SetConfigDirForTest(settingsDir.path());
        ASSERT_TRUE(demo.Start({QStringLiteral("--settings"), settingsDir.filePath(QStringLiteral("conf.ini")), QStringLiteral("--cut-off"),
                                QStringLiteral("127.0.0.15"), QStringLiteral("--agent-down"), QStringLiteral("127.0.0.19"),
                                QStringLiteral("--silent-relay"), QStringLiteral("127.0.0.122"), QStringLiteral("--boot-ms"),
                                QStringLiteral("300"), QStringLiteral("--refresh-ms"), QStringLiteral("500")}))
            << demo.Output().toStdString();
        LogInAndRun(QStringLiteral("duty"), QStringLiteral("zol123"), answers, scene);
    }

    HeldPort agentPort;
    HeldPort relayPort;
    QTemporaryDir settingsDir;
    DemoProgram demo;
    ScriptedAnswerer answers;
};

} // namespace

// Login; the automatic check sorts the terminals; one is switched off, a shut-down one started;
// the records show both operations with the operator and the outcome, are searched and exported.
TEST_F(OperatorDay, MorningRound)
{
    QTemporaryDir saved;
    Start("TimeOut=1000\n", [&] {
        EXPECT_EQ(CurrentUser ? CurrentUser->Name : QString(), OperatorName);
        EXPECT_EQ(DevTestSupport::Captions(), "正常运行(7) 网络异常(2) 关机状态(1) 关闭电源(2)");
        EXPECT_EQ(Group(DevTree::GroupError), Sorted({"北区查询机", "停车场终端"}));
        EXPECT_EQ(Group(DevTree::GroupDown), QStringList{"二楼自助机"});
        EXPECT_EQ(Group(DevTree::GroupPowerOff), Sorted({"三楼查询机", "档案室终端"}));
        EXPECT_TRUE(ConsoleText().contains(QStringLiteral("远程设备[大厅一号机:127.0.0.11]网络正常．")));
        EXPECT_TRUE(ConsoleText().contains(QStringLiteral("远程设备[停车场终端:127.0.0.15]网络异常．")));
        EXPECT_EQ(Status("停车场终端"), "up") << "the check stores nothing";

        SelectInTree("大厅一号机");
        Popup(MainForm->PmenuTree);
        MainForm->PmenuTreeDevPowerOff->trigger(); // returns when the relay controller has answered
        EXPECT_EQ(Group(DevTree::GroupPowerOff), Sorted({"三楼查询机", "大厅一号机", "档案室终端"}));
        EXPECT_EQ(Status("大厅一号机"), "poweroff");

        SelectInTree("二楼自助机");
        Popup(MainForm->PmenuTree);
        MainForm->PmenuTreeDevStart->trigger();
        // The terminal boots and stores itself as running; the next check finds it.
        EXPECT_TRUE(QTest::qWaitFor([] { return Status("二楼自助机") == "up"; }, Patience));
        MainForm->BtnPingClick();
        EXPECT_EQ(DevTestSupport::Captions(), "正常运行(7) 网络异常(2) 关机状态(0) 关闭电源(3)");
        EXPECT_TRUE(Group(DevTree::GroupUp).contains("二楼自助机"));

        MainForm->I2->trigger();
        QTableView* grid = MainForm->GrdIns;
        EXPECT_EQ(MainForm->GetActivePageIndex(), TMainForm::PageIdxIns);
        const QStringList names = Column(grid, "设备名称");
        const QStringList texts = Column(grid, "操作内容");
        EXPECT_EQ(QSet<QString>({names.value(0) + '|' + texts.value(0), names.value(1) + '|' + texts.value(1)}),
                  QSet<QString>({"大厅一号机|" + OpText("大厅一号机", "关闭远程设备电源"),
                                 "二楼自助机|" + OpText("二楼自助机", "启动远程设备操作")}));
        EXPECT_EQ(Column(grid, "操作员").mid(0, 2), QStringList(2, OperatorName));
        EXPECT_EQ(Column(grid, "状态").mid(0, 2), QStringList(2, "操作成功"));
        EXPECT_EQ(names.size(), 6) << "with the four of the demo data";

        MainForm->InsPage.DbCbxDevIns->SetKeyValue(QString::number(Id("大厅一号机")));
        MainForm->InsPage.BtnInsSearch->click();
        EXPECT_EQ(Column(grid, "设备名称"), QStringList{"大厅一号机"});

        const QString book = saved.filePath("操作日志.xlsx");
        MessageBoxes::SetFileAnswerer([&](const FileDialogRequest&) { return book; });
        MainForm->InsPage.N37->trigger();
        MessageBoxes::SetFileAnswerer({});
        const XlsxSheet sheet = ReadXlsx(book);
        EXPECT_EQ(QStringList({sheet.text.value("B1"), sheet.text.value("C1"), sheet.text.value("D1")}),
                  QStringList({"设备名称", "操作内容", "操作员"}));
        EXPECT_EQ(QStringList({sheet.text.value("B2"), sheet.text.value("C2"), sheet.text.value("D2"),
                               sheet.text.value("F2").trimmed()}),
                  QStringList({"大厅一号机", OpText("大厅一号机", "关闭远程设备电源"), OperatorName, "操作成功"}));
        EXPECT_EQ(sheet.CellsOfColumn('B'), QStringList({"B1", "B2"}));
    });

    EXPECT_EQ(TestDb::Rows("select b.name, a.user_name, a.status, a.memo from zol_op_log a join zol_baseinfo b "
                           "on a.zol_id = b.id where a.user_name = '值班长' order by b.name"),
              QStringList({"二楼自助机\t值班长\t1\t", "大厅一号机\t值班长\t1\t"}));
    EXPECT_EQ(Boxes(answers), QStringList{ExitQuestion});
}

// One running terminal looked into: its processes, its log files viewed, saved and deleted, and
// its desktop as two different pictures.
TEST_F(OperatorDay, LooksIntoOneTerminal)
{
    QTemporaryDir saved;
    const QString savedFile = saved.filePath("saved.txt");
    Start("", [&] {
        SelectInTree("大厅二号机");
        QStringList processes;
        const auto detailShown = [](TClientDetail& w) {
            return w.SetProcess.RecordCount() > 0 && !w.LblUpdateTime->text().isEmpty();
        };
        EXPECT_TRUE(Within<TClientDetail>([] { MainForm->PmenuTreeDevDetailClick(); }, [&](TClientDetail& w) {
            processes = Column(w.SetProcess, "name");
            EXPECT_EQ(w.LblDevName->text(), "大厅二号机");
            EXPECT_EQ(w.StatusPanel1->text().trimmed(), "进程数：14");
            EXPECT_TRUE(w.LblIpVolt->text().endsWith(" V"));
            w.close();
        }, detailShown));
        EXPECT_TRUE(processes.contains("kiosk.exe") && processes.contains("zolagent.exe")) << processes.join(' ').toStdString();

        const QDir folder(demo.LogFolder(QStringLiteral("127.0.0.12")));
        // The old days, today and the agent's log, whatever the hour.
        const QStringList files = folder.entryList(QDir::Files, QDir::Name);
        ASSERT_GE(files.size(), 4) << files.join(' ').toStdString();
        ASSERT_EQ(files.last(), "zolagent.log");
        QString viewed;
        EXPECT_TRUE(Within<TFrmLog>([] { MainForm->PmenuTreeDevLogClick(); }, [&](TFrmLog& w) {
            Mark(w, files.last());
            const auto filled = [](TFormGetLogFile& v) { return !v.RichEdit->toPlainText().isEmpty(); };
            EXPECT_TRUE(Within<TFormGetLogFile>([&] { w.SpeedButton2->click(); }, [&](TFormGetLogFile& v) {
                viewed = v.RichEdit->toPlainText();
                v.close();
            }, filled));
            Mark(w, files[0]);
            MessageBoxes::SetFileAnswerer([&](const FileDialogRequest&) { return savedFile; });
            w.SpeedButton3->click(); // returns when the file is written
            MessageBoxes::SetFileAnswerer({});
            Mark(w, files[1]);
            w.SpeedButton4->click(); // confirmed; the list comes again
            EXPECT_TRUE(QTest::qWaitFor([&] { return Listed(files[1], false)(w); }, Patience));
            w.close();
        }, Listed(files[1])));
        EXPECT_EQ(viewed, Gbk::Decode(ReadFile(folder.filePath(files.last()))).replace("\r\n", "\n"));
        EXPECT_TRUE(viewed.contains("[大厅二号机] 系统启动，终端代理服务开始运行"));
        EXPECT_EQ(ReadFile(savedFile), ReadFile(folder.filePath(files[0])));
        const QStringList left = folder.entryList(QDir::Files, QDir::Name);
        EXPECT_TRUE(!left.contains(files[1]) && left.contains(files[0]) && left.contains(files.last()))
            << left.join(' ').toStdString();

        QByteArray first;
        const auto secondPicture = [&](TFormDevDesktop& w) {
            if (first.isEmpty())
                first = w.PictureJpeg;
            return !w.PictureJpeg.isEmpty() && w.PictureJpeg != first;
        };
        EXPECT_TRUE(Within<TFormDevDesktop>([] { MainForm->PmenuTreeDevDesktopClick(); }, [](TFormDevDesktop& w) {
            EXPECT_EQ(w.Picture.size(), QSize(800, 600));
            w.close();
        }, secondPicture));
        EXPECT_EQ(JpegImage::Decode(first).size(), QSize(800, 600));
        EXPECT_TRUE(QTest::qWaitFor([] { return ThreadDevDesktop::LiveCount() == 0; }, Patience));
    });
    EXPECT_EQ(Boxes(answers), QStringList({QStringLiteral("确认|您确定要删除已选日志吗？"), ExitQuestion}));
}

// The records kept up to date: a terminal added, edited and deleted; a planned task for every
// terminal; a new operator, who then logs in on a console of his own.
TEST_F(OperatorDay, KeepsTheRecords)
{
    Start("", [&] {
        EXPECT_TRUE(Within<TFormDevEdit>([] { MainForm->MenuItem3->trigger(); }, [&](TFormDevEdit& d) {
            d.EdtDevName->setText("新增查询机");
            d.EdtDevIp->setText("127.0.0.23");
            d.EdtDevMac->setText("00-1A-2B-3C-4D-0D");
            d.EdtDevPos->setText("五楼大厅");
            d.EdtRelayIp->setText("127.0.0.123");
            d.EdtDevPort->setText(QString::number(relayPort.Number()));
            d.BtnOkClick(); // saves, closes and checks the new terminal
        }));
        EXPECT_EQ(TestDb::Scalar("select concat_ws('|', ip, mac, position, relayIp, port, status) from zol_baseinfo a "
                                 "join zol_status b on a.id = b.zol_id where name = '新增查询机'"),
                  QStringLiteral("127.0.0.23|00-1A-2B-3C-4D-0D|五楼大厅|127.0.0.123|%1|down").arg(relayPort.Number()));
        EXPECT_EQ(Group(DevTree::GroupDown), Sorted({"二楼自助机", "新增查询机"}));

        const int added = Id("新增查询机");
        SelectInTree("新增查询机");
        EXPECT_TRUE(Within<TFormDevEdit>([] { MainForm->MenuItem4->trigger(); }, [](TFormDevEdit& d) {
            EXPECT_EQ(d.EdtDevIp->text(), "127.0.0.23");
            d.EdtDevName->setText("五楼查询机");
            d.BtnOkClick();
        }));
        EXPECT_EQ(TestDb::Scalar(QStringLiteral("select name from zol_baseinfo where id = %1").arg(added)), "五楼查询机");
        EXPECT_EQ(Group(DevTree::GroupDown), Sorted({"二楼自助机", "五楼查询机"}));

        SelectInTree("五楼查询机");
        MainForm->MenuItem5->trigger(); // confirmed
        EXPECT_EQ(TestDb::Scalar(QStringLiteral("select count(*) from zol_baseinfo a, zol_status b where a.id = %1 "
                                                "or b.zol_id = %1").arg(added)),
                  "0");
        EXPECT_EQ(DevTestSupport::NodeOf(added), nullptr);
        EXPECT_EQ(DevTestSupport::Captions(), "正常运行(7) 网络异常(2) 关机状态(1) 关闭电源(2)");

        QString when;
        EXPECT_TRUE(Within<TFormTaskEdit>([] { MainForm->N17->trigger(); }, [&](TFormTaskEdit& d) {
            EXPECT_EQ(d.DbCbxDevTask->Text(), "全部设备");
            d.DtpShutdownTime->setDateTime(QDateTime(QDate::currentDate(), QTime(23, 30)));
            when = d.DtpShutdownTime->dateTime().toString("yyyy-MM-dd HH:mm:ss");
            d.BtnOkClick();
        }));
        EXPECT_EQ(TestDb::Scalar(QStringLiteral("select concat(count(*), '|', count(distinct zol_id)) from zol_scheduletask "
                                                "where shutdown_time = '%1' and task_type_id = 1").arg(when)),
                  "12|12");
        EXPECT_EQ(MainForm->GetActivePageIndex(), TMainForm::PageIdxTask);
        EXPECT_EQ(Column(MainForm->GrdTask, "设备名称").size(), 14) << "the two of the demo data and twelve new";

        MainForm->N58->trigger();
        EXPECT_TRUE(Within<TFormUserInsert>([] { MainForm->N3->trigger(); }, [](TFormUserInsert& d) {
            d.Editname->setText("夜班值守");
            d.Editlandname->setText("night");
            d.Editpassword->setText("night123");
            d.RGUserType->SetItemIndex(1);
            d.BitBtn1Click();
        }));
        EXPECT_TRUE(Column(MainForm->GrdUser, "姓名").contains("夜班值守")) << Column(MainForm->GrdUser, "姓名").join(' ').toStdString();
    });
    EXPECT_EQ(TestDb::Scalar("select concat_ws('|', landname, password, type) from zol_user where name = '夜班值守'"),
              "night|" + MD5String("night123") + "|2");

    // The second console: this program again, running only the login below in a process of its own.
    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ZOL_DAY_LOGIN", "night");
    env.insert("ZOL_DAY_PASSWORD", "night123");
    second.setProcessEnvironment(env);
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=SecondConsole.*"});
    const bool ended = second.waitForFinished(Patience);
    const QString output = QString::fromUtf8(second.readAll());
    ASSERT_TRUE(ended) << output.toStdString();
    EXPECT_EQ(second.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("logged in: 夜班值守, type 2")) << output.toStdString();
    EXPECT_EQ(Boxes(answers), QStringList({QStringLiteral("确认|您确定要删除已选设备吗？"), ExitQuestion}));
}

// The time-out changed in the settings dialog: the next check of the terminal that is cut off
// from the network gives up after the new time-out, not after the old one.
TEST_F(OperatorDay, TunesTheCheck)
{
    static constexpr int OldTimeOut = 5000;
    static constexpr int NewTimeOut = 300;
    Start("TimeOut=" + QByteArray::number(OldTimeOut) + "\n", [&] {
        EXPECT_EQ(TimeOut, OldTimeOut);
        EXPECT_TRUE(Within<TFormPreference>([] { MainForm->N18->trigger(); }, [](TFormPreference& d) {
            EXPECT_EQ(d.EdtTimeOut->text(), QString::number(OldTimeOut));
            d.EdtTimeOut->setText(QString::number(NewTimeOut));
            d.OKBtnClick();
        }));
        EXPECT_EQ(TimeOut, NewTimeOut);
        EXPECT_EQ(MainForm->IniReadInteger("TimeOut", 0), NewTimeOut);

        SelectInTree("停车场终端");
        const QString line = QStringLiteral("远程设备[停车场终端:127.0.0.15]网络异常．");
        const qsizetype before = ConsoleText().count(line);
        QElapsedTimer clock;
        clock.start();
        MainForm->MenuItem7->trigger(); // returns when the check has ended
        const qint64 took = clock.elapsed();
        EXPECT_EQ(ConsoleText().count(line), before + 1);
        EXPECT_GE(took, NewTimeOut) << "the connection attempt hangs until the time-out";
        EXPECT_LT(took, OldTimeOut) << "the old time-out still applies";
    });
    EXPECT_EQ(Boxes(answers), QStringList{ExitQuestion});
}

// KeepsTheRecords runs this in a process of its own: it logs in with the account it is given and
// reports who the console took it for.
TEST(SecondConsole, LogsInWithTheAccountItIsGiven)
{
    const QString login = qEnvironmentVariable("ZOL_DAY_LOGIN");
    if (login.isEmpty())
        GTEST_SKIP() << "runs as the second console of KeepsTheRecords";
    QTemporaryDir settings;
    AgentTestSupport::WriteFiles(settings, {{QStringLiteral("conf.ini"), "[system]\nAutoDetected=0\n"}});
    TMainForm::SetConfigDirForTest(settings.path());
    ScriptedAnswerer answers;
    bool ran = false;
    LogInAndRun(login, qEnvironmentVariable("ZOL_DAY_PASSWORD"), answers, [&] {
        std::printf("logged in: %s, type %d\n", CurrentUser->Name.toUtf8().constData(), CurrentUser->type);
        std::fflush(stdout);
        ran = true;
    });
    EXPECT_TRUE(ran);
}
