// MD5 text digests: RFC 1321 vectors and Chinese text digested in its GBK bytes.
#include "foundation/Md5String.h"

#include <gtest/gtest.h>

TEST(Md5StringTest, KnownDigestsWithChineseAsGbkBytes)
{
    const std::pair<QString, const char*> cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"中文", "bcce109775e8e1972e9f5fcda3e12895"}}; // md5(D6 D0 CE C4), not of the UTF-8 bytes
    for (const auto& [text, digest] : cases)
        EXPECT_EQ(MD5String(text), digest) << text.toStdString();
}
