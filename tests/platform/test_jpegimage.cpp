// JPEG pictures: decoding from memory, and telling from the bytes alone when a picture is whole.
#include "platform/Exception.h"
#include "platform/JpegImage.h"
#include "peers/FakeAgent.h"
#include "support/Thrown.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageWriter>

namespace {

QByteArray Progressive(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(image);
    return bytes;
}

// A segment (marker FF code, 16-bit length, payload) placed right after the start of image.
QByteArray WithSegment(const QByteArray& jpeg, unsigned char code, const QByteArray& payload)
{
    const int length = int(payload.size()) + 2;
    QByteArray segment;
    segment += char(0xFF);
    segment += char(code);
    segment += char(length >> 8);
    segment += char(length & 0xFF);
    segment += payload;
    return jpeg.left(2) + segment + jpeg.mid(2);
}

// Feeds bytes in blocks of step, as reads would bring them; the size fed when the scanner first
// said "whole", or -1.
qsizetype WholeAfter(const QByteArray& bytes, int step)
{
    JpegEndScanner scanner;
    QByteArray seen;
    for (qsizetype at = 0; at < bytes.size(); at += step) {
        seen += bytes.mid(at, step);
        if (scanner.Feed(seen))
            return seen.size() >= scanner.Length() ? scanner.Length() : -2;
    }
    return -1;
}

TEST(JpegImageTest, DecodesPicturesAndRefusesOtherBytes)
{
    const QImage picture = JpegImage::Decode(FakeAgent::MakeJpeg(64, 48, 3));
    EXPECT_EQ(picture.size(), QSize(64, 48));
    for (const QByteArray& bad : {QByteArray("not a picture at all"), QByteArray(), QByteArray("\xFF\xD8\xFF\xD9", 4)})
        EXPECT_NE(Thrown([&] { JpegImage::Decode(bad); }), "<no exception>") << bad.toHex().toStdString();
    // A picture claiming more than a screen could hold is refused from its header alone.
    const QByteArray small = FakeAgent::MakeJpeg(16, 16, 1);
    const int side = int(JpegImage::MaxSide);
    EXPECT_EQ(JpegImage::Decode(FakeAgent::ClaimingSize(small, side, 16)).size(), QSize(side, 16));
    for (const QSize claimed : {QSize(side + 1, 16), QSize(16, side + 1), QSize(FakeAgent::HugeSide, FakeAgent::HugeSide)})
        EXPECT_TRUE(Thrown([&] { JpegImage::Decode(FakeAgent::ClaimingSize(small, claimed.width(), claimed.height())); })
                        .contains("too large")) << claimed.width() << " x " << claimed.height();
}

// Whole exactly at the end marker, however the bytes are cut; end markers inside segments (a
// comment, a thumbnail) and restart or stuffed bytes in coded data end nothing; progressive
// pictures have several scans.
TEST(JpegImageTest, ScannerFindsTheEndOfAWellFormedPicture)
{
    const QByteArray plain = FakeAgent::MakeJpeg(320, 240, 1);
    const QByteArray thumb = FakeAgent::MakeJpeg(16, 16, 2);
    const struct {
        const char* what;
        QByteArray bytes;
    } pictures[] = {
        {"plain", plain},
        {"progressive", Progressive(JpegImage::Decode(plain))},
        {"comment holding FF D9", WithSegment(plain, 0xFE, QByteArray("\xFF\xD9\xFF\xD9 end?", 9))},
        {"thumbnail in APP1", WithSegment(plain, 0xE1, "Exif\0\0" + thumb)},
    };
    for (const auto& p : pictures) {
        for (int step : {1, 7, 4096, 1 << 20})
            EXPECT_EQ(WholeAfter(p.bytes, step), p.bytes.size()) << p.what << " in blocks of " << step;
        EXPECT_EQ(WholeAfter(p.bytes + "trailing bytes", 4096), p.bytes.size()) << p.what;
        EXPECT_EQ(WholeAfter(p.bytes.left(p.bytes.size() - 1), 512), -1) << p.what << " without its last byte";
    }

    JpegEndScanner scanner;
    EXPECT_FALSE(scanner.Feed("<client cmd=\"auth\"/>" + plain));
    EXPECT_TRUE(scanner.Malformed());
    scanner.Reset();
    EXPECT_FALSE(scanner.Feed(QByteArray("\xFF\xD8\x12\x34", 4)));
    EXPECT_TRUE(scanner.Malformed()) << "after the start marker only markers may follow";
}

} // namespace
