// Writing a whole file, with the failure as an error that names the file.
#include "platform/SaveBytes.h"

#include "platform/Exception.h"

#include <QFile>

void SaveBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Exception(QStringLiteral("无法创建文件 \"%1\"。%2").arg(path, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.flush())
        throw Exception(QStringLiteral("无法写入文件 \"%1\"。%2").arg(path, file.errorString()));
}
