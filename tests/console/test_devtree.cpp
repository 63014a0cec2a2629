// The device tree: building it from the database, state moves from the UI thread and from worker
// threads, adding and removing nodes, the id index against repeated ids, selection readers.
#include "console/DevTestSupport.h"
#include "foundation/Consts.h"
#include "foundation/DbMod.h"
#include "foundation/DevBean.h"
#include "support/ConsoleDb.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTreeWidget>
#include <thread>
#include <vector>

using namespace DevTestSupport;

namespace {

constexpr int ShortTimeOutMs = 200;

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

TEST_F(DevTreeTest, FixedRootAndGroupsWithTags)
{
    QTreeWidgetItem* root = Tree().Root();
    ASSERT_EQ(MainForm->TreeDev->topLevelItemCount(), 1);
    EXPECT_EQ(root->text(0), QStringLiteral("设备列表"));
    EXPECT_EQ(DevTree::TagOf(root), -1);
    ASSERT_EQ(root->childCount(), 4);
    for (int g = 1; g <= 4; ++g)
        EXPECT_EQ(root->child(g - 1), Tree().GroupNode(g));
    EXPECT_EQ(Captions(), QStringList({"正常运行(0)", "网络异常(0)", "关机状态(0)", "关闭电源(0)"}));
    EXPECT_EQ(MainForm->TreeDev->objectName(), QStringLiteral("TreeDev"));
    EXPECT_EQ(MainForm->TreeDev->indentation(), 21);
}

TEST_F(DevTreeTest, BuildGroupsTerminalsByStoredWord)
{
    AddTerminal("无状态");                 // no status row
    AddTerminal("两边空格", "  down ");
    AddTerminal("空白", "");
    AddTerminal("运行", "up");
    AddTerminal("断电", "poweroff");
    AddTerminal("异常", "error");
    AddTerminal("断电2", " poweroff ");
    AddTerminal("关机", "down");
    AddTerminal("其他", "Down");             // not the word "down": counts as running
    MainForm->BuildDevTree();

    EXPECT_EQ(Names(1), QStringList({"运行", "异常", "其他"}));
    EXPECT_EQ(Names(2), QStringList());
    EXPECT_EQ(Names(3), QStringList({"两边空格", "关机"}));
    EXPECT_EQ(Names(4), QStringList({"无状态", "空白", "断电", "断电2"}));
    EXPECT_EQ(Captions(), QStringList({"正常运行(3)", "网络异常(0)", "关机状态(2)", "关闭电源(4)"}));
    EXPECT_EQ(DevTree::TagOf(Tree().GroupNode(4)), -4);
    EXPECT_EQ(DevTree::TagOf(Tree().GroupNode(2)), 0);
    for (int g = 1; g <= 4; ++g)
        EXPECT_TRUE(Tree().GroupNode(g)->isExpanded());
    EXPECT_TRUE(Tree().Root()->isExpanded());

    // Device nodes carry the terminal id as tag; a rebuild replaces every node.
    QTreeWidgetItem* first = Tree().GroupNode(4)->child(0);
    EXPECT_EQ(DevTree::TagOf(first), 1);
    MainForm->BuildDevTree();
    EXPECT_EQ(Captions(), QStringList({"正常运行(3)", "网络异常(0)", "关机状态(2)", "关闭电源(4)"}));
}

TEST_F(DevTreeTest, PowerOffMovesNodeAndRecountsBothGroups)
{
    std::vector<int> ids;
    for (int i = 0; i < 5; ++i)
        ids.push_back(AddTerminal(QStringLiteral("T%1").arg(i), "up"));
    MainForm->BuildDevTree();
    EXPECT_EQ(Caption(1), QStringLiteral("正常运行(5)"));

    SetStored(ids[1], "poweroff");
    MainForm->UpdateDevNetState(ids[1], Consts::StatusPowerOff);
    EXPECT_EQ(Caption(1), QStringLiteral("正常运行(4)"));
    EXPECT_EQ(Caption(4), QStringLiteral("关闭电源(1)"));
    EXPECT_EQ(DevTree::TagOf(Tree().GroupNode(1)), -4);
    EXPECT_EQ(DevTree::TagOf(Tree().GroupNode(4)), -1);
    EXPECT_EQ(Names(4), QStringList({"T1"}));
    EXPECT_EQ(MainForm->GetDevNetState(ids[1]), Consts::StatusPowerOff);

    // A move goes last in its new group.
    MainForm->UpdateDevNetState(ids[0], Consts::StatusError);
    MainForm->UpdateDevNetState(ids[3], Consts::StatusError);
    MainForm->UpdateDevNetState(ids[0], Consts::StatusUp);
    EXPECT_EQ(Names(1), QStringList({"T2", "T4", "T0"}));
    EXPECT_EQ(Names(2), QStringList({"T3"}));
}

TEST_F(DevTreeTest, MoveToOwnGroupChangesNothing)
{
    const int a = AddTerminal("A", "up");
    AddTerminal("B", "up");
    const int c = AddTerminal("C", "down");
    MainForm->BuildDevTree();
    const QStringList before = Captions();
    MainForm->UpdateDevNetState(a, Consts::StatusUp);
    MainForm->UpdateDevNetState(c, Consts::StatusDown);
    EXPECT_EQ(Captions(), before);
    EXPECT_EQ(Names(1), QStringList({"A", "B"})); // A did not go last
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
    EXPECT_TRUE(MainForm->LblDevId->text().isEmpty()) << "a call without a status row changes nothing";
    MainForm->UpdateDevNetState(down, Consts::StatusUp);
    MainForm->UpdateDevNetState(off, Consts::StatusUp);
    MainForm->UpdateDevNetState(up, Consts::StatusError);
    EXPECT_EQ(Names(3), QStringList({"停"}));
    EXPECT_EQ(Names(4), QStringList({"断", "无"}));
    EXPECT_EQ(Names(2), QStringList({"开"}));
    EXPECT_EQ(MainForm->GetDevNetState(up), Consts::StatusError);

    // A stored word other than down or poweroff does not win: the check's word stands.
    SetStored(down, "up");
    MainForm->UpdateDevNetState(down, Consts::StatusUp);
    EXPECT_EQ(MainForm->GetDevNetState(down), Consts::StatusUp);
}

TEST_F(DevTreeTest, TerminalMissingFromTree)
{
    const int id = AddTerminal("后加", "up"); // stored after the tree was built
    EXPECT_EQ(MainForm->GetDevNetState(id), Consts::StatusDown);
    MainForm->UpdateDevNetState(id, Consts::StatusUp);
    EXPECT_EQ(MainForm->LblDevId->text(), QStringLiteral("0")); // only the detail box changed
    EXPECT_EQ(Captions(), QStringList({"正常运行(0)", "网络异常(0)", "关机状态(0)", "关闭电源(0)"}));
    MainForm->RemoveDevTreeNode(id);
    EXPECT_EQ(Captions(), QStringList({"正常运行(0)", "网络异常(0)", "关机状态(0)", "关闭电源(0)"}));
}

TEST_F(DevTreeTest, WorkerCallsApplyOnUiThreadInCallOrder)
{
    constexpr int Workers = 4;
    constexpr int PerWorker = 5;
    constexpr int Rounds = 7;
    std::vector<std::vector<int>> ids(Workers);
    for (int w = 0; w < Workers; ++w)
        for (int i = 0; i < PerWorker; ++i)
            ids[w].push_back(AddTerminal(QStringLiteral("W%1-%2").arg(w).arg(i), "up"));
    MainForm->BuildDevTree();

    // Each worker flips its terminals between error and up; odd workers end on error.
    std::vector<std::thread> threads;
    for (int w = 0; w < Workers; ++w) {
        threads.emplace_back([w, &ids] {
            for (int r = 0; r < Rounds + (w % 2); ++r)
                for (int id : ids[w])
                    MainForm->UpdateDevNetState(id, r % 2 == 0 ? Consts::StatusError : Consts::StatusUp);
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(Caption(1), QStringLiteral("正常运行(20)")) << "workers must not change the tree themselves";

    Pump();
    for (int w = 0; w < Workers; ++w)
        for (int id : ids[w])
            EXPECT_EQ(MainForm->GetDevNetState(id), w % 2 ? Consts::StatusUp : Consts::StatusError) << id;
    EXPECT_EQ(Captions(), QStringList({"正常运行(10)", "网络异常(10)", "关机状态(0)", "关闭电源(0)"}));
    // The last round of each worker went last into its group, in that worker's order.
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
    EXPECT_EQ(Caption(1), QStringLiteral("正常运行(2)"));

    DevBean edited;
    edited.Id = id;
    edited.Name = QStringLiteral("新名");
    edited.status = Consts::StatusDown;
    MainForm->AddDevTreeNode(&edited);
    Pump();
    EXPECT_EQ(Names(1), QStringList({"别的"}));
    EXPECT_EQ(Names(3), QStringList({"新名"}));
    EXPECT_EQ(Captions(), QStringList({"正常运行(1)", "网络异常(0)", "关机状态(1)", "关闭电源(0)"}));

    MainForm->AddDevTreeNode(nullptr);
    DevBean unsaved;
    MainForm->AddDevTreeNode(&unsaved);
    EXPECT_EQ(Captions(), QStringList({"正常运行(1)", "网络异常(0)", "关机状态(1)", "关闭电源(0)"}));
    TimeOut = Consts::InitialTimeOut;
}

TEST_F(DevTreeTest, RepeatedIdsBehaveAsATreeOrderScan)
{
    // A terminal with two status rows shows twice; the first node in tree order decides.
    DevTree& t = Tree();
    t.Rebuild({{7, "下", DevTree::GroupDown}, {8, "x", DevTree::GroupUp}, {7, "上", DevTree::GroupUp}});
    EXPECT_EQ(t.GroupOf(7), DevTree::GroupUp);
    EXPECT_TRUE(t.Move(7, DevTree::GroupPowerOff)); // moves "上", the first in tree order
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
    EXPECT_EQ(Captions(), QStringList({"正常运行(1)", "网络异常(0)", "关机状态(0)", "关闭电源(0)"}));
    EXPECT_FALSE(t.Move(7, DevTree::GroupUp));
}

TEST_F(DevTreeTest, TreeSelectionGivesDeviceIdOnly)
{
    const int id = AddTerminal("选中", "down");
    MainForm->BuildDevTree();
    EXPECT_EQ(MainForm->GetTreeDevId(), 0);
    MainForm->TreeDev->setCurrentItem(Tree().GroupNode(3));
    EXPECT_EQ(MainForm->GetTreeDevId(), 0);
    MainForm->TreeDev->setCurrentItem(Tree().GroupNode(3)->child(0));
    EXPECT_EQ(MainForm->GetTreeDevId(), id);
    MainForm->TreeDev->setCurrentItem(Tree().Root());
    EXPECT_EQ(MainForm->GetTreeDevId(), 0);
}

TEST_F(DevTreeTest, LoadDeviceReadsBaseRow)
{
    const int id = AddTerminal("读取"); // no status row needed
    std::unique_ptr<DevBean> dev = MainForm->LoadDevice(id);
    ASSERT_TRUE(dev);
    EXPECT_EQ(dev->Id, id);
    EXPECT_EQ(dev->Name, QStringLiteral("读取"));
    EXPECT_EQ(dev->ip, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(dev->Mac, QStringLiteral("AA-BB"));
    EXPECT_EQ(dev->position, QStringLiteral("大厅"));
    EXPECT_EQ(dev->relayip, QStringLiteral("10.0.0.9"));
    EXPECT_EQ(dev->port, 4001);
    EXPECT_TRUE(dev->status.isEmpty());
    EXPECT_EQ(dev->State, Consts::ProbePending);
    EXPECT_FALSE(MainForm->LoadDevice(id + 1));
    EXPECT_FALSE(MainForm->LoadDevice(-1));
}

} // namespace
