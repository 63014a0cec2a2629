// MD5 digest of a text as 32 lower-case hexadecimal digits.
#pragma once

#include <QString>

// Digest of the text's bytes in the local code page of the stored data (GBK), no terminator.
QString MD5String(const QString& text);
