// The part of a fetched log that the viewer shows, for logs arriving block by block.
#include "platform/GbkCodec.h"
#include "terminal/LogExcerpt.h"

#include <gtest/gtest.h>

#include <random>

namespace {

LogExcerpt Fed(const QByteArray& log, qsizetype limit, qsizetype blockBytes = 7)
{
    LogExcerpt excerpt(limit);
    for (qsizetype at = 0; at < log.size(); at += blockBytes)
        excerpt.Append(log.mid(at, blockBytes));
    return excerpt;
}

// Text of ASCII, line ends, Chinese and full-width punctuation in random measure, as GBK.
QByteArray RandomGbk(std::mt19937& random, int characters)
{
    const QString ascii = QStringLiteral("abc XYZ 0123,.:;[]{}~\r\n");
    const QString fullWidth = QStringLiteral("，。：；！？（）【】“”、");
    std::uniform_int_distribution<int> kind(0, 2);
    std::uniform_int_distribution<int> chinese(0x4E00, 0x9FA5); // all of them in GBK
    QString text;
    for (int i = 0; i < characters; ++i) {
        switch (kind(random)) {
        case 0:
            text += ascii[std::uniform_int_distribution<qsizetype>(0, ascii.size() - 1)(random)];
            break;
        case 1:
            text += fullWidth[std::uniform_int_distribution<qsizetype>(0, fullWidth.size() - 1)(random)];
            break;
        default:
            text += QChar(chinese(random));
        }
    }
    return Gbk::Encode(text);
}

// The excerpt of log is its end as the viewer decodes it: a suffix of the whole decoded, and all
// of the last limit bytes but at most the one byte of a character that the cut falls in.
void ExpectWholeEnd(const QByteArray& log, qsizetype limit, qsizetype blockBytes, const std::string& what)
{
    const QByteArray shown = Fed(log, limit, blockBytes).Bytes();
    EXPECT_TRUE(log.endsWith(shown)) << what;
    EXPECT_GE(shown.size(), std::min(log.size(), limit - 1)) << what;
    EXPECT_LE(shown.size(), limit) << what;
    EXPECT_TRUE(Gbk::Decode(log).endsWith(Gbk::Decode(shown))) << what;
}

} // namespace

// The whole end is shown, whatever line ends lie in it: a log whose last part is a long line
// closed by a short one shows that part of the long line too, not only the short one.
TEST(LogExcerptTest, TheWholeEndWhateverItsLines)
{
    constexpr qsizetype Limit = 1000;
    const QByteArray log = "first\r\n" + QByteArray(100 * Limit, 'x') + "\r\nend\r\n";
    EXPECT_EQ(Fed(log, Limit).Bytes(), log.right(Limit));
    const QByteArray megabyteLine = "first\r\n" + QByteArray(1024 * 1024, 'x') + "\r\nend\r\n";
    EXPECT_EQ(Fed(megabyteLine, LogExcerpt::ShownBytes, 4096).Bytes(), megabyteLine.right(LogExcerpt::ShownBytes));
}

// Chinese with full-width punctuation has no byte below 0x40 in it: where the cut falls in the
// middle of a character, the end is shown from the next character, in step with the text.
TEST(LogExcerptTest, AnEndOfChineseWithFullWidthPunctuation)
{
    const QString chinese = QStringLiteral("终端服务进程检查完成，").repeated(200);
    const QByteArray log = Gbk::Encode(chinese);
    for (const qsizetype limit : {qsizetype(104), qsizetype(105), qsizetype(1999), qsizetype(2000)}) {
        const QString shown = Gbk::Decode(Fed(log, limit).Bytes());
        EXPECT_EQ(shown, chinese.right(limit / 2)) << limit;
    }
}

// For random texts, cuts and blocks, the excerpt is the end of the log as it decodes, within one
// character of the cut; also where the bytes are no GBK text at all (they decode as the console
// decodes them, byte pairs that are no character included).
TEST(LogExcerptTest, AnyEndDecodesAsTheWholeLogDoes)
{
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> characters(1, 3000);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 300; ++round) {
        QByteArray log = RandomGbk(random, characters(random));
        if (round % 3 == 0) {
            for (char& c : log)
                c = char(byte(random));
        }
        const qsizetype limit = std::uniform_int_distribution<qsizetype>(1, log.size())(random);
        const qsizetype blockBytes = std::uniform_int_distribution<qsizetype>(1, 600)(random);
        ExpectWholeEnd(log, limit, blockBytes, "round " + std::to_string(round));
    }
}

// A rich-text log keeps its start, where its formatting is defined.
TEST(LogExcerptTest, ARichTextLogKeepsItsStart)
{
    const QByteArray log = "{\\rtf1\\ansi " + QByteArray(5000, 'x') + "}";
    const LogExcerpt excerpt = Fed(log, 100);
    EXPECT_TRUE(excerpt.IsHead());
    EXPECT_TRUE(excerpt.IsPart());
    EXPECT_EQ(excerpt.Bytes(), log.left(100));
}
