// A profile (INI) file: sections, case-insensitive keys, every read and write goes to the file.
#pragma once

#include <QString>

class IniFile {
public:
    explicit IniFile(const QString& path);
    const QString& FileName() const { return path_; }

    // Text with blanks trimmed and matching surrounding quotes removed, at most 2047 characters;
    // def when the file, section or key is missing.
    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // Decimal, or hexadecimal with a 0x/0X prefix; def when absent or not a number.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    // Read as an integer with default 1/0; any non-zero number is true.
    bool ReadBool(const QString& section, const QString& key, bool def) const;

    // Update the key's line in place, or add it to its section (the section is added when
    // missing). Other lines stay as they are. A refused write throws Exception
    // "Unable to write to <path>".
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);

private:
    QString path_;
};
