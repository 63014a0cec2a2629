// MD5 text digests through libmd over the text's GBK bytes.
#include "foundation/Md5String.h"

#include "platform/GbkCodec.h"

#include <md5.h>

QString MD5String(const QString& text)
{
    const QByteArray bytes = Gbk::Encode(text);
    MD5_CTX context;
    MD5Init(&context);
    MD5Update(&context, reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    uint8_t digest[MD5_DIGEST_LENGTH];
    MD5Final(digest, &context);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), MD5_DIGEST_LENGTH)
                                   .toHex());
}
