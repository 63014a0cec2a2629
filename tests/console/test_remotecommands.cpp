// The remote commands of the main window: popup menus and their enabling, power commands without
// a terminal, the network check of the listed rows, remote control.
#include "console/RecordTestSupport.h"
#include "platform/DataSetModel.h"
#include "support/ReachabilityPeers.h"
#include "terminal/ThreadTelnet.h"

#include <QTest>

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
