// The remote commands of the main window: popup menus and their enabling, power commands against
// a fake relay, the network check commands on the grid and the tree, remote control, tree clicks.
#include "console/DevTree.h"
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "foundation/DbMod.h"
#include "foundation/DevBean.h"
#include "support/ConsoleDb.h"
#include "support/FakeRelay.h"
#include "support/ReachabilityPeers.h"
#include "support/ScriptedAnswerer.h"
#include "support/TestDb.h"
#include "terminal/RemoteDeviceController.h"
#include "terminal/ThreadTelnet.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QToolButton>
#include <QTreeWidget>

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

constexpr int RelayDivisor = 20;
constexpr int ShortTimeOutMs = 300;

void Pump()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

int AddTerminal(const QString& name, const QString& status, const QString& ip = QStringLiteral("127.0.0.2"),
                int relayPort = 4001)
{
    TestDb::Exec(QStringLiteral("insert into zol_baseinfo (name, ip, relayIp, port) values ('%1', '%2', '127.0.0.1', %3);"
                                "insert into zol_status (zol_id, status) values (LAST_INSERT_ID(), '%4');")
                     .arg(name, ip)
                     .arg(relayPort)
                     .arg(status));
    return TestDb::Scalar(QStringLiteral("select max(id) from zol_baseinfo")).toInt();
}

QTreeWidgetItem* NodeOf(int id)
{
    for (int g = 1; g <= DevTree::GroupCount; ++g) {
        QTreeWidgetItem* group = MainForm->DevTreeState()->GroupNode(g);
        for (int i = 0; i < group->childCount(); ++i)
            if (DevTree::TagOf(group->child(i)) == id)
                return group->child(i);
    }
    return nullptr;
}

// The enabling of the device items as "detail start shutdown powerOn powerOff ctrl" (1/0). The
// detail, log and desktop items are hidden, and a hidden action reads as disabled, so they are
// shown for the moment of reading; the three must agree.
QString Items(const std::vector<QAction*>& items)
{
    for (int i = 0; i < 3; ++i)
        items[i]->setVisible(true);
    QString s;
    for (std::size_t i = 2; i < items.size(); ++i)
        s += items[i]->isEnabled() ? '1' : '0';
    const bool same = items[0]->isEnabled() == items[2]->isEnabled() &&
                      items[1]->isEnabled() == items[2]->isEnabled();
    for (int i = 0; i < 3; ++i)
        items[i]->setVisible(false);
    return same ? s : s + QStringLiteral(" (log/desktop differ)");
}

QString GridItems()
{
    TMainForm* f = MainForm;
    return Items({f->PmenuGridDevLog, f->PmenuGridDevDesktop, f->PmenuGridDevDetail, f->PmenuGridDevStart,
                  f->PmenuGridDevShutdown, f->PmenuGridDevPowerOn, f->PmenuGridDevPowerOff, f->PmenuGridDevCtrl});
}

QString TreeItems()
{
    TMainForm* f = MainForm;
    return Items({f->PmenuTreeDevLog, f->PmenuTreeDevDesktop, f->PmenuTreeDevDetail, f->PmenuTreeDevStart,
                  f->PmenuTreeDevShutdown, f->PmenuTreeDevPowerOn, f->PmenuTreeDevPowerOff, f->PmenuTreeDevCtrl});
}

void OpenAndClose(QMenu* menu)
{
    menu->popup(QPoint(10, 10));
    Pump();
    menu->hide();
    Pump();
}

class RemoteCommandsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ConsoleDb::SetUp();
        RelayTimings::SetForTest(RelayDivisor);
        static UserBean op;
        op.Id = 3;
        op.Name = QStringLiteral("值班员");
        CurrentUser = &op;
        designSql_ = MainForm->QueryGrdDev.CommandText;
        peers_ = new ReachabilityPeers;
        MainForm->IniWriteInteger(QStringLiteral("SocketPort"), peers_->Port());
    }
    static void TearDownTestSuite()
    {
        QElapsedTimer t;
        t.start();
        while (ThreadTelnet::LiveCount() > 0 && t.elapsed() < 5000)
            QThread::msleep(5);
        delete peers_;
        peers_ = nullptr;
        TMainForm::SetRemoteViewerProgramForTest(QString());
    }

    void SetUp() override
    {
        TestDb::Truncate();
        TimeOut = ShortTimeOutMs;
        MainForm->ShowPageDev();
        MainForm->LblDevId->clear();
        ConsoleDb::ClearLog();
    }

    // The grid shows every terminal (or the rows of sql), the tree is rebuilt, nothing selected.
    static void Reload(const QString& sql = QString())
    {
        MainForm->QueryGrdDev.CommandText = designSql_;
        if (sql.isEmpty())
            FormDbMod->ReopenQuery(MainForm->QueryGrdDev);
        else
            FormDbMod->QuerySqlOn(sql, MainForm->QueryGrdDev);
        MainForm->BuildDevTree();
        MainForm->GrdDev->clearSelection();
        MainForm->TreeDev->clearSelection();
        MainForm->TreeDev->setCurrentItem(nullptr);
        Pump();
    }
    static void SelectNode(int id)
    {
        QTreeWidgetItem* node = NodeOf(id);
        ASSERT_NE(node, nullptr) << id;
        MainForm->TreeDev->setCurrentItem(node);
    }
    static void GoToRow(int id)
    {
        ASSERT_TRUE(MainForm->QueryGrdDev.Locate(QStringLiteral("id"), QString::number(id))) << id;
        Pump();
    }
    static int WarningLines(const QString& text)
    {
        return ConsoleDb::LogText().count(text);
    }

    static inline QString designSql_;
    static inline ReachabilityPeers* peers_ = nullptr;
};

} // namespace

TEST_F(RemoteCommandsTest, MenusHoldTheirItemsInOrderWithTheWindowItemsHidden)
{
    auto names = [](QMenu* menu) {
        QStringList list;
        for (QAction* a : menu->actions())
            list << (a->isSeparator() ? QStringLiteral("-") : a->objectName() + (a->isVisible() ? "" : "(hidden)"));
        return list.join(' ');
    };
    EXPECT_EQ(names(MainForm->PmenuDevGrd),
              "PmenuGridDevDetail(hidden) PmenuGridDevDesktop(hidden) PmenuGridDevLog(hidden) PmenuGridDevCtrl - "
              "PmenuGridDevStart PmenuGridDevShutdown PmenuGridDevPowerOn PmenuGridDevPowerOff - N30 N31 N32 - "
              "N9 Ping3 Ping2 F1 - N27 N26 N25 N7 - N20");
    EXPECT_EQ(names(MainForm->PmenuTree),
              "PmenuTreeDevDetail(hidden) PmenuTreeDevDesktop(hidden) PmenuTreeDevLog(hidden) PmenuTreeDevCtrl - "
              "PmenuTreeDevStart PmenuTreeDevShutdown PmenuTreeDevPowerOn PmenuTreeDevPowerOff - "
              "MenuItem3 MenuItem4 MenuItem5 N41 - MenuItem7 PingW1 - MenuItem9 MenuItem10 MenuItem11 N5");
    EXPECT_EQ(MainForm->PmenuGridDevPowerOff->text(), QStringLiteral("远程设备断电(&R)"));
    EXPECT_EQ(MainForm->Ping2->text(), QStringLiteral("检测全部设备网络状况(&W)"));
    EXPECT_EQ(MainForm->MenuItem7->text(), QStringLiteral("检测设备网络情况(&P)"));
}

// Each state's row of the enabling table, reached from the tree popup and from the grid popup;
// both set the device items of both menus alike. An empty grid disables all of them.
TEST_F(RemoteCommandsTest, PopupEnablingFollowsTheTerminalsGroup)
{
    Reload();
    OpenAndClose(MainForm->PmenuDevGrd);
    EXPECT_EQ(GridItems(), "000000");
    EXPECT_EQ(TreeItems(), "000000");

    const int up = AddTerminal("正常", "up");
    const int error = AddTerminal("异常", "up");
    const int down = AddTerminal("关机", "down");
    const int off = AddTerminal("断电", "poweroff");
    Reload();
    MainForm->UpdateDevNetState(error, Consts::StatusError);
    Pump();

    //                                 detail start shutdown powerOn powerOff ctrl
    const std::vector<std::pair<int, QString>> table{
        {up, "101011"}, {error, "001011"}, {down, "010011"}, {off, "000101"}};
    for (const auto& [id, expected] : table) {
        SelectNode(id);
        OpenAndClose(MainForm->PmenuTree);
        EXPECT_EQ(TreeItems(), expected) << id;
        EXPECT_EQ(GridItems(), expected) << id;

        OpenAndClose(MainForm->PmenuDevGrd); // from a terminal that enables nothing...
        MainForm->TreeDev->setCurrentItem(MainForm->DevTreeState()->GroupNode(1));
        OpenAndClose(MainForm->PmenuTree);
        EXPECT_EQ(TreeItems(), "000000") << "a group node is no terminal";

        GoToRow(id); // ...and back through the grid
        OpenAndClose(MainForm->PmenuDevGrd);
        EXPECT_EQ(GridItems(), expected) << id;
        EXPECT_EQ(TreeItems(), expected) << id;
    }
}

TEST_F(RemoteCommandsTest, PowerCommandsWithNothingSelectedOnlyWarn)
{
    Reload();
    ScriptedAnswerer answers;
    MainForm->PmenuGridDevStartClick();
    MainForm->PmenuGridDevShutdownClick();
    MainForm->PmenuGridDevPowerOffClick();
    MainForm->PmenuGridDevPowerOnClick();
    MainForm->PmenuTreeDevStartClick();
    MainForm->PmenuTreeDevShutdownClick();
    MainForm->PmenuTreeDevPowerOffClick();
    MainForm->PmenuTreeDevPowerOnClick();

    const std::vector<MessageRequest> boxes = answers.Requests();
    ASSERT_EQ(boxes.size(), 8u);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].caption, QStringLiteral("警告"));
        EXPECT_EQ(boxes[i].icon, MsgIcon::Warning);
        EXPECT_EQ(boxes[i].text, i < 4 ? QStringLiteral("请在设备列表上选择设备后，再进行此操作！")
                                       : QStringLiteral("请在设备树上选择设备后，再进行此操作！"));
    }
    EXPECT_EQ(TestDb::Scalar("select count(*) from zol_op_log"), "0");
}

TEST_F(RemoteCommandsTest, PowerOffFromTheGridPopupMovesTheNodeAndLogsTheOperation)
{
    FakeRelay relay;
    relay.SetChannel(PowerChannel, true);
    AddTerminal("乙", "up", "127.0.0.2", relay.Port());
    const int id = AddTerminal("甲", "up", "127.0.0.2", relay.Port());
    Reload();
    GoToRow(id);
    ASSERT_EQ(MainForm->GetGridRowId(), id);

    ScriptedAnswerer answers;
    OpenAndClose(MainForm->PmenuDevGrd);
    ASSERT_TRUE(MainForm->PmenuGridDevPowerOff->isEnabled());
    MainForm->PmenuGridDevPowerOff->trigger(); // returns when the batch has ended
    Pump();

    EXPECT_EQ(answers.Count(), 0) << answers.Last().text.toStdString();
    EXPECT_FALSE(relay.Channel(PowerChannel));
    EXPECT_EQ(MainForm->GetDevNetState(id), Consts::StatusPowerOff);
    EXPECT_EQ(MainForm->DevTreeState()->Names(DevTree::GroupPowerOff), QStringList{"甲"});
    EXPECT_EQ(MainForm->DevTreeState()->GroupNode(DevTree::GroupUp)->text(0), QStringLiteral("正常运行(1)"));
    EXPECT_EQ(TestDb::Rows("select zol_id, user_id, user_name, operation, status from zol_op_log"),
              QStringList{QStringLiteral("%1\t3\t值班员\t关闭远程设备电源,设备ID为(%1),设备名称为(甲).\t1").arg(id)});
    EXPECT_EQ(TestDb::Scalar(QStringLiteral("select status from zol_status where zol_id = %1").arg(id)), "poweroff");
}

// After a search that leaves three rows, checking "all" checks those three only, and leaves no
// selection behind, the first record current and the tree expanded.
TEST_F(RemoteCommandsTest, CheckAllCoversTheListedRowsOnly)
{
    for (const char* name : {"北区-1", "南区-1", "北区-2", "南区-2", "北区-3"})
        AddTerminal(QString::fromUtf8(name), "up"); // the refusing address: checked ones fail
    Reload(QStringLiteral("select * from zol_baseinfo a left join zol_status b on a.id = b.zol_id "
                          "where a.name like '北区%' order by a.name"));
    ASSERT_EQ(MainForm->QueryGrdDev.RecordCount(), 3);
    MainForm->QueryGrdDev.Last();
    MainForm->TreeDev->collapseAll();

    MainForm->Ping2->trigger();
    Pump();

    const DevTree& tree = *MainForm->DevTreeState();
    EXPECT_EQ(tree.Names(DevTree::GroupError), QStringList({"北区-1", "北区-2", "北区-3"}));
    EXPECT_EQ(tree.Names(DevTree::GroupUp), QStringList({"南区-1", "南区-2"}));
    EXPECT_EQ(WarningLines(QStringLiteral("网络异常．")), 3);
    EXPECT_TRUE(MainForm->GrdDev->selectionModel()->selectedRows().isEmpty());
    EXPECT_EQ(MainForm->QueryGrdDev.RecNo(), 1);
    EXPECT_TRUE(tree.Root()->isExpanded());
    for (int g = 1; g <= DevTree::GroupCount; ++g)
        EXPECT_TRUE(tree.GroupNode(g)->isExpanded()) << g;

    // The toolbar button runs the same check; the stored word is still "up", so the three are
    // reported again.
    ConsoleDb::ClearLog();
    MainForm->BtnPing->click();
    Pump();
    EXPECT_EQ(WarningLines(QStringLiteral("网络异常．")), 3);
    EXPECT_EQ(tree.Names(DevTree::GroupError).size(), 3);
}

// The checks of one terminal or of the selected rows: the current row when nothing is selected,
// the selection (which stays) otherwise, the detail box's terminal, nothing for an empty box.
TEST_F(RemoteCommandsTest, CheckSelectedCurrentRowAndDetailBox)
{
    const int a = AddTerminal("甲", "up");
    const int b = AddTerminal("乙", "up");
    const int c = AddTerminal("丙", "up");
    Reload();

    GoToRow(b);
    MainForm->Ping3->trigger();
    Pump();
    EXPECT_EQ(MainForm->GetDevNetState(a), Consts::StatusUp);
    EXPECT_EQ(MainForm->GetDevNetState(b), Consts::StatusError);
    EXPECT_EQ(MainForm->GetDevNetState(c), Consts::StatusUp);

    QItemSelectionModel* selection = MainForm->GrdDev->selectionModel();
    QAbstractItemModel* model = MainForm->GrdDev->model();
    selection->clearSelection();
    selection->select(model->index(0, 1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(model->index(2, 1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    MainForm->Ping3->trigger();
    Pump();
    EXPECT_EQ(MainForm->GetDevNetState(a), Consts::StatusError);
    EXPECT_EQ(MainForm->GetDevNetState(c), Consts::StatusError);
    EXPECT_EQ(selection->selectedRows().size(), 2) << "the selection stays as it was";

    // Detail box: empty does nothing; showing a terminal checks that one.
    Reload();
    ConsoleDb::ClearLog();
    MainForm->LblDevId->clear();
    MainForm->BtnDevPing->click();
    Pump();
    EXPECT_EQ(WarningLines(QStringLiteral("远程设备[")), 0);
    MainForm->ShowDevDetail(c);
    MainForm->BtnDevPing->click();
    Pump();
    EXPECT_EQ(WarningLines(QStringLiteral("远程设备[丙:127.0.0.2]网络异常．")), 1);
    EXPECT_EQ(MainForm->GetDevNetState(c), Consts::StatusError);

    // Tree: the selected terminal only; a group node checks nothing.
    MainForm->TreeDev->setCurrentItem(MainForm->DevTreeState()->GroupNode(DevTree::GroupUp));
    MainForm->MenuItem7->trigger();
    Pump();
    EXPECT_EQ(MainForm->GetDevNetState(a), Consts::StatusUp);
    SelectNode(a);
    MainForm->MenuItem7->trigger();
    Pump();
    EXPECT_EQ(MainForm->GetDevNetState(a), Consts::StatusError);
}

TEST_F(RemoteCommandsTest, RemoteControlStartsTheViewerOrSaysWhyNot)
{
    QTemporaryDir dir;
    const QString argsFile = dir.filePath("args");
    const QString viewer = dir.filePath("viewer.sh");
    {
        QFile script(viewer);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho \"$@\" > '%1.tmp' && mv '%1.tmp' '%1'\n").arg(argsFile).toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    auto viewerArgs = [&]() {
        QElapsedTimer t;
        t.start();
        while (!QFile::exists(argsFile) && t.elapsed() < 5000)
            QThread::msleep(10);
        QFile f(argsFile);
        f.open(QIODevice::ReadOnly);
        const QString text = QString::fromUtf8(f.readAll()).trimmed();
        f.close();
        QFile::remove(argsFile);
        return text;
    };
    TMainForm::SetRemoteViewerProgramForTest(viewer);

    const int id = AddTerminal("甲", "up", "10.1.1.7");
    const int blank = AddTerminal("乙", "up", "  ");
    Reload();
    ScriptedAnswerer answers;

    SelectNode(id);
    MainForm->PmenuTreeDevCtrl->trigger();
    EXPECT_EQ(viewerArgs(), "10.1.1.7:5900");
    MainForm->IniWriteInteger(Consts::KeyRemoteCtrlDevPort, 5901);
    GoToRow(id);
    MainForm->PmenuGridDevCtrl->trigger();
    EXPECT_EQ(viewerArgs(), "10.1.1.7:5901");
    EXPECT_EQ(answers.Count(), 0);

    MainForm->RemoteControlDevice(blank);
    EXPECT_EQ(answers.Last().caption, QStringLiteral("警告"));
    EXPECT_EQ(answers.Last().text, QStringLiteral("设备IP不能为空,编号[%1]").arg(blank));
    MainForm->RemoteControlDevice(999);
    EXPECT_EQ(answers.Last().text, QStringLiteral("未找到指定的设备，编号[999]"));
    EXPECT_EQ(answers.Count(), 2);
    EXPECT_FALSE(QFile::exists(argsFile)) << "nothing may start after a warning";

    TMainForm::SetRemoteViewerProgramForTest(dir.filePath("no-such-viewer"));
    MainForm->ShowPageDev();
    MainForm->RemoteControlDevice(id);
    EXPECT_EQ(answers.Last().caption, QStringLiteral("错误"));
    EXPECT_EQ(answers.Last().icon, MsgIcon::Error);
    EXPECT_EQ(answers.Last().text, QStringLiteral("远程控制程序启动失败，请重新安装！"));
    EXPECT_EQ(MainForm->GetActivePageIndex(), TMainForm::PageIdxInfo);
    TMainForm::SetRemoteViewerProgramForTest(QString());
    MainForm->ShowPageDev();
}

// Right clicks on the tree: the node under the mouse becomes selected; only a device node opens
// the tree popup.
TEST_F(RemoteCommandsTest, RightClickOpensTheTreePopupOnADeviceNodeOnly)
{
    const int id = AddTerminal("甲", "up");
    Reload();
    QTreeWidget* tree = MainForm->TreeDev;
    tree->resize(240, 400);
    tree->expandAll();
    QWidget* viewport = tree->viewport();
    QTreeWidgetItem* group = MainForm->DevTreeState()->GroupNode(DevTree::GroupDown);

    QTest::mouseClick(viewport, Qt::RightButton, {}, tree->visualItemRect(group).center());
    Pump();
    EXPECT_EQ(tree->currentItem(), group);
    EXPECT_TRUE(group->isSelected());
    EXPECT_FALSE(MainForm->PmenuTree->isVisible());

    QTest::mouseClick(viewport, Qt::RightButton, {}, tree->visualItemRect(NodeOf(id)).center());
    Pump();
    EXPECT_EQ(MainForm->GetTreeDevId(), id);
    EXPECT_TRUE(MainForm->PmenuTree->isVisible());
    EXPECT_EQ(TreeItems(), "101011");
    MainForm->PmenuTree->hide();

    QTest::mouseClick(viewport, Qt::RightButton, {}, QPoint(120, 390)); // below the last node
    Pump();
    EXPECT_FALSE(MainForm->PmenuTree->isVisible());
    EXPECT_EQ(MainForm->GetTreeDevId(), id);
}
