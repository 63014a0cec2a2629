// The local Chinese code page (GBK) of the terminals' wire protocol and of fixed-width fields.
#pragma once

#include <QByteArray>
#include <QString>

namespace Gbk {
QByteArray Encode(const QString& text);
QString Decode(const QByteArray& bytes);
// Length of text in GBK bytes (a Chinese character counts two).
int ByteLength(const QString& text);
// The longest prefix of text whose GBK form fits in maxBytes, never splitting a character.
QString Truncate(const QString& text, int maxBytes);
} // namespace Gbk
