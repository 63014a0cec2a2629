// The settings dialog: what it shows, each check at its bounds in its order, the writes and the
// live log level and time-out; and the data-source dialog.
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "platform/Exception.h"
#include "platform/RadioGroup.h"
#include "support/ConsoleDb.h"
#include "support/ScriptedAnswerer.h"
#include "windows/FormDataSource.h"
#include "windows/FormPreference.h"

#include <gtest/gtest.h>

#include <QtWidgets>

inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

QString ConfText()
{
    QFile file(MainForm->GetConfIni()->FileName());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class FormPreferenceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ConsoleDb::SetUp(); }
    void SetUp() override
    {
        QFile::remove(MainForm->GetConfIni()->FileName());
        LogLevel = Consts::InitialLogLevel;
        TimeOut = Consts::InitialTimeOut;
        dialog_.FormShow();
    }
    // Types the given fields into a dialog filled from the settings, presses OK, and gives the
    // warning shown ("" when none) after checking that a warning leaves the file as it was.
    QString Press(std::initializer_list<std::pair<QLineEdit*, QString>> fields)
    {
        for (const auto& [edit, text] : fields)
            edit->setText(text);
        const QString before = ConfText();
        const int boxes = answers_.Count();
        dialog_.setResult(QDialog::Rejected);
        dialog_.OKBtnClick();
        if (answers_.Count() == boxes)
            return QString();
        EXPECT_EQ(answers_.Count(), boxes + 1) << "only the first failure is reported";
        EXPECT_EQ(answers_.Last().caption, "警告");
        EXPECT_EQ(ConfText(), before) << "a refused dialog writes nothing";
        EXPECT_EQ(dialog_.result(), QDialog::Rejected);
        return answers_.Last().text;
    }

    ScriptedAnswerer answers_;
    TFormPreference dialog_;
};

// Without settings the dialog shows the defaults; saving writes the keys as typed and makes the log
// level live.
TEST_F(FormPreferenceTest, DefaultsAreShownAndSavedWhole)
{
    TFormPreference& d = dialog_;
    EXPECT_EQ(QStringList({d.EdtTimeOut->text(), d.EdtSocketAKey->text(), d.EdtSocketPort->text(),
                           d.EdtRemoteCtrlStartInterval->text(), d.EdtRemoteCtrlShutdownInterval->text(),
                           d.EdtRemoteCtrlDevPort->text()}),
              QStringList({"1000", "qupzer", "9521", "1000", "2000", "5900"}));
    EXPECT_EQ(d.RgpAutoDetect->ItemIndex(), 0);
    EXPECT_EQ(d.RgpLogLevel->ItemIndex(), 1);

    d.RgpLogLevel->SetItemIndex(0);
    d.RgpAutoDetect->SetItemIndex(1);
    EXPECT_EQ(Press({{d.EdtTimeOut, "2500"}, {d.EdtSocketAKey, " k e "}, {d.EdtRemoteCtrlDevPort, "5901"}}), "");
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_FALSE(MainForm->IniReadBool("AutoDetected", true));
    EXPECT_EQ(MainForm->IniReadInteger("LogLevel", 0), 1);
    EXPECT_EQ(MainForm->IniReadInteger(Consts::KeyRemoteCtrlDevPort, 0), 5901);
    EXPECT_TRUE(ConfText().contains(QStringLiteral("SocketAKey= k e \n"))) << ConfText().toStdString();
    EXPECT_EQ(LogLevel.load(), 1);
}

// Each range check at its bound: 500, 100 to 10000 and ports 1 to 65535 are accepted, one past is
// refused.
TEST_F(FormPreferenceTest, RangesAtTheirBounds)
{
    TFormPreference& d = dialog_;
    for (const char* port : {"0", "65536"}) {
        EXPECT_EQ(Press({{d.EdtRemoteCtrlDevPort, port}}), "远程设备控制端口号必须在1到65535之间！");
        EXPECT_EQ(Press({{d.EdtRemoteCtrlDevPort, "1"}, {d.EdtSocketPort, port}}), "端口号必须在1到65535之间！");
    }
    EXPECT_EQ(Press({{d.EdtSocketPort, "65535"}}), "");
    EXPECT_EQ(Press({{d.EdtRemoteCtrlStartInterval, "499"}}), "网络控制器->开机短接时间至少要大于500毫秒！");
    EXPECT_EQ(Press({{d.EdtRemoteCtrlStartInterval, "500"}, {d.EdtRemoteCtrlShutdownInterval, "499"}}),
              "网络控制器->关机短接时间至少要大于500毫秒！");
    EXPECT_EQ(Press({{d.EdtRemoteCtrlShutdownInterval, "500"}, {d.EdtTimeOut, "99"}}), "超时时间不能小于100毫秒！");
    EXPECT_EQ(Press({{d.EdtTimeOut, "10001"}}), "超时时间不能大于10秒！");
    EXPECT_EQ(Press({{d.EdtTimeOut, "100"}}), "");
    EXPECT_EQ(MainForm->IniReadInteger(Consts::KeyRemoteCtrlStartInterval, 0), 500);
    EXPECT_EQ(TimeOut.load(), 100);
    EXPECT_EQ(Press({{d.EdtTimeOut, "10000"}}), "");
    EXPECT_EQ(TimeOut.load(), 10000);
}

// The checks run in their order, every blank field before any number, and the first failure alone
// is reported; the fields stay as typed.
TEST_F(FormPreferenceTest, FirstFailureAloneInTheirOrder)
{
    TFormPreference& d = dialog_;
    EXPECT_EQ(Press({{d.EdtRemoteCtrlStartInterval, "1s"}, {d.EdtTimeOut, "1e3"}, {d.EdtSocketPort, "\t"}}),
              "Socket端口号不能为空！");
    EXPECT_EQ(Press({{d.EdtSocketPort, "9521"}, {d.EdtRemoteCtrlDevPort, " 5900"}}), "远程设备控制端口号只能输入整型数值！");
    EXPECT_EQ(Press({{d.EdtRemoteCtrlDevPort, "5900"}}), "网络控制器->开机短接时间只能输入整型数值！");
    EXPECT_EQ(Press({{d.EdtRemoteCtrlStartInterval, "1000"}}), "超时时间只能输入整型数值！");
    EXPECT_EQ(Press({{d.EdtTimeOut, "2500 "}}), "超时时间只能输入整型数值！"); // the whole text, blanks included
    EXPECT_EQ(d.EdtTimeOut->text(), "2500 ");
    EXPECT_EQ(TimeOut.load(), Consts::InitialTimeOut);
}

// Hand-edited values the dialog would refuse read as their defaults, each warned once however often
// read; bounds stay as stored. Saving stores the defaults.
TEST_F(FormPreferenceTest, HandEditedValuesOutsideTheRangesReadAsDefaults)
{
    QFile ini(MainForm->GetConfIni()->FileName());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[system]\nTimeOut=-1000\nLogLevel=999\nRemoteCtrlStartInterval=0\nRemoteCtrlShutdownInterval=500\n"
              "SocketPort=-5\nRemoteCtrlDevPort=70000\n");
    ini.close();
    ConsoleDb::ClearLog();
    TFormPreference& d = dialog_;
    d.FormShow();
    d.FormShow();
    EXPECT_EQ(QStringList({d.EdtTimeOut->text(), d.EdtSocketPort->text(), d.EdtRemoteCtrlStartInterval->text(),
                           d.EdtRemoteCtrlShutdownInterval->text(), d.EdtRemoteCtrlDevPort->text()}),
              QStringList({"1000", "9521", "1000", "500", "5900"}));
    EXPECT_EQ(d.RgpLogLevel->ItemIndex(), 1);
    QStringList lines; // level|text
    for (const QString& line : ConsoleDb::LogText().split('\n', Qt::SkipEmptyParts))
        lines << line.trimmed().left(2) + "|" + line.section(" : ", 1);
    EXPECT_EQ(lines, QStringList({"警告|配置文件中 TimeOut=-1000 不在有效范围(100到10000)内,使用默认值 1000.",
                                  "警告|配置文件中 SocketPort=-5 不在有效范围(1到65535)内,使用默认值 9521.",
                                  "警告|配置文件中 LogLevel=999 不在有效范围(1到4)内,使用默认值 2.",
                                  "警告|配置文件中 RemoteCtrlStartInterval=0 不在有效范围(不小于500)内,使用默认值 1000.",
                                  "警告|配置文件中 RemoteCtrlDevPort=70000 不在有效范围(1到65535)内,使用默认值 5900."}));
    EXPECT_EQ(Press({}), "");
    EXPECT_EQ(MainForm->IniReadInteger("LogLevel", 0), Consts::LevelInfo);
    EXPECT_EQ(MainForm->IniReadInteger(Consts::KeyRemoteCtrlStartInterval, 0), 1000);
}

// A settings file that refuses the write: the error leaves the handler, the live values stay.
TEST_F(FormPreferenceTest, RefusedWriteKeepsTheLiveValues)
{
    const QString settingsDir = QFileInfo(MainForm->GetConfIni()->FileName()).path();
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("conf.ini"));
    TMainForm::SetConfigDirForTest(dir.path());
    EXPECT_THROW(dialog_.OKBtnClick(), Exception);
    TMainForm::SetConfigDirForTest(settingsDir);
    EXPECT_EQ(LogLevel.load(), Consts::InitialLogLevel);
    EXPECT_EQ(TimeOut.load(), Consts::InitialTimeOut);
    EXPECT_EQ(dialog_.result(), QDialog::Rejected);
}

// The data source: "zol" when none is stored; a blank name is refused; any other is stored as typed.
TEST_F(FormPreferenceTest, DataSourceNameIsStoredAsTyped)
{
    TFormDataSource source;
    source.FormShow();
    EXPECT_EQ(source.EdtDSName->text(), "zol");
    source.EdtDSName->setText(" \t ");
    source.OKBtnClick();
    EXPECT_EQ(Describe(answers_.Last()), Describe({"警告", "数据源名称不能为空！", MsgIcon::Warning, MsgButtons::Ok}));
    EXPECT_TRUE(ConfText().isEmpty());
    EXPECT_EQ(source.result(), QDialog::Rejected);
    source.EdtDSName->setText(QStringLiteral("备用 库 "));
    source.OKBtnClick();
    EXPECT_EQ(source.result(), QDialog::Accepted);
    EXPECT_TRUE(ConfText().contains(QStringLiteral("DataSource=备用 库 \n")));
}

} // namespace
