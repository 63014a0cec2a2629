// Settings file reading and writing: profile-file rules, lines kept on write. A refused write is
// tested through the main window's settings services.
#include "platform/IniFile.h"

#include <gtest/gtest.h>

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
    IniFile ini_{Path()};
};

TEST_F(IniFileTest, TextIsTrimmedUnquotedAndLimited)
{
    EXPECT_EQ(ini_.ReadString("system", "DataSource", "zol"), "zol"); // no file: the default
    const QString longValue(3000, QChar('x'));
    Put("[SYSTEM]\n  datasource  =   my dsn \t\nQuoted=\"  a b  \"\nSingle='x'\nMismatched=\"x'\n"
        "OneQuote=\"\nChinese=  数据源  \nEmpty=\nLong=" + longValue.toUtf8() + "\n");
    const std::pair<const char*, QString> cases[] = {
        {"DataSource", "my dsn"}, {"quoted", "  a b  "}, {"Single", "x"}, {"Mismatched", "\"x'"},
        {"OneQuote", "\""},       {"Chinese", "数据源"},  {"Empty", ""},   {"Long", longValue.left(2047)}};
    for (const auto& [key, expected] : cases)
        EXPECT_EQ(ini_.ReadString("System", key, "d"), expected) << key;
}

TEST_F(IniFileTest, IntegersAreDecimalOrPrefixedHexElseTheDefaultAndBooleansAreIntegers)
{
    Put("[system]\nA=0x3\nB=0X1f\nC=abc\nD=-42\nE= 17 \nF=0x\nG=0xZZ\nH=0xFFFFFFFF\n"
        "I=99999999999\nJ=12abc\nK=\nL=\"8\"\nOff=0\nSeven=7\nWord=yes\n");
    const std::pair<const char*, int> cases[] = {{"A", 3},  {"B", 31}, {"C", 2}, {"D", -42},
                                                 {"E", 17}, {"F", 2},  {"G", 2}, {"H", -1},
                                                 {"I", 2},  {"J", 2},  {"K", 2}, {"L", 8}};
    for (const auto& [key, expected] : cases)
        EXPECT_EQ(ini_.ReadInteger("system", key, 2), expected) << key;
    EXPECT_FALSE(ini_.ReadBool("system", "Off", true));
    EXPECT_TRUE(ini_.ReadBool("system", "Seven", false));
    EXPECT_TRUE(ini_.ReadBool("system", "Word", true));
    EXPECT_FALSE(ini_.ReadBool("system", "Word", false));
}

TEST_F(IniFileTest, LayoutVariantsAreRead)
{
    // Windows line ends, a byte-order mark, duplicates (the first wins), keys of other sections.
    Put("\xEF\xBB\xBF[system]\r\nLogLevel=3\r\nLogLevel=4\r\n[other]\r\nTimeOut=1\r\n"
        "[system]\r\nTimeOut=2\r\n");
    EXPECT_EQ(ini_.ReadInteger("system", "LogLevel", 0), 3);
    EXPECT_EQ(ini_.ReadInteger("system", "TimeOut", 0), 0);
    EXPECT_EQ(ini_.ReadInteger("other", "TimeOut", 0), 1);
}

TEST_F(IniFileTest, WritesKeepOtherLinesAndLineEnds)
{
    Put("; settings\n[system]\nDataSource=old\nlogLevel=2\n\n[other]\nKeep=me\n");
    ini_.WriteString("system", "datasource", "新的");
    ini_.WriteInteger("system", "LogLevel", 4);
    ini_.WriteBool("system", "AutoDetected", false);
    EXPECT_EQ(QString::fromUtf8(Get()),
              "; settings\n[system]\nDataSource=新的\nlogLevel=4\nAutoDetected=0\n\n[other]\nKeep=me\n");
    EXPECT_EQ(ini_.ReadString("system", "DataSource", ""), QString("新的"));

    QFile::remove(Path());
    ini_.WriteBool("system", "AutoDetected", true);
    EXPECT_EQ(Get(), "[system]\nAutoDetected=1\n");
    Put("[other]\r\nA=1\r\n");
    ini_.WriteString("system", "SocketAKey", "k");
    EXPECT_EQ(Get(), "[other]\r\nA=1\r\n[system]\r\nSocketAKey=k\r\n");

    // A line break in a value cannot add a key.
    ini_.WriteString("system", "DataSource", "zol\nSocketPort=1");
    EXPECT_EQ(ini_.ReadInteger("system", "SocketPort", 9521), 9521);
    EXPECT_EQ(ini_.ReadString("system", "DataSource", ""), "zol SocketPort=1");
}

TEST_F(IniFileTest, ConcurrentWritersLoseNoKey)
{
    constexpr int Threads = 8, KeysEach = 15;
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t)
        threads.emplace_back([this, t] {
            for (int k = 0; k < KeysEach; ++k)
                ini_.WriteInteger("system", QString("K%1_%2").arg(t).arg(k), t * 100 + k);
        });
    for (auto& th : threads)
        th.join();
    for (int t = 0; t < Threads; ++t)
        for (int k = 0; k < KeysEach; ++k)
            EXPECT_EQ(ini_.ReadInteger("system", QString("K%1_%2").arg(t).arg(k), -1), t * 100 + k);
}

} // namespace
