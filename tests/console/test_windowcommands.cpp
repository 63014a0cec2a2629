// The main window's commands that open a terminal's detail, desktop and remote log windows, against a fake agent.
#include "support/AgentTestSupport.h"
#include "windows/FrmClientDetail.h"
#include "windows/FrmDevDesktop.h"
#include "windows/FrmLogDev.h"

#include <QLabel>
#include <QToolButton>

using namespace AgentTestSupport;
using namespace DevTestSupport;

namespace {

class WindowCommandsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        SetUpConsole();
        designSql_ = MainForm->QueryGrdDev.CommandText;
    }
    void SetUp() override
    {
        TestDb::Truncate();
        TimeOut = 10000;
        UseAgent(agent);
        agent.SetLogFolder(logs.path());
        WriteFiles(logs, {{"run.log", "ok"}});
        agent.SetProcesses({{"1", "agent.exe", "3"}});
        id = AddTerminal(QStringLiteral("甲"), QStringLiteral("up"), agent.Ip());
        MainForm->QueryGrdDev.CommandText = designSql_;
        FormDbMod->ReopenQuery(MainForm->QueryGrdDev);
        ASSERT_TRUE(MainForm->QueryGrdDev.Locate("id", QString::number(id)));
    }
    void TearDown() override { EXPECT_TRUE(NoDesktopThreadLeft()); }

    // Runs command; inspect runs once the window it opens is the active modal window and test
    // holds, and then the window is closed.
    template <typename W>
    void Open(void (TMainForm::*command)(), const std::function<bool(W&)>& test, const std::function<void(W&)>& inspect)
    {
        bool seen = false;
        WhenReady([&] {
            auto* w = qobject_cast<W*>(QApplication::activeModalWidget());
            return w && test(*w);
        }, [&] {
            auto* w = qobject_cast<W*>(QApplication::activeModalWidget());
            inspect(*w);
            seen = true;
            w->close();
        });
        (MainForm->*command)(); // returns when the window has closed
        EXPECT_TRUE(seen);
    }

    static inline QString designSql_;
    FakeAgent agent;
    QTemporaryDir logs;
    int id = 0;
};

// From the grid's row (the tree's commands are the operator's day); each window is the one the
// console knows while it is open, and no longer once closed.
TEST_F(WindowCommandsTest, GridOpensItsTerminalsWindows)
{
    ScriptedAnswerer answers;
    Open<TClientDetail>(&TMainForm::PmenuGridDevDetailClick, [](TClientDetail& w) { return w.SetProcess.RecordCount() == 1; },
                        [&](TClientDetail& w) { EXPECT_EQ(w.LblDevId->text(), QString::number(id)); });
    Open<TFormDevDesktop>(&TMainForm::PmenuGridDevDesktopClick, [](TFormDevDesktop& w) { return !w.PictureJpeg.isEmpty(); },
                          [](TFormDevDesktop& w) { EXPECT_EQ(FormDevDesktop, &w); });
    EXPECT_EQ(FormDevDesktop, nullptr);
    Open<TFrmLog>(&TMainForm::PmenuGridDevLogClick, [](TFrmLog& w) { return w.ClientDataSet.RecordCount() == 1; },
                  [&](TFrmLog& w) {
                      EXPECT_EQ(FrmLog, &w);
                      EXPECT_EQ(w.LbDevIp->text(), agent.Ip());
                  });
    EXPECT_EQ(FrmLog, nullptr);
    EXPECT_EQ(Boxes(answers), QStringList());
}

// Nothing selected: the tree's detail command warns (the grid's opens the window, which reports
// the missing terminal itself).
TEST_F(WindowCommandsTest, NoTerminalSelected)
{
    ScriptedAnswerer answers;
    MainForm->TreeDev->setCurrentItem(nullptr);
    MainForm->PmenuTreeDevDetailClick();
    EXPECT_EQ(Boxes(answers), QStringList{Warning("请先在左侧树上选择设备！")});
    EXPECT_EQ(agent.Connections(), 0);
}

} // namespace
