// Writing a file the operator chose: all of it, or an error that names it.
#pragma once

#include <QByteArray>
#include <QString>

// Creates or truncates path and writes bytes; a file that cannot be made or written throws
// Exception naming the path.
void SaveBytes(const QString& path, const QByteArray& bytes);
