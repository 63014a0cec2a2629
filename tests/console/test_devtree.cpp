// The device tree: building it from the database, state moves from the UI thread and from worker
// threads, adding and removing nodes, repeated ids, the selection.
#include "console/DevTestSupport.h"

#include <thread>

using namespace DevTestSupport;

namespace {

constexpr int ShortTimeOutMs = 200;
const QString Empty = QStringLiteral("正常运行(0) 网络异常(0) 关机状态(0) 关闭电源(0)");

class DevTreeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ConsoleDb::SetUp(); }
    void SetUp() override
    {
        TestDb::Truncate();
        MainForm->LblDevId->clear();
        MainForm->BuildDevTree();
    }
};

TEST_F(DevTreeTest, BuildGroupsTerminalsByStoredWord)
{
    QTreeWidgetItem* root = Tree().Root();
    ASSERT_EQ(MainForm->TreeDev->topLevelItemCount(), 1);
    EXPECT_EQ(root->text(0), QStringLiteral("设备列表"));
    EXPECT_EQ(DevTree::TagOf(root), -1);
    EXPECT_EQ(Captions(), Empty);

    // No status row, blanks around the word, an empty word, and "Down" (not "down": running).
    for (const auto& [name, status] : std::vector<std::pair<QString, std::optional<QString>>>{
             {"无状态", {}}, {"两边空格", "  down "}, {"空白", ""}, {"运行", "up"}, {"断电", "poweroff"},
             {"异常", "error"}, {"断电2", " poweroff "}, {"关机", "down"}, {"其他", "Down"}})
        AddTerminal(name, status);
    for (int build = 0; build < 2; ++build) { // a rebuild replaces every node
        MainForm->BuildDevTree();
        EXPECT_EQ(Names(1), QStringList({"运行", "异常", "其他"}));
        EXPECT_EQ(Names(2), QStringList());
        EXPECT_EQ(Names(3), QStringList({"两边空格", "关机"}));
        EXPECT_EQ(Names(4), QStringList({"无状态", "空白", "断电", "断电2"}));
        EXPECT_EQ(Captions(), "正常运行(3) 网络异常(0) 关机状态(2) 关闭电源(4)");
    }
    ASSERT_EQ(root->childCount(), 4);
    for (int g = 1; g <= 4; ++g) {
        EXPECT_EQ(root->child(g - 1), Tree().GroupNode(g));
        EXPECT_EQ(DevTree::TagOf(Tree().GroupNode(g)), std::vector<int>({-3, 0, -2, -4})[g - 1]);
        EXPECT_TRUE(Tree().GroupNode(g)->isExpanded());
    }
    EXPECT_EQ(DevTree::TagOf(Tree().GroupNode(4)->child(0)), 1); // the terminal id
    EXPECT_TRUE(root->isExpanded());
}

TEST_F(DevTreeTest, MovesGoLastInTheNewGroupAndRecountBoth)
{
    std::vector<int> ids;
    for (int i = 0; i < 5; ++i)
        ids.push_back(AddTerminal(QStringLiteral("T%1").arg(i), "up"));
    MainForm->BuildDevTree();

    SetStored(ids[1], "poweroff");
    MainForm->UpdateDevNetState(ids[1], Consts::StatusPowerOff);
    EXPECT_EQ(Captions(), "正常运行(4) 网络异常(0) 关机状态(0) 关闭电源(1)");
    EXPECT_EQ(DevTree::TagOf(Tree().GroupNode(1)), -4);
    EXPECT_EQ(DevTree::TagOf(Tree().GroupNode(4)), -1);
    EXPECT_EQ(MainForm->GetDevNetState(ids[1]), Consts::StatusPowerOff);

    MainForm->UpdateDevNetState(ids[0], Consts::StatusError);
    MainForm->UpdateDevNetState(ids[3], Consts::StatusError);
    MainForm->UpdateDevNetState(ids[0], Consts::StatusUp);
    MainForm->UpdateDevNetState(ids[2], Consts::StatusUp); // its own group: stays where it is
    EXPECT_EQ(Names(1), QStringList({"T2", "T4", "T0"}));
    EXPECT_EQ(Names(2), QStringList({"T3"}));
    EXPECT_EQ(Captions(), "正常运行(3) 网络异常(1) 关机状态(0) 关闭电源(1)");
}

TEST_F(DevTreeTest, StoredShutdownOrPowerOffWinsOverCheck)
{
    const int down = AddTerminal("停", "down");
    const int off = AddTerminal("断", "poweroff");
    const int up = AddTerminal("开", "up");
    const int none = AddTerminal("无");
    MainForm->BuildDevTree();

    MainForm->UpdateDevNetState(none, Consts::StatusUp); // no status row: nothing at all
    MainForm->UpdateDevNetState(0, Consts::StatusUp);
    EXPECT_TRUE(MainForm->LblDevId->text().isEmpty());
    MainForm->UpdateDevNetState(down, Consts::StatusUp);
    MainForm->UpdateDevNetState(off, Consts::StatusUp);
    MainForm->UpdateDevNetState(up, Consts::StatusError);
    EXPECT_EQ(Names(2), QStringList({"开"}));
    EXPECT_EQ(Names(3), QStringList({"停"}));
    EXPECT_EQ(Names(4), QStringList({"断", "无"}));

    SetStored(down, "up"); // any other stored word: the check's word stands
    MainForm->UpdateDevNetState(down, Consts::StatusUp);
    EXPECT_EQ(MainForm->GetDevNetState(down), Consts::StatusUp);
}

TEST_F(DevTreeTest, WorkerCallsApplyOnUiThreadInCallOrder)
{
    constexpr int Workers = 4, PerWorker = 5, Rounds = 7;
    std::vector<std::vector<int>> ids(Workers);
    for (int w = 0; w < Workers; ++w)
        for (int i = 0; i < PerWorker; ++i)
            ids[w].push_back(AddTerminal(QStringLiteral("W%1-%2").arg(w).arg(i), "up"));
    MainForm->BuildDevTree();

    // Each worker flips its terminals between error and up; odd workers end on error.
    std::vector<std::thread> threads;
    for (int w = 0; w < Workers; ++w)
        threads.emplace_back([w, &ids] {
            for (int r = 0; r < Rounds + (w % 2); ++r)
                for (int id : ids[w])
                    MainForm->UpdateDevNetState(id, r % 2 == 0 ? Consts::StatusError : Consts::StatusUp);
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(Captions(), "正常运行(20) 网络异常(0) 关机状态(0) 关闭电源(0)") << "workers must not touch the tree";

    Pump();
    for (int w = 0; w < Workers; ++w)
        for (int id : ids[w])
            EXPECT_EQ(MainForm->GetDevNetState(id), w % 2 ? Consts::StatusUp : Consts::StatusError) << id;
    EXPECT_EQ(Captions(), "正常运行(10) 网络异常(10) 关机状态(0) 关闭电源(0)");
    EXPECT_EQ(Names(2).filter("W0-"), QStringList({"W0-0", "W0-1", "W0-2", "W0-3", "W0-4"}));

    // A call on the UI thread runs at once, after the worker's earlier call still waiting.
    const int id = ids[0][0];
    std::thread([id] { MainForm->UpdateDevNetState(id, Consts::StatusUp); }).join();
    MainForm->UpdateDevNetState(id, Consts::StatusError);
    EXPECT_EQ(MainForm->GetDevNetState(id), Consts::StatusError);
    EXPECT_EQ(Names(2).last(), QStringLiteral("W0-0"));
    Pump();
    EXPECT_EQ(MainForm->GetDevNetState(id), Consts::StatusError);
}

TEST_F(DevTreeTest, AddDevTreeNodeReplacesTheEditedTerminalsNode)
{
    MainForm->IniWriteInteger("SocketPort", 1); // nothing listens: the check ends at once
    TimeOut = ShortTimeOutMs;
    const int id = AddTerminal("旧名", "down");
    AddTerminal("别的", "up");
    MainForm->BuildDevTree();
    Tree().Move(id, DevTree::GroupUp); // as after an earlier check

    DevBean edited;
    edited.Id = id;
    edited.Name = QStringLiteral("新名");
    edited.status = Consts::StatusDown;
    MainForm->AddDevTreeNode(&edited);
    Pump();
    EXPECT_EQ(Names(1), QStringList({"别的"}));
    EXPECT_EQ(Names(3), QStringList({"新名"}));
    DevBean unsaved;
    MainForm->AddDevTreeNode(nullptr);
    MainForm->AddDevTreeNode(&unsaved);
    EXPECT_EQ(Captions(), "正常运行(1) 网络异常(0) 关机状态(1) 关闭电源(0)");
    TimeOut = Consts::InitialTimeOut;
}

TEST_F(DevTreeTest, RepeatedIdsBehaveAsATreeOrderScan)
{
    // A terminal with two status rows shows twice; the first node in tree order decides.
    DevTree& t = Tree();
    t.Rebuild({{7, "下", DevTree::GroupDown}, {8, "x", DevTree::GroupUp}, {7, "上", DevTree::GroupUp}});
    EXPECT_EQ(t.GroupOf(7), DevTree::GroupUp);
    EXPECT_TRUE(t.Move(7, DevTree::GroupPowerOff)); // moves "上"
    EXPECT_EQ(t.Names(4), QStringList({"上"}));
    EXPECT_EQ(t.GroupOf(7), DevTree::GroupDown);
    t.Add(7, "又", DevTree::GroupPowerOff);
    EXPECT_TRUE(t.Move(7, DevTree::GroupError)); // now "下" in group 3 comes first
    EXPECT_EQ(t.Names(2), QStringList({"下"}));
    EXPECT_TRUE(t.Move(7, DevTree::GroupPowerOff));
    EXPECT_EQ(t.Names(4), QStringList({"上", "又", "下"}));
    EXPECT_TRUE(t.Move(7, DevTree::GroupUp)); // the topmost of group 4
    EXPECT_EQ(t.Names(1), QStringList({"x", "上"}));

    MainForm->RemoveDevTreeNode(7);
    EXPECT_EQ(Captions(), "正常运行(1) 网络异常(0) 关机状态(0) 关闭电源(0)");
    EXPECT_FALSE(t.Move(7, DevTree::GroupUp));
}

// A terminal stored after the build, and the tree selection.
TEST_F(DevTreeTest, SelectionAndATerminalMissingFromTheTree)
{
    const int shown = AddTerminal("选中", "down");
    MainForm->BuildDevTree();
    const int late = AddTerminal("后加", "up", "10.1.1.2");
    EXPECT_EQ(MainForm->GetDevNetState(late), Consts::StatusDown);
    MainForm->UpdateDevNetState(late, Consts::StatusUp);
    EXPECT_EQ(MainForm->LblDevId->text(), QStringLiteral("0")); // only the detail box changed
    MainForm->RemoveDevTreeNode(late);
    EXPECT_EQ(Captions(), "正常运行(0) 网络异常(0) 关机状态(1) 关闭电源(0)");

    for (const auto& [item, id] : std::vector<std::pair<QTreeWidgetItem*, int>>{
             {nullptr, 0}, {Tree().GroupNode(3), 0}, {NodeOf(shown), shown}, {Tree().Root(), 0}}) {
        MainForm->TreeDev->setCurrentItem(item);
        EXPECT_EQ(MainForm->GetTreeDevId(), id);
    }
}

} // namespace
