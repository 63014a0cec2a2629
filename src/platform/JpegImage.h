// JPEG pictures: decoding from memory with libjpeg, and telling when a stream of bytes holds a whole picture.
#pragma once

#include <QByteArray>
#include <QImage>

namespace JpegImage {

// Larger than any screen a picture could come from.
inline constexpr unsigned MaxSide = 8192;

// Decodes a JPEG file held in memory. Bytes that are not a JPEG picture, or a picture wider or
// higher than MaxSide, throw Exception.
QImage Decode(const QByteArray& bytes);

} // namespace JpegImage

// Follows the structure of a JPEG file as its bytes arrive and tells when the end-of-image marker
// closes a well-formed picture: segments are skipped by their lengths and entropy-coded data is
// read up to the next real marker, so the bytes FF D9 inside a segment (a thumbnail, a comment)
// end nothing. Bytes that do not start with FF D8 never make a whole picture.
class JpegEndScanner {
public:
    // Looks at the bytes of data not yet seen; data must hold everything fed before, unchanged.
    // True once a whole picture has arrived.
    bool Feed(const QByteArray& data);
    bool Complete() const { return end_ > 0; }
    // Length of the whole picture (up to and including its end marker), 0 until then.
    qsizetype Length() const { return end_; }
    bool Malformed() const { return malformed_; }
    void Reset() { *this = JpegEndScanner(); }

private:
    qsizetype pos_ = 0;     // next byte to look at
    qsizetype end_ = 0;
    bool started_ = false;  // the start-of-image marker was seen
    bool entropy_ = false;  // inside the coded data after a start-of-scan header
    bool malformed_ = false;
};
