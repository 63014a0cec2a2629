// Fuzzes the JPEG decoding of the desktop window and the scanner that finds a picture's end in a
// stream: bytes that are no picture are an Exception, anything else a fault.
#include "platform/Exception.h"
#include "platform/JpegImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // The stream arrives in two reads; the end found lies within what arrived.
    JpegEndScanner scanner;
    scanner.Feed(bytes.left(bytes.size() / 2));
    scanner.Feed(bytes);
    if (scanner.Length() > bytes.size())
        std::abort();
    try {
        JpegImage::Decode(scanner.Complete() ? bytes.left(scanner.Length()) : bytes);
    } catch (const Exception&) {
    }
    return 0;
}
