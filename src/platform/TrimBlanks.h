// Trimming as the console's texts need it: blanks and control characters off both ends.
#pragma once

#include <QString>
#include <QStringView>

// The text without the characters of code 32 or less at either end.
inline QString TrimBlanks(QStringView s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && s.at(end - 1).unicode() <= 32)
        --end;
    return s.mid(begin, end - begin).toString();
}
