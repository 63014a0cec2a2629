// Settings file reading and writing: profile-file rules, lines kept on write. A refused write is
// tested through the main window's settings services.
#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

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

TEST_F(IniFileTest, ReadingRules)
{
    EXPECT_EQ(ini_.ReadString("system", "DataSource", "zol"), "zol"); // no file: the default
    const QString longValue(3000, QChar('x'));
    // Windows line ends and a byte-order mark; of duplicate keys the first wins.
    Put(QByteArray("\xEF\xBB\xBF[SYSTEM]\n  datasource  =   my dsn \t\nQuoted=\"  a b  \"\nSingle='x'\n"
         "Mismatched=\"x'\nOneQuote=\"\nChinese=  数据源  \nEmpty=\nLong=" + longValue.toUtf8() +
         "\nA=0x3\nB=0X1f\nC=abc\nD=-42\nE= 17 \nF=0x\nH=0xFFFFFFFF\nI=99999999999\nJ=12abc\nL=\"8\"\nA=4\n"
         "Off=0\nSeven=7\nWord=yes\n[other]\nTimeOut=1\n").replace("\n", "\r\n"));
    const std::pair<const char*, QString> texts[] = {
        {"DataSource", "my dsn"}, {"quoted", "  a b  "}, {"Single", "x"}, {"Mismatched", "\"x'"},
        {"OneQuote", "\""}, {"Chinese", "数据源"}, {"Empty", ""}, {"Long", longValue.left(2047)}, {"TimeOut", "d"}};
    for (const auto& [key, expected] : texts)
        EXPECT_EQ(ini_.ReadString("System", key, "d"), expected) << key;
    const std::pair<const char*, int> numbers[] = {{"A", 3}, {"B", 31}, {"C", 2}, {"D", -42}, {"E", 17},
                                                   {"F", 2}, {"H", -1}, {"I", 2}, {"J", 2},   {"L", 8}};
    for (const auto& [key, expected] : numbers)
        EXPECT_EQ(ini_.ReadInteger("system", key, 2), expected) << key;
    EXPECT_EQ(ini_.ReadInteger("other", "TimeOut", 0), 1);
    EXPECT_EQ(QString("%1%2%3%4").arg(ini_.ReadBool("system", "Off", true)).arg(ini_.ReadBool("system", "Seven", false))
                  .arg(ini_.ReadBool("system", "Word", true)).arg(ini_.ReadBool("system", "Word", false)),
              "0110");
}

TEST_F(IniFileTest, WritesKeepOtherLinesAndLineEnds)
{
    Put("; settings\n[system]\nDataSource=old\nlogLevel=2\n\n[other]\nKeep=me\n");
    ini_.WriteString("system", "datasource", "新的");
    ini_.WriteInteger("system", "LogLevel", 4);
    ini_.WriteBool("system", "AutoDetected", false);
    EXPECT_EQ(QString::fromUtf8(Get()),
              "; settings\n[system]\nDataSource=新的\nlogLevel=4\nAutoDetected=0\n\n[other]\nKeep=me\n");

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

} // namespace
