// The part of a fetched log that the viewer shows, for logs arriving block by block.
#include "platform/GbkCodec.h"
#include "terminal/LogExcerpt.h"

#include <gtest/gtest.h>

namespace {

LogExcerpt Fed(const QByteArray& log, qsizetype limit)
{
    LogExcerpt excerpt(limit);
    constexpr qsizetype BlockBytes = 7;
    for (qsizetype at = 0; at < log.size(); at += BlockBytes)
        excerpt.Append(log.mid(at, BlockBytes));
    return excerpt;
}

} // namespace

// The end of a big log that lies within one line: never empty when its only line end closes it,
// and from a whole GBK character, not a byte out of step with the text.
TEST(LogExcerptTest, AnEndWithinOneLine)
{
    constexpr qsizetype Limit = 104; // the cut falls on the second byte of a Chinese character below
    const QByteArray oneLine = QByteArray(1000, 'x') + "\r\n";
    EXPECT_EQ(Fed(oneLine, Limit).Bytes(), oneLine.right(Limit));

    const QString chinese = QStringLiteral("终端服务进程检查完成,").repeated(50);
    const QString shown = Gbk::Decode(Fed(Gbk::Encode(chinese), Limit).Bytes());
    EXPECT_TRUE(shown.startsWith(QStringLiteral(",终端服务"))) << shown.toStdString();
    EXPECT_TRUE(chinese.endsWith(shown));
}
