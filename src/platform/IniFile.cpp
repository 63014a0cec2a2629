// Profile-file reading and writing with the rules the settings rely on (see IniFile.h).
#include "platform/IniFile.h"

#include "platform/Exception.h"
#include "platform/TrimBlanks.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <mutex>

namespace {

constexpr int MaxValueLength = 2047; // what the profile functions return at most

// Every access is one whole-file read or rewrite; one lock keeps a reader from seeing a
// half-written file and two writers from losing each other's update.
std::mutex& FileLock()
{
    static std::mutex lock;
    return lock;
}

struct Content {
    QStringList lines;
    QString eol = QStringLiteral("\n");
    bool bom = false;
};

enum class LoadResult { Loaded, Missing, Unreadable };

LoadResult Load(const QString& path, Content& content)
{
    QFile file(path);
    if (!file.exists())
        return LoadResult::Missing;
    if (!file.open(QIODevice::ReadOnly))
        return LoadResult::Unreadable;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return LoadResult::Unreadable;
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF))) { // a byte-order mark written by some editors
        content.bom = true;
        text.remove(0, 1);
    }
    if (text.contains(QLatin1String("\r\n")))
        content.eol = QStringLiteral("\r\n");
    content.lines = text.split(QLatin1Char('\n'));
    if (!content.lines.isEmpty() && content.lines.last().isEmpty())
        content.lines.removeLast(); // the final line break does not start a line
    for (QString& line : content.lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    return LoadResult::Loaded;
}


bool SectionName(const QString& line, QString& name)
{
    const QString t = TrimBlanks(line);
    if (!t.startsWith(QLatin1Char('[')))
        return false;
    qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        close = t.size();
    name = TrimBlanks(QStringView(t).mid(1, close - 1));
    return true;
}

bool KeyValue(const QString& line, QString& key, QString& value)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    key = TrimBlanks(QStringView(line).left(eq));
    value = TrimBlanks(QStringView(line).mid(eq + 1));
    return true;
}

// Lines [first, last) of the first section with that name; first is the header line.
bool FindSection(const QStringList& lines, const QString& section, qsizetype& first,
                 qsizetype& last)
{
    QString name;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!SectionName(lines[i], name) || name.compare(section, Qt::CaseInsensitive) != 0)
            continue;
        first = i;
        last = i + 1;
        while (last < lines.size() && !SectionName(lines[last], name))
            ++last;
        return true;
    }
    return false;
}

qsizetype FindKey(const QStringList& lines, qsizetype first, qsizetype last, const QString& key,
                  QString* value = nullptr, QString* storedKey = nullptr)
{
    QString k, v;
    for (qsizetype i = first + 1; i < last; ++i) {
        if (KeyValue(lines[i], k, v) && k.compare(key, Qt::CaseInsensitive) == 0) {
            if (value)
                *value = v;
            if (storedKey)
                *storedKey = k;
            return i;
        }
    }
    return -1;
}

bool ParseHex(QStringView digits, int& result)
{
    if (digits.isEmpty() || digits.size() > 8)
        return false;
    quint32 n = 0;
    for (QChar c : digits) {
        const char16_t u = c.unicode();
        int d = -1;
        if (u >= u'0' && u <= u'9')
            d = u - u'0';
        else if (u >= u'a' && u <= u'f')
            d = u - u'a' + 10;
        else if (u >= u'A' && u <= u'F')
            d = u - u'A' + 10;
        if (d < 0)
            return false;
        n = n * 16 + quint32(d);
    }
    result = int(n); // eight hex digits cover the whole int range, as the profile readers do
    return true;
}

} // namespace

IniFile::IniFile(const QString& path) : path_(path) {}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& def) const
{
    Content content;
    {
        std::lock_guard<std::mutex> guard(FileLock());
        if (Load(path_, content) != LoadResult::Loaded)
            return def;
    }
    qsizetype first = 0, last = 0;
    QString value;
    if (!FindSection(content.lines, section, first, last)
        || FindKey(content.lines, first, last, key, &value) < 0)
        return def;
    if (value.size() >= 2 && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\''))
        && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value.left(MaxValueLength);
}

int IniFile::ReadInteger(const QString& section, const QString& key, int def) const
{
    const QString text = ReadString(section, key, QString());
    if (text.size() > 2 && text.at(0) == QLatin1Char('0')
        && (text.at(1) == QLatin1Char('x') || text.at(1) == QLatin1Char('X'))) {
        int value = 0;
        return ParseHex(QStringView(text).mid(2), value) ? value : def;
    }
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : def;
}

bool IniFile::ReadBool(const QString& section, const QString& key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    // A line break in a value would end its line and start another one (possibly another key).
    QString safeValue = value;
    safeValue.replace(QLatin1String("\r\n"), QLatin1String(" "));
    safeValue.replace(QLatin1Char('\r'), QLatin1Char(' '));
    safeValue.replace(QLatin1Char('\n'), QLatin1Char(' '));

    std::lock_guard<std::mutex> guard(FileLock());
    const QString failure = QString("Unable to write to %1").arg(path_);
    Content content;
    // An existing file that cannot be read must not be replaced by one holding only this key.
    if (Load(path_, content) == LoadResult::Unreadable)
        throw Exception(failure);

    QStringList& lines = content.lines;
    qsizetype first = 0, last = 0;
    if (FindSection(lines, section, first, last)) {
        QString storedKey;
        const qsizetype at = FindKey(lines, first, last, key, nullptr, &storedKey);
        if (at >= 0) {
            lines[at] = storedKey + QLatin1Char('=') + safeValue;
        } else {
            // After the section's last non-blank line, so blank separator lines stay below it.
            qsizetype insertAt = last;
            while (insertAt > first + 1 && TrimBlanks(lines[insertAt - 1]).isEmpty())
                --insertAt;
            lines.insert(insertAt, key + QLatin1Char('=') + safeValue);
        }
    } else {
        lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        lines.append(key + QLatin1Char('=') + safeValue);
    }

    QString text = lines.join(content.eol) + content.eol;
    if (content.bom)
        text.prepend(QChar(0xFEFF));
    QSaveFile file(path_);
    file.setDirectWriteFallback(true); // a writable file in a read-only folder is still writable
    if (!file.open(QIODevice::WriteOnly))
        throw Exception(failure);
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw Exception(failure);
}

void IniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void IniFile::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}
