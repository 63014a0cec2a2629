// The main window's shared services: settings in conf.ini, message boxes, blank test, memo hints,
// console log writers.
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "platform/Exception.h"
#include "support/ScriptedAnswerer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTextEdit>
#include <memory>

namespace {

const QString Hint = QStringLiteral("在此处填写备注信息...");

class ServicesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The window is never shown; the services need only the object.
        form_ = new TMainForm;
    }
    static void TearDownTestSuite()
    {
        delete form_;
        form_ = nullptr;
    }
    void SetUp() override { TMainForm::SetConfigDirForTest(dir_.path()); }
    void TearDown() override { TMainForm::SetConfigDirForTest(QString()); }

    QString IniPath() const { return dir_.filePath("conf.ini"); }
    void PutIni(const QByteArray& bytes)
    {
        QFile f(IniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray IniBytes() const
    {
        QFile f(IniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static TMainForm* form_;
    QTemporaryDir dir_;
};
TMainForm* ServicesTest::form_ = nullptr;

TEST_F(ServicesTest, SettingsFileLivesBesideTheProgramUnlessRedirected)
{
    TMainForm::SetConfigDirForTest(QString());
    EXPECT_EQ(form_->GetConfIni()->FileName(),
              QCoreApplication::applicationDirPath() + "/conf.ini");
    TMainForm::SetConfigDirForTest(dir_.path());
    IniFile* ini = form_->GetConfIni();
    EXPECT_EQ(ini->FileName(), IniPath());
    EXPECT_EQ(form_->GetConfIni(), ini); // made once, then reused
}

TEST_F(ServicesTest, WithoutConfIniEverySettingIsItsDefault)
{
    EXPECT_EQ(form_->IniReadString("DataSource"), "");
    EXPECT_EQ(form_->IniReadStringDef("DataSource", "zol"), "zol");
    EXPECT_EQ(form_->IniReadInteger("LogLevel", Consts::LevelInfo), 2);
    EXPECT_EQ(form_->IniReadInteger("SocketPort", 9521), 9521);
    EXPECT_EQ(form_->IniReadStringDef("SocketAKey", "qupzer"), "qupzer");
    EXPECT_TRUE(form_->IniReadBool("AutoDetected", true));
    EXPECT_FALSE(QFile::exists(IniPath())); // reading creates no file
}

TEST_F(ServicesTest, ReadsFollowTheProfileRulesInSectionSystem)
{
    PutIni("[System]\nloglevel=0x3\nTimeOut=abc\nAutoDetected=7\nDataSource=   \n"
           "SocketAKey=\" key \"\n[other]\nSocketPort=1\n");
    EXPECT_EQ(form_->IniReadInteger("LogLevel", 2), 3);
    EXPECT_EQ(form_->IniReadInteger("TimeOut", 1000), 1000);
    EXPECT_TRUE(form_->IniReadBool("AutoDetected", false));
    EXPECT_EQ(form_->IniReadString("DataSource"), "");
    EXPECT_EQ(form_->IniReadStringDef("SocketAKey", "qupzer"), " key ");
    EXPECT_EQ(form_->IniReadInteger("SocketPort", 9521), 9521);

    PutIni("[system]\nAutoDetected=0\n");
    EXPECT_FALSE(form_->IniReadBool("AutoDetected", true));
}

TEST_F(ServicesTest, WritesUpdateTheFileAtOnceKeepingItsLines)
{
    PutIni("[system]\nDataSource=zol\nTimeOut=1000\n\n[other]\nx=1\n");
    form_->IniWriteInteger("timeout", 2500);
    form_->IniWriteBool("AutoDetected", false);
    form_->IniWriteString(Consts::KeyRemoteCtrlDevPort, "5901");
    EXPECT_EQ(QString::fromUtf8(IniBytes()),
              "[system]\nDataSource=zol\nTimeOut=2500\nAutoDetected=0\nRemoteCtrlDevPort=5901\n"
              "\n[other]\nx=1\n");
    // Nothing is cached: a change made by another hand is read at the next use.
    PutIni("[system]\nTimeOut=300\n");
    EXPECT_EQ(form_->IniReadInteger("TimeOut", 1000), 300);
}

TEST_F(ServicesTest, ARefusedWriteReachesTheCallerWithThePath)
{
    const QString missing = dir_.filePath("gone");
    TMainForm::SetConfigDirForTest(missing);
    try {
        form_->IniWriteInteger("TimeOut", 1000);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Unable to write to " + missing + "/conf.ini");
    }
}

TEST_F(ServicesTest, BlankMeansOnlyCodesUpTo32)
{
    EXPECT_TRUE(TMainForm::IsBlank(""));
    EXPECT_TRUE(TMainForm::IsBlank("   "));
    EXPECT_TRUE(TMainForm::IsBlank("\t\n"));
    EXPECT_TRUE(TMainForm::IsBlank(QString(QChar(1))));
    EXPECT_FALSE(TMainForm::IsBlank(" a "));
    EXPECT_FALSE(TMainForm::IsBlank(QString(QChar(0x3000)))); // ideographic space is a character
}

TEST_F(ServicesTest, MessageBoxesHaveTheirCaptionsIconsAndButtons)
{
    ScriptedAnswerer answers;
    EXPECT_FALSE(form_->WarnIfBlank("x", "不显示"));
    EXPECT_EQ(answers.Count(), 0);
    EXPECT_TRUE(form_->WarnIfBlank(" \t", "名称不能为空！"));
    form_->ShowError("连接失败");
    answers.Answer(MsgResult::Ok);
    EXPECT_TRUE(form_->Confirm("确定删除？"));
    answers.Answer(MsgResult::Cancel);
    EXPECT_FALSE(form_->Confirm("确定删除？"));

    const auto r = answers.Requests();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].caption, "警告");
    EXPECT_EQ(r[0].text, "名称不能为空！");
    EXPECT_EQ(r[0].icon, MsgIcon::Warning);
    EXPECT_EQ(r[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(r[1].caption, "错误");
    EXPECT_EQ(r[1].icon, MsgIcon::Error);
    EXPECT_EQ(r[1].buttons, MsgButtons::Ok);
    EXPECT_EQ(r[2].caption, "确认");
    EXPECT_EQ(r[2].icon, MsgIcon::Question);
    EXPECT_EQ(r[2].buttons, MsgButtons::OkCancel);
}

TEST_F(ServicesTest, ConfirmIsFalseWhenTheRealBoxIsEscaped)
{
    QTimer::singleShot(0, [] {
        // The box may not be up yet on the first turn; poll briefly.
        auto* timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [timer] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                timer->stop();
                timer->deleteLater();
                QTest::keyClick(w, Qt::Key_Escape);
            }
        });
        timer->start(10);
    });
    EXPECT_FALSE(form_->Confirm("继续？"));
}

class MemoTest : public ServicesTest {
protected:
    QColor TextColour() const { return memo_.palette().color(QPalette::Active, QPalette::Text); }
    QColor Grey() const { return QApplication::palette().color(QPalette::Disabled, QPalette::Text); }
    QTextEdit memo_;
};

TEST_F(MemoTest, PlaceholderReadsAsEmpty)
{
    for (const QString& shown : {Hint, "  " + Hint + "\n", QString(), QString(" \t")}) {
        memo_.setPlainText(shown);
        EXPECT_EQ(form_->GetMemoText(&memo_), "") << shown.toStdString();
    }
    memo_.setPlainText(" a ");
    EXPECT_EQ(form_->GetMemoText(&memo_), " a ");
}

TEST_F(MemoTest, SetMemoTextShowsGreyHintOrBlackText)
{
    form_->SetMemoText(&memo_, "");
    EXPECT_EQ(memo_.toPlainText(), Hint);
    EXPECT_EQ(TextColour(), Grey());
    EXPECT_EQ(form_->GetMemoText(&memo_), "");

    form_->SetMemoText(&memo_, " 备注 ");
    EXPECT_EQ(memo_.toPlainText(), " 备注 ");
    EXPECT_EQ(TextColour(), QColor(Qt::black));

    form_->SetMemoText(&memo_, " " + Hint + " ");
    EXPECT_EQ(memo_.toPlainText(), Hint);
    EXPECT_EQ(TextColour(), Grey());
}

TEST_F(MemoTest, EnterClearsTheHintAndExitRestoresIt)
{
    form_->SetMemoText(&memo_, "");
    form_->MemoHintEnter(&memo_);
    EXPECT_EQ(memo_.toPlainText(), "");
    EXPECT_EQ(TextColour(), QColor(Qt::black));
    QTest::keyClicks(&memo_, "abc");
    EXPECT_EQ(memo_.textColor(), QColor(Qt::black)); // typed text is not grey
    EXPECT_EQ(form_->GetMemoText(&memo_), "abc");

    form_->MemoHintExit(&memo_); // real text stays
    EXPECT_EQ(memo_.toPlainText(), "abc");
    EXPECT_EQ(TextColour(), QColor(Qt::black));

    memo_.setPlainText(" \n ");
    form_->MemoHintExit(&memo_);
    EXPECT_EQ(memo_.toPlainText(), Hint);
    EXPECT_EQ(TextColour(), Grey());

    memo_.setPlainText("note");
    form_->MemoHintEnter(&memo_); // not the hint: kept
    EXPECT_EQ(memo_.toPlainText(), "note");
}

TEST_F(ServicesTest, LogWritersGoToTheConsoleViewAtTheirLevels)
{
    ASSERT_NE(form_->MemoInfo, nullptr);
    form_->MemoInfo->clear();
    LogLevel = Consts::LevelInfo;
    form_->LogDebug("d");
    form_->LogInfo("i");
    form_->LogWarning("w");
    form_->LogError("e");
    const QStringList lines = form_->MemoInfo->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("  信息 ") && lines[0].endsWith(" : i"));
    EXPECT_TRUE(lines[1].startsWith("  警告 ") && lines[1].endsWith(" : w"));
    EXPECT_TRUE(lines[2].startsWith("  错误 ") && lines[2].endsWith(" : e"));
    EXPECT_EQ(TMainForm::GetNowString().size(), 19);
}

} // namespace
