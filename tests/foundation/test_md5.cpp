// MD5 text digests: RFC 1321 vectors and Chinese text digested in its GBK bytes.
#include "foundation/Md5String.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace {

TEST(Md5StringTest, KnownDigests)
{
    EXPECT_EQ(MD5String(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(MD5String("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(MD5String("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
}

TEST(Md5StringTest, ChineseIsDigestedAsGbkBytes)
{
    // md5(D6 D0 CE C4), not the digest of the UTF-8 bytes (a7bac223...).
    EXPECT_EQ(MD5String("中文"), "bcce109775e8e1972e9f5fcda3e12895");
    EXPECT_EQ(MD5String("管理员123"), "82319127b7564366893f75d2be6902ac");
    const QRegularExpression hex("^[0-9a-f]{32}$");
    EXPECT_TRUE(hex.match(MD5String(QString(5000, QChar(0x6587)))).hasMatch());
}

} // namespace
