// The remote log window against a fake agent: the list, browse, save as, delete, refresh and failures.
#include "platform/Application.h"
#include "platform/DataSetModel.h"
#include "platform/GbkCodec.h"
#include "support/AgentTestSupport.h"
#include "windows/FrmGetLogFile.h"
#include "windows/FrmLogDev.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QTableView>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

using namespace AgentTestSupport;

namespace {

const QString LongName = QString(70, QChar(u'长')) + QStringLiteral(".log"); // 144 bytes in GBK

class LogWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SetUpConsole(); }
    void SetUp() override
    {
        TestDb::Truncate();
        TimeOut = 10000;
        UseAgent(agent);
        agent.SetLogFolder(logs.path());
        id = DevTestSupport::AddTerminal(QStringLiteral("甲"), QStringLiteral("up"), agent.Ip());
        WriteFiles(logs, {{"a.log", QByteArray(999, 'a')},
                          {"b.log", "b\r\nline two\r\n"},
                          {"c.log", QByteArray(1536000, 'c')},
                          {"d.log", QByteArray(1000, 'd')},
                          {LongName, Gbk::Encode(QStringLiteral("长名字的日志"))}});
    }
    // The window as the main window opens it.
    std::unique_ptr<TFrmLog> Window(int devId)
    {
        auto w = std::make_unique<TFrmLog>();
        const QString ip = w->SelectIpById(QString::number(devId));
        w->LbDevIp->setText(ip);
        w->setWindowTitle(QStringLiteral("远程日志列表-") + ip);
        return w;
    }
    static bool Listed(TFrmLog& w, int rows)
    {
        return QTest::qWaitFor([&] { return w.SpeedButton1->isEnabled() && w.ClientDataSet.RecordCount() == rows; },
                               Patience);
    }
    static QStringList Column(TFrmLog& w, const QString& field)
    {
        QStringList values;
        const DataSet& set = w.ClientDataSet;
        for (int r = 0; r < set.RecordCount(); ++r)
            values << set.Cell(r, set.FieldIndex(field)).value_or("NULL");
        return values;
    }
    static void Mark(TFrmLog& w, std::initializer_list<int> rows)
    {
        w.DBGrid->clearSelection();
        for (int r : rows)
            w.DBGrid->selectionModel()->select(w.DataSource->index(r, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    FakeAgent agent;
    QTemporaryDir logs;
    int id = 0;
};

// Authentication on the window's connection, the list through its worker: numbered rows, sizes
// in units of 1000 bytes, the true size kept, a long name shown cut. The buttons come on.
TEST_F(LogWindowTest, ListsTheTerminalsLogFiles)
{
    ScriptedAnswerer answers;
    auto w = Window(id);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("远程日志列表-") + agent.Ip());
    EXPECT_TRUE(RunModal(*w, [&] {
        ASSERT_TRUE(Listed(*w, 5));
        EXPECT_EQ(Column(*w, "id"), QStringList({"1", "2", "3", "4", "5"}));
        EXPECT_EQ(Column(*w, "size"), QStringList({"0KB", "0KB", "1536KB", "1KB", "0KB"}));
        EXPECT_EQ(Column(*w, "truesize"), QStringList({"999", "13", "1536000", "1000", "12"}));
        EXPECT_EQ(Column(*w, "name").mid(0, 4), QStringList({"a.log", "b.log", "c.log", "d.log"}));
        EXPECT_EQ(Column(*w, "name")[4], LongName.left(64)) << "cut to 128 bytes";
        EXPECT_FALSE(w->DBGrid->isColumnHidden(w->DataSource->ColumnOfField("lasttime")));
        EXPECT_TRUE(w->DBGrid->isColumnHidden(w->DataSource->ColumnOfField("truesize")));
        w->close();
    }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return agent.LinesStartingWith("exit").size() == 2; }, Patience));
    const QStringList lines = agent.Lines();
    EXPECT_EQ(lines.filter(QRegularExpression("^auth,")).size(), 2) << "the window's and the worker's";
    EXPECT_EQ(lines.mid(1).filter(QRegularExpression("^(listlogs|exit)$")), QStringList({"listlogs", "exit", "exit"}));
    EXPECT_EQ(Boxes(answers), QStringList());
}

// Two marked rows: the box, nothing opens; one marked row: the viewer at once, with the file's
// text and its caption; the whole name is asked for, also when the grid shows it cut.
TEST_F(LogWindowTest, BrowseOpensTheViewerForOneRow)
{
    ScriptedAnswerer answers;
    auto w = Window(id);
    QString shown, caption;
    EXPECT_TRUE(RunModal(*w, [&] {
        ASSERT_TRUE(Listed(*w, 5));
        Mark(*w, {0, 2});
        w->SpeedButton2->click();
        EXPECT_EQ(Boxes(answers), QStringList{QStringLiteral("错误提示|浏览时一次只能选择一个对象！")});
        EXPECT_EQ(answers.Last().icon, MsgIcon::None);
        for (int row : {1, 4}) {
            Mark(*w, {row});
            WhenReady([] { return FormGetLogFile && QApplication::activeModalWidget() == FormGetLogFile; }, [&] {
                shown = FormGetLogFile->RichEdit->toPlainText();
                caption = FormGetLogFile->windowTitle();
                FormGetLogFile->close();
            });
            w->SpeedButton2->click();
            EXPECT_EQ(shown, row == 1 ? QStringLiteral("b\nline two\n") : QStringLiteral("长名字的日志"));
            EXPECT_EQ(caption, (row == 1 ? QStringLiteral("b.log") : LongName) + "  --  " + agent.Ip());
        }
        w->close();
    }));
    EXPECT_EQ(agent.LinesStartingWith("getlog"), QStringList({"getlog,b.log", "getlog," + LongName}));
    EXPECT_EQ(FormGetLogFile, nullptr);
}

// Save as: the proposed name is the file's with ".txt"; the bytes arrive unchanged; a cancelled
// dialog fetches nothing. With no row at all browse and save as stop without a word.
TEST_F(LogWindowTest, SaveAsWritesTheChosenFile)
{
    QTemporaryDir local;
    ScriptedAnswerer answers;
    QStringList asked;
    QString answer;
    MessageBoxes::SetFileAnswerer([&](const FileDialogRequest& r) {
        asked << r.caption + '|' + r.fileName + '|' + r.filter + '|' + r.defaultSuffix;
        return answer;
    });
    auto w = Window(id);
    EXPECT_TRUE(RunModal(*w, [&] {
        ASSERT_TRUE(Listed(*w, 5));
        Mark(*w, {1});
        w->SpeedButton3->click(); // cancelled
        answer = local.filePath("b.txt");
        w->N2->trigger();
        w->ClientDataSet.Clear();
        w->SpeedButton3->click();
        w->SpeedButton2->click();
        w->close();
    }));
    EXPECT_EQ(asked, QStringList(2, QStringLiteral("另存为|b.log.txt|文本文件 (*.txt)|txt")));
    EXPECT_EQ(ReadFile(local.filePath("b.txt")), "b\r\nline two\r\n");
    EXPECT_EQ(agent.LinesStartingWith("getlog"), QStringList{"getlog,b.log"});
    EXPECT_EQ(Boxes(answers), QStringList());
}

// Delete, confirmed: one line naming every marked row in grid order, then the list again. With
// nothing to delete nothing is sent and the button stays off; declined, nothing happens.
TEST_F(LogWindowTest, DeleteSendsOneLineAndListsAgain)
{
    ScriptedAnswerer answers;
    auto w = Window(id);
    EXPECT_TRUE(RunModal(*w, [&] {
        ASSERT_TRUE(Listed(*w, 5));
        Mark(*w, {4, 0, 1});
        answers.Answer(MsgResult::Cancel);
        w->SpeedButton4->click();
        EXPECT_TRUE(w->SpeedButton4->isEnabled());
        w->SpeedButton4->click();
        EXPECT_FALSE(w->SpeedButton4->isEnabled());
        ASSERT_TRUE(Listed(*w, 2));
        EXPECT_EQ(Column(*w, "name"), QStringList({"c.log", "d.log"}));

        w->SpeedButton1->click(); // refresh: buttons off and the table empty until the list comes
        EXPECT_FALSE(w->SpeedButton2->isEnabled());
        EXPECT_EQ(w->ClientDataSet.RecordCount(), 0);
        ASSERT_TRUE(Listed(*w, 2));
        w->ClientDataSet.Clear();
        w->N3->trigger();
        EXPECT_FALSE(w->SpeedButton4->isEnabled());
        w->close();
    }));
    EXPECT_EQ(agent.LinesStartingWith("dellog"), QStringList{"dellog,a.log,b.log," + LongName});
    EXPECT_EQ(Boxes(answers), QStringList(3, QStringLiteral("确认|您确定要删除已选日志吗？")));
}

// Failures of the window's own connection and of the list, each with its box.
TEST_F(LogWindowTest, FaultsOfTheAgent)
{
    using F = FakeAgent::Fault;
    const QString title = QString::fromUtf8(ApplicationTitle);
    const QString nothing = Warning("由于网络原因获得文件名时发生错误!");
    const struct {
        F fault;
        QStringList boxes; // the standard exception box by its caption alone
        bool closes;
        int rows; // -1: no list
    } cases[] = {
        {F::Refuse, {title + QStringLiteral("|Socket连接错误！")}, true, -1},
        {F::Silent, {Warning("Socket连接超时！")}, true, -1},
        {F::RejectKey, {Warning("密钥错误,建立连接失败！")}, true, -1},
        {F::Late, {}, false, 5},
        {F::Split, {}, false, 5},
        {F::Batch, {}, false, 5},
        {F::Oversized, {}, false, 5},
        {F::Garbage, {title}, false, -1},
        {F::CloseMidTransfer, {title}, false, -1},
        {F::CloseAfterAuth, {nothing, title}, false, -1},
    };
    agent.SetLateMs(QuietMs() / 4); // well within the quiet wait of the list's transfer
    for (const auto& c : cases) {
        agent.SetFault(c.fault, c.fault == F::Garbage || c.fault == F::CloseMidTransfer ? FakeAgent::Scope::CommandsOnly
                                                                                         : FakeAgent::Scope::All);
        TimeOut = c.fault == F::Silent ? 1000 : 10000;
        ScriptedAnswerer answers;
        auto w = Window(id);
        bool closedByItself = true;
        EXPECT_TRUE(RunModal(*w, [&] {
            if (c.closes)
                return;
            if (c.rows >= 0)
                EXPECT_TRUE(Listed(*w, c.rows)) << int(c.fault);
            else
                EXPECT_TRUE(QTest::qWaitFor([&] { return answers.Count() >= c.boxes.size(); }, Patience));
            closedByItself = !w->isVisible();
            w->close();
        })) << int(c.fault);
        EXPECT_EQ(closedByItself, c.closes) << int(c.fault);
        QStringList boxes = Boxes(answers);
        for (QString& box : boxes)
            if (box.startsWith(title + '|') && !box.endsWith(QStringLiteral("Socket连接错误！")))
                box = title;
        // Whether "listlogs" still went out before the worker saw the close is up to the network;
        // if it did not, the send failed and said so.
        if (c.fault == F::CloseAfterAuth && boxes.size() == 3) {
            EXPECT_EQ(boxes.takeFirst(), Warning("连接发生错误!"));
        }
        EXPECT_EQ(boxes, c.boxes) << int(c.fault);
        if (c.fault == F::Refuse) {
            EXPECT_EQ(answers.Last().icon, MsgIcon::None);
        }
        if (c.fault == F::Silent) {
            EXPECT_EQ(w->TimeoutTicks(), 2);
        }
    }
}

// An id without a row: the query's warning, then the empty address cannot be opened.
TEST_F(LogWindowTest, UnknownTerminal)
{
    ScriptedAnswerer answers;
    auto w = Window(id + 1000);
    EXPECT_TRUE(RunModal(*w));
    EXPECT_EQ(Boxes(answers), QStringList({Warning("数据库查询失败！"), Warning("Socket连接出错！")}));
    EXPECT_EQ(agent.Connections(), 0);
}

} // namespace
