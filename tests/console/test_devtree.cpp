// The device tree and the detail box: building the tree from the database, state moves from the UI
// thread and from worker threads; the detail box's texts and pictures, deleted and missing
// terminals; the grid's current row and selected rows.
#include "console/DevTestSupport.h"
#include "platform/DataSetModel.h"

#include <thread>

using namespace DevTestSupport;

namespace {

class DevTreeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ConsoleDb::SetUp(); }
    void SetUp() override
    {
        TestDb::Truncate();
        MainForm->ShowPage(TMainForm::PageIdxDev);
        MainForm->LblDevId->clear();
        MainForm->BuildDevTree();
    }
    static int AddWithTemp(const QString& name, const QString& status, const QString& temp)
    {
        const int id = AddTerminal(name, status, "192.168.1.20");
        TestDb::Exec(QStringLiteral("insert into zol_temp (zol_id, temp) values (%1, %2)").arg(id).arg(temp));
        return id;
    }
    static QStringList Box()
    {
        TMainForm* f = MainForm;
        return {f->LblDevId->text(),  f->LblDevName->text(),     f->LblDevIp->text(),   f->LblDevMac->text(),
                f->LblDevPos->text(), f->LblDevActiveIp->text(), f->LblDevPort->text(), f->LblDevStatus->text(),
                f->LblDevNet->text(), f->LblDevTemp->text()};
    }
    // Power and network texts, then the run, stop, net good and net error pictures as "1010".
    static QString State()
    {
        QString s = MainForm->LblDevStatus->text() + "/" + MainForm->LblDevNet->text() + " ";
        for (QLabel* img : {MainForm->ImgDevRun, MainForm->ImgDevStop, MainForm->ImgNetSuc, MainForm->ImgNetError})
            s += img->isHidden() ? '0' : '1';
        return s;
    }
};

TEST_F(DevTreeTest, BuildGroupsTerminalsByStoredWord)
{
    EXPECT_EQ(Tree().Root()->text(0), QStringLiteral("设备列表"));
    // No status row, blanks around the word, an empty word, and "Down" (not "down": running).
    for (const auto& [name, status] : std::vector<std::pair<QString, std::optional<QString>>>{
             {"无状态", {}}, {"两边空格", "  down "}, {"空白", ""}, {"运行", "up"}, {"断电", "poweroff"},
             {"异常", "error"}, {"断电2", " poweroff "}, {"关机", "down"}, {"其他", "Down"}})
        AddTerminal(name, status);
    for (int build = 0; build < 2; ++build) { // a rebuild replaces every node
        MainForm->BuildDevTree();
        EXPECT_EQ(Names(1), QStringList({"运行", "异常", "其他"}));
        EXPECT_EQ(Names(3), QStringList({"两边空格", "关机"}));
        EXPECT_EQ(Names(4), QStringList({"无状态", "空白", "断电", "断电2"}));
        EXPECT_EQ(Captions(), "正常运行(3) 网络异常(0) 关机状态(2) 关闭电源(4)");
    }
}

// A move goes last in its new group and recounts both (caption and tag); a stored shutdown or
// power-off outranks the check's word; no status row (or id 0) moves nothing.
TEST_F(DevTreeTest, MovesFollowTheCheckUnlessStoredShutdownOrPowerOff)
{
    std::vector<int> t;
    for (int i = 0; i < 5; ++i)
        t.push_back(AddTerminal(QStringLiteral("T%1").arg(i), "up"));
    const int down = AddTerminal("停", "down"), none = AddTerminal("无");
    MainForm->BuildDevTree();
    MainForm->UpdateDevNetState(none, Consts::StatusUp);
    MainForm->UpdateDevNetState(0, Consts::StatusUp);
    EXPECT_TRUE(MainForm->LblDevId->text().isEmpty()) << "no status row or no id: not even the detail box";
    SetStored(t[1], "poweroff");
    for (const auto& [id, state] : std::vector<std::pair<int, QString>>{
             {t[1], Consts::StatusUp}, {t[0], Consts::StatusError}, {t[3], Consts::StatusError},
             {t[0], Consts::StatusUp}, {t[2], Consts::StatusUp}, {down, Consts::StatusUp}})
        MainForm->UpdateDevNetState(id, state);
    EXPECT_EQ(Names(1), QStringList({"T2", "T4", "T0"})); // T2 stays where it was
    EXPECT_EQ(Names(2), QStringList({"T3"}));
    EXPECT_EQ(Names(3), QStringList({"停"}));
    EXPECT_EQ(Names(4), QStringList({"无", "T1"}));
    EXPECT_EQ(Captions(), "正常运行(3) 网络异常(1) 关机状态(1) 关闭电源(2)");
    EXPECT_EQ(DevTree::TagOf(Tree().GroupNode(1)), -3);
    EXPECT_EQ(DevTree::TagOf(Tree().GroupNode(4)), -2);

    SetStored(down, "up"); // any other stored word: the check's word stands
    MainForm->UpdateDevNetState(down, Consts::StatusUp);
    EXPECT_EQ(MainForm->GetDevNetState(down), Consts::StatusUp);
}

// An edited terminal leaves its old group before it is placed again, then gets its check
// (which a stored shutdown outlives): it shows once, and both counts are right.
TEST_F(DevTreeTest, EditedTerminalIsShownOnce)
{
    const int id = AddTerminal("编辑前", "up");
    MainForm->BuildDevTree();
    SetStored(id, "down");
    DevBean edited;
    edited.Id = id;
    edited.Name = QStringLiteral("编辑后");
    edited.status = Consts::StatusDown;
    MainForm->AddDevTreeNode(&edited);
    Pump();
    EXPECT_EQ(Captions(), "正常运行(0) 网络异常(0) 关机状态(1) 关闭电源(0)");
    EXPECT_EQ(Names(3), QStringList({"编辑后"}));
}

TEST_F(DevTreeTest, WorkerCallsApplyOnUiThreadInCallOrder)
{
    // Each worker flips its own terminals between error and up; odd workers end on error.
    constexpr int Workers = 4, PerWorker = 5, Rounds = 7;
    std::vector<int> ids; // worker w's are ids[w * PerWorker ...]
    for (int i = 0; i < Workers * PerWorker; ++i)
        ids.push_back(AddTerminal(QStringLiteral("W%1-%2").arg(i / PerWorker).arg(i % PerWorker), "up"));
    MainForm->BuildDevTree();
    std::vector<std::thread> threads;
    for (int w = 0; w < Workers; ++w)
        threads.emplace_back([w, &ids] {
            for (int r = 0; r < Rounds + (w % 2); ++r)
                for (int i = w * PerWorker; i < (w + 1) * PerWorker; ++i)
                    MainForm->UpdateDevNetState(ids[i], r % 2 == 0 ? Consts::StatusError : Consts::StatusUp);
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(Captions(), "正常运行(20) 网络异常(0) 关机状态(0) 关闭电源(0)") << "workers must not touch the tree";

    Pump();
    for (int i = 0; i < Workers * PerWorker; ++i)
        EXPECT_EQ(MainForm->GetDevNetState(ids[i]), i / PerWorker % 2 ? Consts::StatusUp : Consts::StatusError) << i;
    EXPECT_EQ(Captions(), "正常运行(10) 网络异常(10) 关机状态(0) 关闭电源(0)");
    EXPECT_EQ(Names(2).filter("W0-"), QStringList({"W0-0", "W0-1", "W0-2", "W0-3", "W0-4"}));

    // A call on the UI thread runs at once, after the worker's earlier call still waiting.
    std::thread([&ids] { MainForm->UpdateDevNetState(ids[0], Consts::StatusUp); }).join();
    MainForm->UpdateDevNetState(ids[0], Consts::StatusError);
    EXPECT_EQ(MainForm->GetDevNetState(ids[0]), Consts::StatusError);
    EXPECT_EQ(Names(2).last(), QStringLiteral("W0-0"));
    Pump();
    EXPECT_EQ(MainForm->GetDevNetState(ids[0]), Consts::StatusError);
}

TEST_F(DevTreeTest, ShownTerminalsTextsAndItsMoves)
{
    const int id = AddWithTemp("一号机", "up", "45.3");
    const std::vector<std::tuple<int, QString, QString>> table = {
        {AddWithTemp("负", "down", "-1.5"), "已关机/已关机 0101", "未知"},
        {AddWithTemp("整数", "down", "36"), "已关机/已关机 0101", "36"},
        {AddTerminal("无温度", "down"), "已关机/已关机 0101", "0"},
        {AddTerminal("断电", "poweroff"), "已关闭电源/已关闭电源 0101", "0"},
        {AddTerminal("其他词", "error"), "已关机/网络良好 0110", "0"}, // running in the tree, stored word no "up"
        {AddTerminal("无状态行"), "已关机/已关闭电源 0101", "0"}};
    MainForm->BuildDevTree();
    for (const auto& [terminal, state, temp] : table) {
        MainForm->ShowDevDetail(terminal);
        EXPECT_EQ(State(), state) << terminal;
        EXPECT_EQ(MainForm->LblDevTemp->text(), temp) << terminal;
    }
    MainForm->ShowDevDetail(id);
    EXPECT_EQ(Box(), QStringList({QString::number(id), "一号机", "192.168.1.20", "AA-BB", "大厅", "10.0.0.9", "4001",
                                  "已启动", "网络良好", "45.2999992370605"}));
    EXPECT_EQ(State(), "已启动/网络良好 1010");
    EXPECT_TRUE(MainForm->BtnDevPing->isEnabled());

    MainForm->UpdateDevNetState(std::get<0>(table[4]), Consts::StatusError); // another terminal: box unchanged
    EXPECT_EQ(State(), "已启动/网络良好 1010");
    for (const auto& [stored, checked, state] : std::vector<std::tuple<QString, QString, QString>>{
             {"up", Consts::StatusError, "已启动/网络异常 1001"},
             {"poweroff", Consts::StatusUp, "已关闭电源/已关闭电源 0101"},
             {"down", Consts::StatusUp, "已关机/已关机 0101"}}) {
        SetStored(id, stored);
        MainForm->UpdateDevNetState(id, checked);
        EXPECT_EQ(State(), state) << stored.toStdString();
    }
}

TEST_F(DevTreeTest, DeletedOrNoTerminal)
{
    const int id = AddWithTemp("将删除", "up", "50");
    MainForm->BuildDevTree();
    MainForm->ShowDevDetail(id);
    const QStringList shown = Box();
    MainForm->ShowDevDetail(0);
    EXPECT_EQ(Box(), shown);

    TestDb::Exec(QStringLiteral("delete from zol_baseinfo where id = %1").arg(id));
    MainForm->ShowDevDetail(id);
    EXPECT_EQ(Box(), QStringList({"", "", "", "", "", "", "未知", "", "", "0"}));
    EXPECT_EQ(State(), "/ 0000");
    EXPECT_FALSE(MainForm->BtnDevPing->isEnabled());
    // With the box empty, a move of a terminal stored after the build (no node) writes "0" as the
    // shown id and changes nothing else.
    MainForm->UpdateDevNetState(AddTerminal("下一个", "up"), Consts::StatusUp);
    EXPECT_EQ(Box(), QStringList({"0", "", "", "", "", "", "未知", "", "", "0"}));
    EXPECT_EQ(Captions(), "正常运行(1) 网络异常(0) 关机状态(0) 关闭电源(0)");
}

// Nothing selected: the current row. Selected ids come in the order picked; the current record
// moves to the last of them and the selection stays.
TEST_F(DevTreeTest, GridCurrentRowAndSelection)
{
    const int c = AddTerminal("C-dev", "up"), a = AddTerminal("A-dev", "down"), b = AddTerminal("B-dev");
    MainForm->BuildDevTree();
    FormDbMod->ReopenQuery(MainForm->QueryGrdDev); // sorted by name
    MainForm->QueryGrdDev.SetRecNo(3);
    MainForm->GrdDevCellClick();
    EXPECT_EQ(MainForm->LblDevName->text(), QStringLiteral("C-dev"));
    EXPECT_EQ(MainForm->GetSelectedDevIds(), std::vector<int>({c}));
    QItemSelectionModel* sel = MainForm->GrdDev->selectionModel();
    sel->setCurrentIndex(sel->model()->index(0, 2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    sel->select(sel->model()->index(1, 2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(MainForm->GetSelectedDevIds(), std::vector<int>({c, a, b}));
    EXPECT_EQ(MainForm->QueryGrdDev.RecNo(), 2);
    EXPECT_EQ(DataSetModel::SelectedRows(MainForm->GrdDev).size(), 3);
    MainForm->ShowPage(TMainForm::PageIdxInfo);
    EXPECT_EQ(MainForm->GetGridRowId(), 0); // the console has no grid
}

} // namespace
