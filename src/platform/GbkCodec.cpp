// GBK encoding and decoding through Qt's ICU codecs; one codec object per call keeps threads apart.
#include "platform/GbkCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace Gbk {

QByteArray Encode(const QString& text)
{
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

QString Decode(const QByteArray& bytes)
{
    QStringDecoder decoder("GBK");
    return decoder.decode(bytes);
}

int ByteLength(const QString& text)
{
    return int(Encode(text).size());
}

QString Truncate(const QString& text, int maxBytes)
{
    if (maxBytes <= 0)
        return QString();
    QStringEncoder encoder("GBK");
    int used = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        // A surrogate pair is one character and must stay whole.
        qsizetype len = (text.at(i).isHighSurrogate() && i + 1 < text.size()
                         && text.at(i + 1).isLowSurrogate()) ? 2 : 1;
        const QByteArray encoded = encoder.encode(QStringView(text).mid(i, len));
        const int bytes = int(encoded.size());
        if (used + bytes > maxBytes)
            break;
        used += bytes;
        i += len;
    }
    return text.left(i);
}

} // namespace Gbk
