// The program-wide short date format: one setting behind a lock, read from any thread.
#include "foundation/DateFormat.h"

#include <mutex>

namespace {
std::mutex formatLock;
// Until the login dialog sets it, the program already uses the format it will set.
QString shortDateFormat = QStringLiteral("yyyy-MM-dd");
QChar dateSeparator = QLatin1Char('-');
} // namespace

void SetShortDateFormat(const QString& format, QChar separator)
{
    std::lock_guard<std::mutex> guard(formatLock);
    shortDateFormat = format;
    dateSeparator = separator;
}

QString ShortDateFormat()
{
    std::lock_guard<std::mutex> guard(formatLock);
    return shortDateFormat;
}

QChar DateSeparator()
{
    std::lock_guard<std::mutex> guard(formatLock);
    return dateSeparator;
}

QString DateToStr(const QDate& date)
{
    return date.isValid() ? date.toString(ShortDateFormat()) : QString();
}

QDate StrToDate(const QString& text)
{
    return QDate::fromString(text.trimmed(), ShortDateFormat());
}

QDateTime StrToDateTime(const QString& text)
{
    const QString trimmed = text.trimmed();
    const QString date = ShortDateFormat();
    for (const QString& time : {QStringLiteral(" H:mm:ss"), QStringLiteral(" H:mm"), QString()}) {
        QDateTime value = QDateTime::fromString(trimmed, date + time);
        if (value.isValid())
            return value;
    }
    return QDateTime();
}
