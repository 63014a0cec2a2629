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

// A small log whole; a big one's end from a line's start, or, within one line (also one that
// ends just there), from a whole GBK character and never empty; a rich-text log's start.
TEST(LogExcerptTest, ShowsAWholePartOfTheLog)
{
    constexpr qsizetype Limit = 104; // the cut falls on the second byte of a Chinese character below
    EXPECT_EQ(Fed("a\r\nb", Limit).Bytes(), "a\r\nb");
    EXPECT_FALSE(Fed("a\r\nb", Limit).IsPart());

    const LogExcerpt lines = Fed(QByteArray("0123456789\r\n").repeated(100), Limit);
    EXPECT_EQ(lines.Bytes(), QByteArray("0123456789\r\n").repeated(Limit / 12));
    EXPECT_TRUE(lines.IsPart());
    EXPECT_FALSE(lines.IsHead());
    EXPECT_EQ(lines.Total(), 1200);

    const QByteArray oneLine = QByteArray(1000, 'x') + "\r\n";
    EXPECT_EQ(Fed(oneLine, Limit).Bytes(), oneLine.right(Limit));

    const QString chinese = QStringLiteral("终端服务进程检查完成,").repeated(50);
    const QString shown = Gbk::Decode(Fed(Gbk::Encode(chinese), Limit).Bytes());
    EXPECT_TRUE(shown.startsWith(QStringLiteral(",终端服务"))) << shown.toStdString();
    EXPECT_TRUE(chinese.endsWith(shown));

    const QByteArray rtf = "{\\rtf1 " + QByteArray(1000, 'r') + "}";
    EXPECT_EQ(Fed(rtf, Limit).Bytes(), rtf.left(Limit));
    EXPECT_TRUE(Fed(rtf, Limit).IsHead());
}
