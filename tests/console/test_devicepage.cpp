// The device page of the main window. The device tree (building, moves from the UI and from worker
// threads) and the detail box; the remote commands: popup menus and their enabling, power commands
// without a terminal, the network check of the listed rows, remote control.
#include "console/RecordTestSupport.h"
#include "platform/DataSetModel.h"
#include "support/ReachabilityPeers.h"
#include "terminal/ThreadTelnet.h"

#include <QTest>
#include <thread>

using namespace DevTestSupport;
using RecordTestSupport::Boxes;

namespace {

constexpr int ShortTimeOutMs = 300;
constexpr int Patience = 20000; // upper bound of every wait
const QString Refusing = ReachabilityPeers::RefusingIp; // terminals there fail their check

// Enabling of menu's device items: log, desktop, detail, start, shutdown, power on, power off, control.
// All of them are shown.
QString Items(const QString& menu)
{
    QString s;
    for (const char* item : {"Log", "Desktop", "Detail", "Start", "Shutdown", "PowerOn", "PowerOff", "Ctrl"}) {
        QAction* a = MainForm->findChild<QAction*>(menu + item);
        EXPECT_TRUE(a->isVisible()) << item;
        s += a->isEnabled() ? '1' : '0';
    }
    return s;
}
void OpenAndClose(QMenu* menu)
{
    menu->popup(QPoint(10, 10));
    Pump();
    menu->hide();
}

class RemoteCommandsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ConsoleDb::SetUp();
        designSql_ = MainForm->QueryGrdDev.CommandText;
        TimeOut = ShortTimeOutMs;
        static ReachabilityPeers peers;
        MainForm->IniWriteInteger(QStringLiteral("SocketPort"), peers.Port());
    }
    static void TearDownTestSuite() { (void)QTest::qWaitFor([] { return ThreadTelnet::LiveCount() == 0; }, Patience); }
    void SetUp() override
    {
        TestDb::Truncate();
        MainForm->ShowPageDev();
        ConsoleDb::ClearLog();
    }
    // The grid shows every terminal (or the rows of sql), the tree is rebuilt, nothing selected.
    static void Reload(const QString& sql = QString())
    {
        DataSet& grid = MainForm->QueryGrdDev;
        grid.CommandText = designSql_;
        sql.isEmpty() ? FormDbMod->ReopenQuery(grid) : FormDbMod->QuerySqlOn(sql, grid);
        MainForm->BuildDevTree();
        MainForm->GrdDev->clearSelection();
        MainForm->TreeDev->setCurrentItem(nullptr);
        Pump();
    }
    static void GoToRow(int id)
    {
        ASSERT_TRUE(MainForm->QueryGrdDev.Locate(QStringLiteral("id"), QString::number(id))) << id;
        Pump();
    }

    static inline QString designSql_;
};

// The tree and detail box tests start with an empty detail box.
class DevTreeTest : public RemoteCommandsTest {
protected:
    void SetUp() override
    {
        RemoteCommandsTest::SetUp();
        MainForm->LblDevId->clear();
    }
    static int AddWithTemp(const QString& name, const QString& status, const QString& temp)
    {
        const int id = AddTerminal(name, status, "192.168.1.20");
        TestDb::Exec(QStringLiteral("insert into zol_temp (zol_id, temp) values (%1, %2)").arg(id).arg(temp));
        return id;
    }
    static QStringList Box() // the labels, then State()
    {
        TMainForm* f = MainForm;
        return {f->LblDevId->text(), f->LblDevName->text(), f->LblDevIp->text(), f->LblDevMac->text(),
                f->LblDevPos->text(), f->LblDevActiveIp->text(), f->LblDevPort->text(), f->LblDevTemp->text(), State()};
    }
    static QString State() // power and network texts, then the run, stop, net good, net error pictures: "1010"
    {
        QString s = MainForm->LblDevStatus->text() + "/" + MainForm->LblDevNet->text() + " ";
        for (QLabel* img : {MainForm->ImgDevRun, MainForm->ImgDevStop, MainForm->ImgNetSuc, MainForm->ImgNetError})
            s += img->isHidden() ? '0' : '1';
        return s;
    }
    static QString Groups() // each group's caption and names: "正常运行(2) a,b | 网络异常(0)  | ..."
    {
        QStringList g;
        for (int i = 1; i <= DevTree::GroupCount; ++i)
            g << Tree().GroupNode(i)->text(0) + ' ' + Names(i).join(',');
        return g.join(" | ");
    }
};

TEST_F(DevTreeTest, BuildGroupsTerminalsByStoredWord)
{
    // No status row, blanks around the word, an empty word, and "Down" (not "down": running).
    for (const auto& [name, status] : std::vector<std::pair<QString, std::optional<QString>>>{
             {"无状态", {}}, {"两边空格", "  down "}, {"空白", ""}, {"运行", "up"}, {"断电", "poweroff"},
             {"异常", "error"}, {"断电2", " poweroff "}, {"关机", "down"}, {"其他", "Down"}})
        AddTerminal(name, status);
    for (int build = 0; build < 2; ++build) { // a rebuild replaces every node
        MainForm->BuildDevTree();
        EXPECT_EQ(Groups(), "正常运行(3) 运行,异常,其他 | 网络异常(0)  | 关机状态(2) 两边空格,关机 | 关闭电源(4) 无状态,空白,断电,断电2");
    }
}

// A move goes last in its new group and recounts both (caption and tag); a stored shutdown or
// power-off outranks the check's word; no status row (or id 0) moves nothing.
TEST_F(DevTreeTest, MovesFollowTheCheckUnlessStoredShutdownOrPowerOff)
{
    std::vector<int> t;
    for (int i = 0; i < 5; ++i)
        t.push_back(AddTerminal(QStringLiteral("T%1").arg(i), "up"));
    const int down = AddTerminal("停", "down");
    const int none = AddTerminal("无");
    MainForm->BuildDevTree();
    MainForm->UpdateDevNetState(none, Consts::StatusUp);
    MainForm->UpdateDevNetState(0, Consts::StatusUp);
    EXPECT_TRUE(MainForm->LblDevId->text().isEmpty()) << "no status row or no id: not even the detail box";
    SetStored(t[1], "poweroff");
    for (const auto& [id, state] : std::vector<std::pair<int, QString>>{
             {t[1], Consts::StatusUp}, {t[0], Consts::StatusError}, {t[3], Consts::StatusError},
             {t[0], Consts::StatusUp}, {t[2], Consts::StatusUp}, {down, Consts::StatusUp}})
        MainForm->UpdateDevNetState(id, state);
    EXPECT_EQ(Groups(), "正常运行(3) T2,T4,T0 | 网络异常(1) T3 | 关机状态(1) 停 | 关闭电源(2) 无,T1"); // T2 stays in place
    EXPECT_EQ(std::pair(DevTree::TagOf(Tree().GroupNode(1)), DevTree::TagOf(Tree().GroupNode(4))), std::pair(-3, -2));
}

// Workers flip their own terminals between error and up (odd ones end on up); the UI thread applies them in order.
TEST_F(DevTreeTest, WorkerCallsApplyOnUiThreadInCallOrder)
{
    constexpr int Workers = 4;
    constexpr int PerWorker = 5;
    constexpr int Rounds = 7;
    std::vector<int> ids; // worker w's are ids[w * PerWorker ...]
    for (int i = 0; i < Workers * PerWorker; ++i)
        ids.push_back(AddTerminal(QStringLiteral("W%1-%2").arg(i / PerWorker).arg(i % PerWorker), "up"));
    MainForm->BuildDevTree();
    std::vector<std::jthread> threads;
    for (int w = 0; w < Workers; ++w)
        threads.emplace_back([w, &ids] {
            for (int r = 0; r < Rounds + (w % 2); ++r)
                for (int i = w * PerWorker; i < (w + 1) * PerWorker; ++i)
                    MainForm->UpdateDevNetState(ids[i], r % 2 == 0 ? Consts::StatusError : Consts::StatusUp);
        });
    threads.clear(); // joins
    EXPECT_EQ(Captions(), "正常运行(20) 网络异常(0) 关机状态(0) 关闭电源(0)") << "workers must not touch the tree";
    Pump();
    for (int i = 0; i < Workers * PerWorker; ++i)
        EXPECT_EQ(MainForm->GetDevNetState(ids[i]), i / PerWorker % 2 ? Consts::StatusUp : Consts::StatusError) << i;
    EXPECT_EQ(Captions(), "正常运行(10) 网络异常(10) 关机状态(0) 关闭电源(0)");
    EXPECT_EQ(Names(2).filter("W0-"), QStringList({"W0-0", "W0-1", "W0-2", "W0-3", "W0-4"}));

    // A call on the UI thread runs at once; the worker's earlier call still waiting must not undo it.
    std::thread([&ids] { MainForm->UpdateDevNetState(ids[0], Consts::StatusUp); }).join();
    MainForm->UpdateDevNetState(ids[0], Consts::StatusError);
    EXPECT_EQ(MainForm->GetDevNetState(ids[0]), Consts::StatusError);
    Pump();
    EXPECT_EQ(MainForm->GetDevNetState(ids[0]), Consts::StatusError);
}

// The detail box: each field of the terminal, its stored state and temperature (as the grids show
// it; a negative one, or none ever sent, is unknown, a stored 0 is 0), following the moves of the
// shown terminal; a deleted terminal empties it.
TEST_F(DevTreeTest, DetailBoxTextsMovesAndDeletion)
{
    const int id = AddWithTemp("一号机", "up", "45.3");
    const std::vector<std::tuple<int, QString, QString>> table = {
        {AddWithTemp("负", "down", "-1.5"), "已关机/已关机 0101", "未知"},
        {AddWithTemp("零度", "down", "0"), "已关机/已关机 0101", "0"},
        {AddWithTemp("空读数", "down", "null"), "已关机/已关机 0101", "未知"},
        {AddTerminal("无温度", "down"), "已关机/已关机 0101", "未知"},
        {AddTerminal("断电", "poweroff"), "已关闭电源/已关闭电源 0101", "未知"},
        {AddTerminal("其他词", "error"), "已关机/网络良好 0110", "未知"}, // running in the tree, stored word no "up"
        {AddTerminal("无状态行"), "已关机/已关闭电源 0101", "未知"}};
    MainForm->BuildDevTree();
    for (const auto& [terminal, state, temp] : table) {
        MainForm->ShowDevDetail(terminal);
        EXPECT_EQ(State() + " " + MainForm->LblDevTemp->text(), state + " " + temp) << terminal;
    }
    MainForm->ShowDevDetail(id);
    EXPECT_EQ(Box(), QStringList({QString::number(id), "一号机", "192.168.1.20", "AA-BB", "大厅", "10.0.0.9", "4001",
                                  "45.3", "已启动/网络良好 1010"}));
    EXPECT_TRUE(MainForm->BtnDevPing->isEnabled());

    const std::vector<std::tuple<QString, QString, QString>> moves = {
        {"up", Consts::StatusError, "已启动/网络异常 1001"},
        {"down", Consts::StatusUp, "已关机/已关机 0101"},
        {"poweroff", Consts::StatusUp, "已关闭电源/已关闭电源 0101"}};
    for (const auto& [stored, checked, state] : moves) {
        SetStored(id, stored);
        MainForm->UpdateDevNetState(id, checked);
        EXPECT_EQ(State(), state) << stored.toStdString();
    }

    TestDb::Exec(QStringLiteral("delete from zol_baseinfo where id = %1").arg(id));
    MainForm->ShowDevDetail(id);
    EXPECT_EQ(Box(), QStringList({"", "", "", "", "", "", "未知", "0", "/ 0000"}));
    EXPECT_FALSE(MainForm->BtnDevPing->isEnabled());
}

// The detail box shows the grid's current terminal however the row moves: a key, a jump to a
// record, a refresh.
TEST_F(DevTreeTest, DetailBoxFollowsTheCurrentRow)
{
    AddTerminal("A-dev", "up");
    AddTerminal("B-dev", "down");
    AddTerminal("C-dev", "poweroff");
    MainForm->BuildDevTree();
    FormDbMod->ReopenQuery(MainForm->QueryGrdDev); // sorted by name
    const auto shown = [] {
        DevTestSupport::Pump();
        return MainForm->LblDevName->text();
    };
    EXPECT_EQ(shown(), QStringLiteral("A-dev"));
    MainForm->GrdDev->setFocus();
    QTest::keyClick(MainForm->GrdDev, Qt::Key_Down);
    EXPECT_EQ(shown(), QStringLiteral("B-dev"));
    MainForm->QueryGrdDev.Locate(QStringLiteral("name"), QStringLiteral("C-dev"));
    EXPECT_EQ(shown(), QStringLiteral("C-dev"));
    EXPECT_EQ(MainForm->LblDevStatus->text(), QStringLiteral("已关闭电源"));
    MainForm->BtnRefreshClick(); // the refreshed grid starts again at its first row
    EXPECT_EQ(shown(), QStringLiteral("A-dev"));
}

// Each state's row of the enabling table, reached from the tree popup and from the grid popup;
// both set the device items of both menus alike. A group node or an empty grid disables them all,
// and power commands then only warn.
TEST_F(RemoteCommandsTest, PopupEnablingFollowsTheTerminalsGroup)
{
    Reload();
    OpenAndClose(MainForm->PmenuDevGrd);
    EXPECT_EQ(Items("PmenuGridDev") + Items("PmenuTreeDev"), "0000000000000000");
    ScriptedAnswerer answers;
    for (auto click : {&TMainForm::PmenuGridDevStartClick, &TMainForm::PmenuGridDevShutdownClick,
                       &TMainForm::PmenuGridDevPowerOffClick, &TMainForm::PmenuGridDevPowerOnClick,
                       &TMainForm::PmenuTreeDevStartClick, &TMainForm::PmenuTreeDevShutdownClick,
                       &TMainForm::PmenuTreeDevPowerOffClick, &TMainForm::PmenuTreeDevPowerOnClick})
        (MainForm->*click)();
    EXPECT_EQ(Boxes(answers), QStringList(4, QStringLiteral("警告|请在设备列表上选择设备后，再进行此操作！|2|0")) +
                                  QStringList(4, QStringLiteral("警告|请在设备树上选择设备后，再进行此操作！|2|0")));
    EXPECT_EQ(TestDb::Scalar("select count(*) from zol_op_log"), "0");

    const int up = AddTerminal("正常", "up", Refusing);
    const int error = AddTerminal("异常", "up", Refusing);
    const int down = AddTerminal("关机", "down", Refusing);
    const int off = AddTerminal("断电", "poweroff", Refusing);
    Reload();
    MainForm->UpdateDevNetState(error, Consts::StatusError);
    for (const auto& [id, expected] : std::vector<std::pair<int, QString>>{
             {up, "11101011"}, {error, "00001011"}, {down, "00010011"}, {off, "00000101"}}) {
        MainForm->TreeDev->setCurrentItem(NodeOf(id));
        OpenAndClose(MainForm->PmenuTree);
        EXPECT_EQ(Items("PmenuTreeDev") + Items("PmenuGridDev"), expected + expected) << id;
        MainForm->TreeDev->setCurrentItem(Tree().GroupNode(1));
        OpenAndClose(MainForm->PmenuTree);
        EXPECT_EQ(Items("PmenuTreeDev"), "00000000");
        GoToRow(id);
        OpenAndClose(MainForm->PmenuDevGrd);
        EXPECT_EQ(Items("PmenuGridDev") + Items("PmenuTreeDev"), expected + expected) << id;
    }
}

// After a search that leaves three rows, checking "all" checks those three only, and leaves no
// selection behind, the first record current and the tree expanded.
TEST_F(RemoteCommandsTest, CheckAllCoversTheListedRowsOnly)
{
    for (const char* name : {"北区-1", "南区-1", "北区-2", "南区-2", "北区-3"})
        AddTerminal(QString::fromUtf8(name), "up", Refusing);
    Reload("select * from zol_baseinfo a left join zol_status b on a.id = b.zol_id where name like '北区%' order by name");
    MainForm->QueryGrdDev.Last();
    MainForm->TreeDev->collapseAll();

    MainForm->Ping2->trigger();
    Pump();
    // A moved node goes last in its group, so the order follows when each probe finished.
    QStringList moved = Names(DevTree::GroupError);
    moved.sort();
    EXPECT_EQ(moved, QStringList({"北区-1", "北区-2", "北区-3"}));
    EXPECT_EQ(Names(DevTree::GroupUp), QStringList({"南区-1", "南区-2"}));
    EXPECT_EQ(ConsoleDb::LogText().count(QStringLiteral("网络异常．")), 3);
    EXPECT_TRUE(MainForm->GrdDev->selectionModel()->selectedRows().isEmpty());
    EXPECT_EQ(MainForm->QueryGrdDev.RecNo(), 1);
    for (int g = 0; g <= DevTree::GroupCount; ++g) // the root, then each group
        EXPECT_TRUE((g ? Tree().GroupNode(g) : Tree().Root())->isExpanded()) << g;
}

// A right click opens the popup over the rows as the operator left them: the current row and the
// selection stay, so the check of the selected terminals checks those, not the row under the mouse.
TEST_F(RemoteCommandsTest, RightClickKeepsTheRowsThePopupActsOn)
{
    for (const char* name : {"一号", "二号", "三号", "四号"})
        AddTerminal(QString::fromUtf8(name), "up", Refusing);
    Reload("select * from zol_baseinfo a left join zol_status b on a.id = b.zol_id order by a.id");
    QTableView* grid = MainForm->GrdDev;
    QItemSelectionModel* selection = grid->selectionModel();
    selection->setCurrentIndex(grid->model()->index(0, 2), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    selection->setCurrentIndex(grid->model()->index(2, 2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const QRect underMouse = grid->visualRect(grid->model()->index(3, 2));
    ASSERT_TRUE(underMouse.isValid());

    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, underMouse.center());
    // The window system follows a right press with a popup request (the test's window is hidden).
    QContextMenuEvent request(QContextMenuEvent::Mouse, underMouse.center(),
                              grid->viewport()->mapToGlobal(underMouse.center()));
    QApplication::sendEvent(grid->viewport(), &request);
    EXPECT_TRUE(QTest::qWaitFor([] { return MainForm->PmenuDevGrd->isVisible(); }, Patience));
    MainForm->PmenuDevGrd->hide();
    EXPECT_EQ(MainForm->QueryGrdDev.RecNo(), 3);
    EXPECT_EQ(DataSetModel::SelectedRows(grid), QList<int>({0, 2}));

    MainForm->Ping3->trigger();
    Pump();
    QStringList checked = Names(DevTree::GroupError);
    checked.sort();
    EXPECT_EQ(checked, QStringList({"一号", "三号"}));
}

TEST_F(RemoteCommandsTest, RemoteControlStartsTheViewerOrSaysWhyNot)
{
    // As the viewer, touch leaves each argument behind as a file in the current folder.
    QTemporaryDir dir;
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const auto files = [](int n) { // the viewer is started detached
        (void)QTest::qWaitFor([&] { return QDir().entryList(QDir::Files).size() >= n; }, Patience);
        return QDir().entryList(QDir::Files);
    };
    TMainForm::SetRemoteViewerProgramForTest("touch");
    const int id = AddTerminal("甲", "up", "10.1.1.7");
    const int blank = AddTerminal("乙", "up", "  ");
    Reload();
    ScriptedAnswerer answers;

    MainForm->TreeDev->setCurrentItem(NodeOf(id));
    MainForm->PmenuTreeDevCtrl->trigger();
    EXPECT_EQ(files(1), QStringList{"10.1.1.7:5900"});
    MainForm->IniWriteInteger(Consts::KeyRemoteCtrlDevPort, 5901);
    GoToRow(id);
    MainForm->PmenuGridDevCtrl->trigger();
    EXPECT_EQ(files(2), QStringList({"10.1.1.7:5900", "10.1.1.7:5901"}));
    ASSERT_TRUE(QFile::remove("10.1.1.7:5900"));
    MainForm->IniWriteString(Consts::KeyRemoteCtrlDevPort, "70000"); // by hand, no TCP port: the default
    MainForm->PmenuGridDevCtrl->trigger();
    EXPECT_EQ(files(2), QStringList({"10.1.1.7:5900", "10.1.1.7:5901"}));

    MainForm->RemoteControlDevice(blank);
    MainForm->RemoteControlDevice(999);
    TMainForm::SetRemoteViewerProgramForTest(dir.filePath("no-such-viewer"));
    MainForm->RemoteControlDevice(id);
    EXPECT_EQ(Boxes(answers), QStringList({QStringLiteral("警告|设备IP不能为空,编号[%1]|2|0").arg(blank),
                                           QStringLiteral("警告|未找到指定的设备，编号[999]|2|0"),
                                           QStringLiteral("错误|远程控制程序启动失败，请重新安装！|3|0")}));
    EXPECT_EQ(QDir().entryList(QDir::Files).size(), 2) << "nothing may start after a warning or a failure";
    QDir::setCurrent(cwd);
    EXPECT_EQ(MainForm->GetActivePageIndex(), TMainForm::PageIdxInfo);
}

} // namespace
