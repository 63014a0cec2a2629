// GBK encoding: bytes of Chinese text, byte lengths and truncation that never splits a character.
#include "platform/GbkCodec.h"

#include <gtest/gtest.h>

namespace {

TEST(GbkTest, EncodesAndDecodesChinese)
{
    EXPECT_EQ(Gbk::Encode("a中文"), QByteArray("a\xD6\xD0\xCE\xC4"));
    EXPECT_EQ(Gbk::Decode(QByteArray("\xD6\xD0\xCE\xC4" "b")), QString("中文b"));
    const QString mixed = "终端 A-01：正常";
    EXPECT_EQ(Gbk::Decode(Gbk::Encode(mixed)), mixed);
    EXPECT_EQ(Gbk::Encode(""), QByteArray());
}

TEST(GbkTest, ByteLengthCountsChineseTwice)
{
    EXPECT_EQ(Gbk::ByteLength(""), 0);
    EXPECT_EQ(Gbk::ByteLength("abc"), 3);
    EXPECT_EQ(Gbk::ByteLength("a中文"), 5);
}

TEST(GbkTest, TruncateKeepsWholeCharacters)
{
    EXPECT_EQ(Gbk::Truncate("a中文", 5), QString("a中文"));
    EXPECT_EQ(Gbk::Truncate("a中文", 4), QString("a中"));
    EXPECT_EQ(Gbk::Truncate("a中文", 2), QString("a"));
    EXPECT_EQ(Gbk::Truncate("a中文", 1), QString("a"));
    EXPECT_EQ(Gbk::Truncate("中文", 1), QString());
    EXPECT_EQ(Gbk::Truncate("abc", 0), QString());
    EXPECT_EQ(Gbk::Truncate("abc", 10), QString("abc"));
}

} // namespace
