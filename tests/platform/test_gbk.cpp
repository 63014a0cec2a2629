// GBK encoding: bytes of Chinese text, byte lengths and truncation that never splits a character.
#include "platform/GbkCodec.h"

#include <gtest/gtest.h>

TEST(GbkTest, EncodesDecodesAndCountsChineseAsTwoBytes)
{
    EXPECT_EQ(Gbk::Encode("a中文"), QByteArray("a\xD6\xD0\xCE\xC4"));
    EXPECT_EQ(Gbk::Decode(QByteArray("\xD6\xD0\xCE\xC4" "b")), QString("中文b"));
    EXPECT_EQ(Gbk::Decode(Gbk::Encode("终端 A-01：正常")), QString("终端 A-01：正常"));
    EXPECT_EQ(Gbk::ByteLength("a中文"), 5);
}

TEST(GbkTest, TruncateKeepsWholeCharacters)
{
    const std::tuple<QString, int, QString> cases[] = {
        {"a中文", 5, "a中文"}, {"a中文", 4, "a中"}, {"a中文", 2, "a"}, {"中文", 1, ""},
        {"abc", 0, ""},        {"abc", 10, "abc"}};
    for (const auto& [text, bytes, expected] : cases)
        EXPECT_EQ(Gbk::Truncate(text, bytes), expected) << text.toStdString() << " " << bytes;
}
