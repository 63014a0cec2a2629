// The program-wide short date format, set once at login and used by every date <-> text conversion.
#pragma once

#include <QChar>
#include <QDate>
#include <QDateTime>
#include <QString>

// Sets the short date format (Qt date pattern, e.g. "yyyy-MM-dd") and the date separator.
void SetShortDateFormat(const QString& format, QChar separator);
QString ShortDateFormat();
QChar DateSeparator();

// A date as text in the short date format; the empty text for an invalid date.
QString DateToStr(const QDate& date);
// Text in the short date format as a date; an invalid date when the text does not match.
QDate StrToDate(const QString& text);
// Text in the short date format, optionally followed by a time (H:mm or H:mm:ss), as a date and
// time; invalid when the text does not match.
QDateTime StrToDateTime(const QString& text);
