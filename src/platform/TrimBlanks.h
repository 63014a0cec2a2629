// Blanks as the console's texts know them (code 32 or less): trimmed off both ends, or nothing else.
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

// True when the text is empty or holds only characters of code 32 or less.
inline bool IsBlank(QStringView s)
{
    for (QChar c : s)
        if (c.unicode() > 32)
            return false;
    return true;
}
