// Reading a log list reply into table rows, each value cut to its field's width.
#include "terminal/LogList.h"

#include "platform/Exception.h"
#include "platform/GbkCodec.h"
#include "terminal/AgentProtocol.h"

namespace LogList {

const QStringList& Fields()
{
    static const QStringList fields{QStringLiteral("id"),       QStringLiteral("name"),
                                    QStringLiteral("size"),     QStringLiteral("truesize"),
                                    QStringLiteral("lasttime"), QStringLiteral("fullname")};
    return fields;
}

Read FromDocument(const QDomDocument& doc)
{
    Read read;
    std::vector<DataSet::Row> rows;
    const QDomElement list = doc.documentElement().firstChildElement();
    int counter = 1;
    for (QDomElement e = list.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        const QString name = e.attribute(QStringLiteral("name"));
        const QString size = e.attribute(QStringLiteral("size"));
        bool ok = false;
        const int bytes = size.trimmed().toInt(&ok);
        if (!ok) {
            // The rows before the entry stay; the rest of the list is not read.
            read.error = std::make_exception_ptr(Exception(QStringLiteral("'%1' 不是有效的整数值").arg(size)));
            break;
        }
        rows.push_back({Gbk::Truncate(QString::number(counter), IdWidth), Gbk::Truncate(name, NameWidth),
                        Gbk::Truncate(QString::number(bytes / 1000) + QStringLiteral("KB"), SizeWidth),
                        Gbk::Truncate(size, SizeWidth),
                        Gbk::Truncate(e.attribute(QStringLiteral("modifiedTime")), TimeWidth), name});
        ++counter;
    }
    read.rows = std::move(rows);
    return read;
}

Read FromText(const QString& text)
{
    QDomDocument doc;
    try {
        doc = AgentProtocol::ParseReply(text);
    } catch (...) {
        return {std::nullopt, std::current_exception()};
    }
    return FromDocument(doc);
}

} // namespace LogList
