// The device tree (building, moves from the UI and from worker threads), the detail box, the grid's rows.
#include "console/DevTestSupport.h"

#include <QTest>
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

// The detail box: each field of the terminal, its stored state and temperature (a negative one is
// unknown), following the moves of the shown terminal; a deleted terminal empties it.
TEST_F(DevTreeTest, DetailBoxTextsMovesAndDeletion)
{
    const int id = AddWithTemp("一号机", "up", "45.3");
    const std::vector<std::tuple<int, QString, QString>> table = {
        {AddWithTemp("负", "down", "-1.5"), "已关机/已关机 0101", "未知"},
        {AddTerminal("无温度", "down"), "已关机/已关机 0101", "0"},
        {AddTerminal("断电", "poweroff"), "已关闭电源/已关闭电源 0101", "0"},
        {AddTerminal("其他词", "error"), "已关机/网络良好 0110", "0"}, // running in the tree, stored word no "up"
        {AddTerminal("无状态行"), "已关机/已关闭电源 0101", "0"}};
    MainForm->BuildDevTree();
    for (const auto& [terminal, state, temp] : table) {
        MainForm->ShowDevDetail(terminal);
        EXPECT_EQ(State() + " " + MainForm->LblDevTemp->text(), state + " " + temp) << terminal;
    }
    MainForm->ShowDevDetail(id);
    EXPECT_EQ(Box(), QStringList({QString::number(id), "一号机", "192.168.1.20", "AA-BB", "大厅", "10.0.0.9", "4001",
                                  "45.2999992370605", "已启动/网络良好 1010"}));
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

} // namespace
