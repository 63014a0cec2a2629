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
#include <QTextEdit>
#include <atomic>
#include <memory>
#include <thread>

namespace {

class ServicesTest : public ::testing::Test {
protected:
    // The window is never shown; the services need only the object.
    static void SetUpTestSuite() { form_ = new TMainForm; }
    static void TearDownTestSuite() { delete form_; }
    void TearDown() override { TMainForm::SetConfigDirForTest(QString()); }

    static inline TMainForm* form_ = nullptr;
    QTemporaryDir dir_;
};

// Beside the program; reads and writes go to the file at once, in its section [System] only; a
// file that cannot be written is an error.
TEST_F(ServicesTest, SettingsLiveInSectionSystemOfConfIniBesideTheProgram)
{
    EXPECT_EQ(form_->GetConfIni()->FileName(), QCoreApplication::applicationDirPath() + "/conf.ini");
    TMainForm::SetConfigDirForTest(dir_.path());
    QFile ini(dir_.filePath("conf.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[System]\nTimeOut=300\n\n[other]\nLogLevel=1\n");
    ini.close();
    EXPECT_EQ(form_->IniReadInteger("TimeOut", 1000), 300);
    EXPECT_EQ(form_->IniReadInteger("LogLevel", 2), 2);
    form_->IniWriteString(Consts::KeyRemoteCtrlDevPort, "5901");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(), "[System]\nTimeOut=300\nRemoteCtrlDevPort=5901\n\n[other]\nLogLevel=1\n");

    const QString missing = dir_.filePath("gone");
    TMainForm::SetConfigDirForTest(missing);
    EXPECT_EQ(Thrown([] { form_->IniWriteInteger("TimeOut", 1000); }), "Unable to write to " + missing + "/conf.ini");
}

// The close forgets the settings file object while workers read settings through it (at every
// agent connection, in the relay client, in the database module): a reader keeps the object it
// has, forgotten or replaced meanwhile, so none is freed under it (the sanitizer build catches a
// use after free), and every read gives the value of one of the two folders.
TEST_F(ServicesTest, AWorkerReadingSettingsWhileTheWindowClosesKeepsItsFile)
{
    constexpr int Rounds = 400;
    QTemporaryDir other;
    for (const QString& dir : {dir_.path(), other.path()}) {
        TMainForm::SetConfigDirForTest(dir);
        form_->IniWriteString("TimeOut", dir == other.path() ? "700" : "300");
    }
    const std::shared_ptr<IniFile> held = form_->GetConfIni();
    form_->close(); // the close event forgets the object
    EXPECT_NE(form_->GetConfIni(), held);
    EXPECT_EQ(held->ReadInteger("System", "TimeOut", 0), 700) << "still usable by its holder";

    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::atomic<int> wrong{0};
    std::thread reader([&] {
        while (!done) {
            const int value = form_->IniReadInteger("TimeOut", 1000);
            if (value != 300 && value != 700)
                ++wrong;
            ++reads;
        }
    });
    for (int round = 0; round < Rounds || reads < Rounds; ++round) {
        TMainForm::SetConfigDirForTest(round % 2 ? dir_.path() : other.path());
        form_->close();
    }
    done = true;
    reader.join();
    EXPECT_EQ(wrong, 0);
}

// Control characters count as blank, an ideographic space does not; a blank value warns.
TEST_F(ServicesTest, BlankTest)
{
    for (const QString& blank : {QString(), QString("   "), QString("\t\n"), QString(QChar(1))})
        EXPECT_TRUE(TMainForm::IsBlank(blank));
    EXPECT_FALSE(TMainForm::IsBlank(QString(QChar(0x3000))));
    ScriptedAnswerer answers;
    EXPECT_FALSE(form_->WarnIfBlank("x", "不显示"));
    EXPECT_TRUE(form_->WarnIfBlank(" \t", "名称不能为空！"));
    EXPECT_EQ(Describe(answers.Last()), Describe({"警告", "名称不能为空！", MsgIcon::Warning, MsgButtons::Ok}));
    EXPECT_EQ(answers.Count(), 1);
}

// The hint shows grey and reads as empty; entering the memo removes it, leaving it blank brings it
// back; real text stays, in black.
TEST_F(ServicesTest, MemoHintIsGreyReadsAsEmptyAndGivesWayToText)
{
    const QString hint = QStringLiteral("在此处填写备注信息...");
    QTextEdit memo;
    const auto state = [&] {
        const QColor c = memo.palette().color(QPalette::Active, QPalette::Text);
        const QColor grey = QApplication::palette().color(QPalette::Disabled, QPalette::Text);
        return form_->GetMemoText(&memo) + (c == grey ? "|grey" : c == QColor(Qt::black) ? "|black" : "|other");
    };
    form_->SetMemoText(&memo, " " + hint + " ");
    EXPECT_EQ(std::pair(memo.toPlainText(), state()), std::pair(hint, QString("|grey")));
    form_->MemoHintEnter(&memo);
    EXPECT_EQ(std::pair(memo.toPlainText(), state()), std::pair(QString(), QString("|black")));
    memo.setPlainText("abc");
    form_->MemoHintExit(&memo);
    EXPECT_EQ(state(), "abc|black");
    memo.setPlainText(" \n ");
    form_->MemoHintExit(&memo);
    EXPECT_EQ(std::pair(memo.toPlainText(), state()), std::pair(hint, QString("|grey")));
}

} // namespace
