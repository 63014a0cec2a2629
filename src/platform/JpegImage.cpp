// JPEG decoding through libjpeg with an error manager that returns instead of ending the process.
#include "platform/JpegImage.h"

#include "platform/Exception.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info)
{
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (a truncated file, junk before a marker) leave a usable picture: they are not errors.
void OnMessage(j_common_ptr, int) {}

constexpr unsigned char MarkerPrefix = 0xFF;
constexpr unsigned char Soi = 0xD8;
constexpr unsigned char Eoi = 0xD9;
constexpr unsigned char Sos = 0xDA;
constexpr unsigned char Tem = 0x01;
constexpr unsigned char Rst0 = 0xD0;
constexpr unsigned char Rst7 = 0xD7;

bool Standalone(unsigned char marker)
{
    return marker == Tem || (marker >= Rst0 && marker <= Rst7);
}

} // namespace

namespace JpegImage {

QImage Decode(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        throw Exception(QStringLiteral("JPEG image is empty"));
    jpeg_decompress_struct info{};
    ErrorManager err{};
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    // Everything that must survive a jump back here is declared before setjmp.
    QImage image;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        throw Exception(QStringLiteral("JPEG error: ") + QString::fromLocal8Bit(err.message));
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    // The header alone says how much memory the picture takes; the size a picture may claim is
    // checked before any of it is taken.
    if (info.image_width > JpegImage::MaxSide || info.image_height > JpegImage::MaxSide) {
        jpeg_destroy_decompress(&info);
        throw Exception(QStringLiteral("JPEG image too large: %1 x %2").arg(info.image_width).arg(info.image_height));
    }
    info.out_color_space = JCS_RGB; // greyscale and YCbCr alike come out as RGB
    jpeg_start_decompress(&info);
    image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB888);
    if (image.isNull()) {
        jpeg_destroy_decompress(&info);
        throw Exception(QStringLiteral("JPEG image too large"));
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return image;
}

} // namespace JpegImage

bool JpegEndScanner::Feed(const QByteArray& data)
{
    const auto* b = reinterpret_cast<const unsigned char*>(data.constData());
    const qsizetype size = data.size();
    while (!Complete() && !malformed_) {
        if (!started_) {
            if (size < 2)
                return false;
            if (b[0] != MarkerPrefix || b[1] != Soi) {
                malformed_ = true;
                return false;
            }
            started_ = true;
            pos_ = 2;
            continue;
        }
        if (entropy_) {
            // Coded data runs to the next FF that is not stuffing (FF 00), a restart marker or fill.
            while (pos_ + 1 < size) {
                if (b[pos_] != MarkerPrefix) {
                    ++pos_;
                    continue;
                }
                const unsigned char next = b[pos_ + 1];
                if (next == 0x00 || (next >= Rst0 && next <= Rst7)) {
                    pos_ += 2;
                    continue;
                }
                if (next == MarkerPrefix) {
                    ++pos_; // fill byte: the marker starts at the next FF
                    continue;
                }
                entropy_ = false;
                break;
            }
            if (entropy_)
                return false; // wait for more bytes
            continue;
        }
        // A marker: FF, any fill FFs, the marker code, and for most markers a 16-bit length.
        if (pos_ >= size)
            return false;
        if (b[pos_] != MarkerPrefix) {
            malformed_ = true;
            return false;
        }
        qsizetype code = pos_ + 1;
        while (code < size && b[code] == MarkerPrefix)
            ++code;
        if (code >= size)
            return false;
        const unsigned char marker = b[code];
        if (marker == Eoi) {
            end_ = code + 1;
            return true;
        }
        if (marker == Soi || marker == 0x00) {
            malformed_ = true;
            return false;
        }
        if (Standalone(marker)) {
            pos_ = code + 1;
            continue;
        }
        if (code + 2 >= size)
            return false;
        const int length = (b[code + 1] << 8) | b[code + 2];
        if (length < 2) {
            malformed_ = true;
            return false;
        }
        pos_ = code + 1 + length;
        if (marker == Sos)
            entropy_ = true;
        if (pos_ > size)
            return false; // the segment is not all there yet; pos_ waits beyond the end
    }
    return Complete();
}
