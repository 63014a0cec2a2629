// The main window's shared services: settings in conf.ini, the blank test, memo hints.
// The profile-file rules are the settings file's own tests; the log writers' lines are checked by the
// database module and connection-check tests.
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "support/ScriptedAnswerer.h"
#include "support/Thrown.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

namespace {

const QString Hint = QStringLiteral("在此处填写备注信息...");

class ServicesTest : public ::testing::Test {
protected:
    // The window is never shown; the services need only the object.
    static void SetUpTestSuite() { form_ = new TMainForm; }
    static void TearDownTestSuite() { delete form_; }
    void SetUp() override { TMainForm::SetConfigDirForTest(dir_.path()); }
    void TearDown() override { TMainForm::SetConfigDirForTest(QString()); }

    static inline TMainForm* form_ = nullptr;
    QTemporaryDir dir_;
};

TEST_F(ServicesTest, SettingsLiveInSectionSystemOfConfIniBesideTheProgram)
{
    TMainForm::SetConfigDirForTest(QString());
    EXPECT_EQ(form_->GetConfIni()->FileName(), QCoreApplication::applicationDirPath() + "/conf.ini");
    TMainForm::SetConfigDirForTest(dir_.path());
    EXPECT_EQ(form_->IniReadStringDef("SocketAKey", "qupzer"), "qupzer");
    QFile ini(dir_.filePath("conf.ini"));

    // Reads and writes go to the file at once; writes keep its other lines.
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[System]\nDataSource=zol\nTimeOut=0x12C\n\n[other]\nLogLevel=1\n");
    ini.close();
    EXPECT_EQ(form_->IniReadInteger("TimeOut", 1000), 300);
    EXPECT_EQ(form_->IniReadInteger("LogLevel", 2), 2);
    form_->IniWriteInteger("timeout", 2500);
    form_->IniWriteString(Consts::KeyRemoteCtrlDevPort, "5901");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(ini.readAll()),
              "[System]\nDataSource=zol\nTimeOut=2500\nRemoteCtrlDevPort=5901\n\n[other]\nLogLevel=1\n");

    const QString missing = dir_.filePath("gone");
    TMainForm::SetConfigDirForTest(missing);
    EXPECT_EQ(Thrown([] { form_->IniWriteInteger("TimeOut", 1000); }),
              "Unable to write to " + missing + "/conf.ini");
}

// Control characters count as blank, an ideographic space does not; a blank value warns.
TEST_F(ServicesTest, BlankTest)
{
    for (const QString& blank : {QString(), QString("   "), QString("\t\n"), QString(QChar(1))})
        EXPECT_TRUE(TMainForm::IsBlank(blank));
    EXPECT_FALSE(TMainForm::IsBlank(" a "));
    EXPECT_FALSE(TMainForm::IsBlank(QString(QChar(0x3000))));

    ScriptedAnswerer answers;
    EXPECT_FALSE(form_->WarnIfBlank("x", "不显示"));
    EXPECT_TRUE(form_->WarnIfBlank(" \t", "名称不能为空！"));
    ASSERT_EQ(answers.Count(), 1);
    EXPECT_EQ(Describe(answers.Last()), Describe({"警告", "名称不能为空！", MsgIcon::Warning, MsgButtons::Ok}));
}

// The hint shows grey and reads as empty; entering the memo removes it, leaving it blank brings it
// back; real text stays, in black.
TEST_F(ServicesTest, MemoPlaceholderIsGreyReadsAsEmptyAndGivesWayToText)
{
    QTextEdit memo;
    const auto state = [&] {
        const QColor c = memo.palette().color(QPalette::Active, QPalette::Text);
        const QColor grey = QApplication::palette().color(QPalette::Disabled, QPalette::Text);
        return memo.toPlainText() + (c == grey ? "|grey" : c == QColor(Qt::black) ? "|black" : "|other");
    };
    memo.setPlainText("  " + Hint + "\n");
    EXPECT_EQ(form_->GetMemoText(&memo), "");
    form_->SetMemoText(&memo, " " + Hint + " ");
    EXPECT_EQ(state(), Hint + "|grey");

    form_->MemoHintEnter(&memo);
    EXPECT_EQ(state(), "|black");
    QTest::keyClicks(&memo, "abc");
    form_->MemoHintExit(&memo); // real text stays
    form_->MemoHintEnter(&memo);
    EXPECT_EQ(state(), "abc|black");
    memo.setPlainText(" \n ");
    form_->MemoHintExit(&memo);
    EXPECT_EQ(state(), Hint + "|grey");
}

} // namespace
