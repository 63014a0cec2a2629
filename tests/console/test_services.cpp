// The main window's shared services: settings in conf.ini, message boxes, blank test, memo hints.
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

TEST_F(ServicesTest, BlankTestAndMessageBoxes)
{
    for (const QString& blank : {QString(), QString("   "), QString("\t\n"), QString(QChar(1))})
        EXPECT_TRUE(TMainForm::IsBlank(blank));
    EXPECT_FALSE(TMainForm::IsBlank(" a "));
    EXPECT_FALSE(TMainForm::IsBlank(QString(QChar(0x3000)))); // ideographic space is a character

    ScriptedAnswerer answers;
    EXPECT_FALSE(form_->WarnIfBlank("x", "不显示"));
    EXPECT_TRUE(form_->WarnIfBlank(" \t", "名称不能为空！"));
    form_->ShowError("连接失败");
    answers.Answer(MsgResult::Cancel);
    EXPECT_FALSE(form_->Confirm("确定删除？"));
    EXPECT_TRUE(form_->Confirm("确定删除？"));
    QStringList seen;
    for (const MessageRequest& r : answers.Requests())
        seen << Describe(r);
    const QString confirm = Describe({"确认", "确定删除？", MsgIcon::Question, MsgButtons::OkCancel});
    EXPECT_EQ(seen, QStringList({Describe({"警告", "名称不能为空！", MsgIcon::Warning, MsgButtons::Ok}),
                                 Describe({"错误", "连接失败", MsgIcon::Error, MsgButtons::Ok}), confirm, confirm}));
}

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
    form_->SetMemoText(&memo, " 备注 ");
    EXPECT_EQ(state() + form_->GetMemoText(&memo), " 备注 |black 备注 ");
    form_->SetMemoText(&memo, " " + Hint + " ");
    EXPECT_EQ(state(), Hint + "|grey");

    form_->MemoHintEnter(&memo);
    EXPECT_EQ(state(), "|black");
    QTest::keyClicks(&memo, "abc");
    EXPECT_EQ(memo.textColor(), QColor(Qt::black)); // typed text is not grey
    form_->MemoHintExit(&memo); // real text stays
    form_->MemoHintEnter(&memo);
    EXPECT_EQ(state(), "abc|black");
    memo.setPlainText(" \n ");
    form_->MemoHintExit(&memo);
    EXPECT_EQ(state(), Hint + "|grey");
}

} // namespace
