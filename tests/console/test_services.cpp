// The main window's shared services: settings in conf.ini, message boxes, blank test, memo hints,
// console log writers. The profile-file rules themselves are the settings file's own tests.
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "platform/Exception.h"
#include "support/ScriptedAnswerer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
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

    QString IniPath() const { return dir_.filePath("conf.ini"); }
    void PutIni(const QByteArray& bytes)
    {
        QFile f(IniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    static inline TMainForm* form_ = nullptr;
    QTemporaryDir dir_;
};

TEST_F(ServicesTest, SettingsLiveInSectionSystemOfConfIniBesideTheProgram)
{
    TMainForm::SetConfigDirForTest(QString());
    EXPECT_EQ(form_->GetConfIni()->FileName(), QCoreApplication::applicationDirPath() + "/conf.ini");
    TMainForm::SetConfigDirForTest(dir_.path());
    EXPECT_EQ(form_->IniReadStringDef("SocketAKey", "qupzer"), "qupzer");
    EXPECT_FALSE(QFile::exists(IniPath())); // reading creates no file

    // Writes reach the file at once and keep its other lines; nothing is cached.
    PutIni("[System]\nDataSource=zol\nTimeOut=1000\n\n[other]\nLogLevel=1\n");
    form_->IniWriteInteger("timeout", 2500);
    form_->IniWriteString(Consts::KeyRemoteCtrlDevPort, "5901");
    QFile f(IniPath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()),
              "[System]\nDataSource=zol\nTimeOut=2500\nRemoteCtrlDevPort=5901\n\n[other]\nLogLevel=1\n");
    EXPECT_EQ(form_->IniReadInteger("LogLevel", 2), 2);
    PutIni("[system]\nTimeOut=0x12C\nAutoDetected=0\n");
    EXPECT_EQ(form_->IniReadInteger("TimeOut", 1000), 300);
    EXPECT_FALSE(form_->IniReadBool("AutoDetected", true));

    const QString missing = dir_.filePath("gone");
    TMainForm::SetConfigDirForTest(missing);
    try {
        form_->IniWriteInteger("TimeOut", 1000);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Unable to write to " + missing + "/conf.ini");
    }
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
    EXPECT_TRUE(form_->Confirm("确定删除？"));
    answers.Answer(MsgResult::Cancel);
    EXPECT_FALSE(form_->Confirm("确定删除？"));

    const MessageRequest expected[] = {{"警告", "名称不能为空！", MsgIcon::Warning, MsgButtons::Ok},
                                       {"错误", "连接失败", MsgIcon::Error, MsgButtons::Ok},
                                       {"确认", "确定删除？", MsgIcon::Question, MsgButtons::OkCancel},
                                       {"确认", "确定删除？", MsgIcon::Question, MsgButtons::OkCancel}};
    const auto describe = [](const MessageRequest& r) {
        return QString("%1|%2|%3|%4").arg(r.caption, r.text).arg(int(r.icon)).arg(int(r.buttons));
    };
    const auto seen = answers.Requests();
    ASSERT_EQ(seen.size(), std::size(expected));
    for (size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(describe(seen[i]), describe(expected[i]));
}

TEST_F(ServicesTest, MemoPlaceholderIsGreyReadsAsEmptyAndGivesWayToText)
{
    QTextEdit memo;
    const auto state = [&] {
        const QColor c = memo.palette().color(QPalette::Active, QPalette::Text);
        const QColor grey = QApplication::palette().color(QPalette::Disabled, QPalette::Text);
        return memo.toPlainText() + (c == grey ? "|grey" : c == QColor(Qt::black) ? "|black" : "|other");
    };
    for (const QString& shown : {Hint, "  " + Hint + "\n", QString(), QString(" \t")}) {
        memo.setPlainText(shown);
        EXPECT_EQ(form_->GetMemoText(&memo), "") << shown.toStdString();
    }
    form_->SetMemoText(&memo, " 备注 ");
    EXPECT_EQ(state(), " 备注 |black");
    EXPECT_EQ(form_->GetMemoText(&memo), " 备注 ");
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

TEST_F(ServicesTest, LogWritersGoToTheConsoleViewAtTheirLevels)
{
    form_->MemoInfo->clear();
    LogLevel = Consts::LevelInfo;
    form_->LogDebug("d");
    form_->LogInfo("i");
    form_->LogWarning("w");
    form_->LogError("e");
    QString text = form_->MemoInfo->toPlainText();
    text.replace(QRegularExpression("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d"), "T");
    EXPECT_EQ(text, "  信息 T : i\n  警告 T : w\n  错误 T : e");
}

} // namespace
