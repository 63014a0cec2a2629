// Settings file reading and writing: profile-file rules, lines kept on write, refused writes.
#include "platform/Exception.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <thread>
#include <vector>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QString Path() const { return dir_.filePath("conf.ini"); }
    void Put(const QByteArray& bytes)
    {
        QFile f(Path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray Get() const
    {
        QFile f(Path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir_;
};

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefaults)
{
    IniFile ini(Path());
    EXPECT_EQ(ini.ReadString("system", "DataSource", "zol"), "zol");
    EXPECT_EQ(ini.ReadInteger("system", "SocketPort", 9521), 9521);
    EXPECT_TRUE(ini.ReadBool("system", "AutoDetected", true));

    Put("[other]\nSocketPort=1\n");
    EXPECT_EQ(ini.ReadInteger("system", "SocketPort", 9521), 9521);
    Put("[system]\nTimeOut=5\n");
    EXPECT_EQ(ini.ReadInteger("system", "SocketPort", 9521), 9521);
    EXPECT_EQ(ini.ReadString("system", "DataSource", ""), "");
}

TEST_F(IniFileTest, TextIsTrimmedUnquotedAndLimited)
{
    const QString longValue(3000, QChar('x'));
    Put(QByteArray("[SYSTEM]\n"
                   "  datasource  =   my dsn \t\n"
                   "Quoted=\"  a b  \"\n"
                   "Single='x'\n"
                   "Mismatched=\"x'\n"
                   "OneQuote=\"\n"
                   "Chinese=  数据源  \n"
                   "Empty=\n"
                   "Long=") + longValue.toUtf8() + "\n");
    IniFile ini(Path());
    EXPECT_EQ(ini.ReadString("system", "DataSource", "d"), "my dsn");
    EXPECT_EQ(ini.ReadString("System", "quoted", "d"), "  a b  ");
    EXPECT_EQ(ini.ReadString("system", "Single", "d"), "x");
    EXPECT_EQ(ini.ReadString("system", "Mismatched", "d"), "\"x'");
    EXPECT_EQ(ini.ReadString("system", "OneQuote", "d"), "\"");
    EXPECT_EQ(ini.ReadString("system", "Chinese", "d"), QString("数据源"));
    EXPECT_EQ(ini.ReadString("system", "Empty", "d"), "");
    EXPECT_EQ(ini.ReadString("system", "Long", "d"), longValue.left(2047));
}

TEST_F(IniFileTest, IntegersAreDecimalOrPrefixedHexElseTheDefault)
{
    Put("[system]\n"
        "A=0x3\nB=0X1f\nC=abc\nD=-42\nE= 17 \nF=0x\nG=0xZZ\nH=0xFFFFFFFF\n"
        "I=99999999999\nJ=12abc\nK=\nL=\"8\"\n");
    IniFile ini(Path());
    EXPECT_EQ(ini.ReadInteger("system", "A", 2), 3);
    EXPECT_EQ(ini.ReadInteger("system", "B", 2), 31);
    EXPECT_EQ(ini.ReadInteger("system", "C", 2), 2);
    EXPECT_EQ(ini.ReadInteger("system", "D", 2), -42);
    EXPECT_EQ(ini.ReadInteger("system", "E", 2), 17);
    EXPECT_EQ(ini.ReadInteger("system", "F", 2), 2);
    EXPECT_EQ(ini.ReadInteger("system", "G", 2), 2);
    EXPECT_EQ(ini.ReadInteger("system", "H", 2), -1);
    EXPECT_EQ(ini.ReadInteger("system", "I", 2), 2);
    EXPECT_EQ(ini.ReadInteger("system", "J", 2), 2);
    EXPECT_EQ(ini.ReadInteger("system", "K", 2), 2);
    EXPECT_EQ(ini.ReadInteger("system", "L", 2), 8);
}

TEST_F(IniFileTest, BooleansAreIntegers)
{
    Put("[system]\nOff=0\nOn=1\nSeven=7\nWord=yes\n");
    IniFile ini(Path());
    EXPECT_FALSE(ini.ReadBool("system", "Off", true));
    EXPECT_TRUE(ini.ReadBool("system", "On", false));
    EXPECT_TRUE(ini.ReadBool("system", "Seven", false));
    EXPECT_TRUE(ini.ReadBool("system", "Word", true));
    EXPECT_FALSE(ini.ReadBool("system", "Word", false));
    EXPECT_FALSE(ini.ReadBool("system", "Missing", false));
}

TEST_F(IniFileTest, LayoutVariantsAreRead)
{
    // Windows line ends, a byte-order mark, duplicates (the first wins), keys of other sections.
    Put("\xEF\xBB\xBF[system]\r\nLogLevel=3\r\nLogLevel=4\r\n[other]\r\nTimeOut=1\r\n"
        "[system]\r\nTimeOut=2\r\n");
    IniFile ini(Path());
    EXPECT_EQ(ini.ReadInteger("system", "LogLevel", 0), 3);
    EXPECT_EQ(ini.ReadInteger("system", "TimeOut", 0), 0);
    EXPECT_EQ(ini.ReadInteger("other", "TimeOut", 0), 1);
}

TEST_F(IniFileTest, WritesKeepOtherLinesAndAddNewKeysToTheirSection)
{
    Put("; settings\n[system]\nDataSource=old\nlogLevel=2\n\n[other]\nKeep=me\n");
    IniFile ini(Path());
    ini.WriteString("system", "datasource", "新的");
    ini.WriteInteger("system", "LogLevel", 4);
    ini.WriteBool("system", "AutoDetected", false);
    ini.WriteInteger("system", "TimeOut", 1500);
    EXPECT_EQ(QString::fromUtf8(Get()),
              "; settings\n[system]\nDataSource=新的\nlogLevel=4\nAutoDetected=0\nTimeOut=1500\n"
              "\n[other]\nKeep=me\n");
    EXPECT_EQ(ini.ReadString("system", "DataSource", ""), QString("新的"));
    EXPECT_EQ(ini.ReadInteger("system", "LogLevel", 0), 4);
    EXPECT_FALSE(ini.ReadBool("system", "AutoDetected", true));
    EXPECT_EQ(ini.ReadString("other", "Keep", ""), "me");
}

TEST_F(IniFileTest, WritesCreateFileAndSectionAndKeepLineEnds)
{
    IniFile ini(Path());
    ini.WriteBool("system", "AutoDetected", true);
    EXPECT_EQ(Get(), "[system]\nAutoDetected=1\n");

    Put("[other]\r\nA=1\r\n");
    ini.WriteString("system", "SocketAKey", "k");
    EXPECT_EQ(Get(), "[other]\r\nA=1\r\n[system]\r\nSocketAKey=k\r\n");
}

TEST_F(IniFileTest, ALineBreakInAValueCannotAddAKey)
{
    IniFile ini(Path());
    ini.WriteString("system", "DataSource", "zol\nSocketPort=1");
    EXPECT_EQ(ini.ReadInteger("system", "SocketPort", 9521), 9521);
    EXPECT_EQ(ini.ReadString("system", "DataSource", ""), "zol SocketPort=1");
}

TEST_F(IniFileTest, RefusedWriteNamesTheFile)
{
    const QString missingDir = dir_.filePath("no/such/folder/conf.ini");
    IniFile ini(missingDir);
    try {
        ini.WriteInteger("system", "TimeOut", 1000);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Unable to write to " + missingDir);
    }

    // A folder where the file should be: neither readable as a file nor replaceable.
    ASSERT_TRUE(QDir(dir_.path()).mkdir("conf.ini"));
    IniFile blocked(Path());
    EXPECT_THROW(blocked.WriteString("system", "A", "1"), Exception);
    EXPECT_EQ(blocked.ReadString("system", "A", "def"), "def");
}

TEST_F(IniFileTest, ConcurrentWritersLoseNoKey)
{
    constexpr int Threads = 8;
    constexpr int KeysEach = 15;
    IniFile ini(Path());
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t)
        threads.emplace_back([&ini, t] {
            for (int k = 0; k < KeysEach; ++k) {
                ini.WriteInteger("system", QString("K%1_%2").arg(t).arg(k), t * 100 + k);
                ini.ReadInteger("system", "K0_0", -1);
            }
        });
    for (auto& th : threads)
        th.join();
    for (int t = 0; t < Threads; ++t)
        for (int k = 0; k < KeysEach; ++k)
            EXPECT_EQ(ini.ReadInteger("system", QString("K%1_%2").arg(t).arg(k), -1), t * 100 + k);
}

} // namespace
