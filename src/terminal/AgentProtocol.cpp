// The agent protocol's authentication line, reply test and reply splitter.
#include "terminal/AgentProtocol.h"

#include "foundation/ConsoleServices.h"
#include "foundation/Consts.h"
#include "foundation/Md5String.h"
#include "platform/Exception.h"
#include "platform/GbkCodec.h"
#include "platform/TrimBlanks.h"
#include "terminal/RemoteDeviceController.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

constexpr int NonceDigits = 5;
constexpr int TokenFrom = 5; // the sixth character, counted from 0
constexpr int TokenLength = 5;

// The index just past the first occurrence of close at or after from; text.size() when none.
qsizetype After(QStringView text, qsizetype from, QStringView close)
{
    const qsizetype at = text.indexOf(close, from);
    return at < 0 ? text.size() : at + close.size();
}

// The first pass of ScanReply: declarations, and the attributes of each start or end tag (every
// attribute has its '=' outside quoted values).
AgentProtocol::ReplyShape ScanMarkup(QStringView text)
{
    using AgentProtocol::ReplyShape;
    for (qsizetype i = text.indexOf(u'<'); i >= 0; i = text.indexOf(u'<', i)) {
        const QStringView rest = text.mid(i);
        if (rest.startsWith(u"<!--")) {
            i = After(text, i + 4, u"-->");
        } else if (rest.startsWith(u"<![CDATA[")) {
            i = After(text, i + 9, u"]]>");
        } else if (rest.startsWith(u"<!")) {
            return ReplyShape::Declaration;
        } else if (rest.startsWith(u"<?")) {
            i = After(text, i + 2, u"?>");
        } else {
            int attributes = 0;
            QChar quote;
            for (++i; i < text.size(); ++i) {
                const QChar c = text[i];
                if (!quote.isNull()) {
                    if (c == quote)
                        quote = QChar();
                } else if (c == u'"' || c == u'\'') {
                    quote = c;
                } else if (c == u'=' && ++attributes > AgentProtocol::MaxReplyAttributes) {
                    return ReplyShape::TooManyAttributes;
                } else if (c == u'>') {
                    break;
                }
            }
        }
    }
    return ReplyShape::Plain;
}

// Namespace prefixes are parts of names in a reply, as the agents write them. A reader that
// resolved them would stop at an undeclared prefix, where a parser that does not reads on.
constexpr bool ReplyNamespaceProcessing = false;

// The one way a reply is read, by the depth count and by the parse alike.
std::unique_ptr<QXmlStreamReader> ReplyReader(const QString& text)
{
    auto reader = std::make_unique<QXmlStreamReader>(text);
    reader->setNamespaceProcessing(ReplyNamespaceProcessing);
    return reader;
}

} // namespace

namespace AgentProtocol {

bool OnlyBlanks(const QByteArray& bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) > 32)
            return false;
    return true;
}

ReplyScan ScanReply(const QString& text)
{
    if (const ReplyShape shape = ScanMarkup(text); shape != ReplyShape::Plain)
        return {shape, {}};
    const std::unique_ptr<QXmlStreamReader> reader = ReplyReader(text);
    int depth = 0;
    while (!reader->atEnd()) {
        const QXmlStreamReader::TokenType token = reader->readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > MaxReplyDepth)
            return {ReplyShape::TooDeep, {}};
        if (token == QXmlStreamReader::EndElement)
            --depth;
    }
    if (reader->hasError()) {
        const QString reason = ReadError(reader->errorString(), reader->lineNumber(), reader->columnNumber());
        return {ReplyShape::NotWellFormed, reason};
    }
    return {};
}

QString ReadError(const QString& reason, qint64 line, qint64 column)
{
    return QStringLiteral("%1 (第%2行,第%3列)").arg(reason).arg(line).arg(column);
}

int Port()
{
    return MainForm ? MainForm->IniReadInteger(Consts::SettingSocketPort.key, Consts::SettingSocketPort.def)
                    : Consts::SettingSocketPort.def;
}

QString AuthCommandFor(const QString& key, const QString& nonce)
{
    const QString token = MD5String(key + nonce).mid(TokenFrom, TokenLength);
    return CmdAuth + QLatin1Char(',') + nonce + QLatin1Char(',') + token;
}

QString BuildAuthCommand()
{
    const QString key = MainForm ? MainForm->IniReadStringDef(KeyAuth, DefaultKey) : DefaultKey;
    // The first draw is the last digit. The generator is never seeded, as on the terminals' side.
    int digits[NonceDigits];
    for (int i = NonceDigits - 1; i >= 0; --i)
        digits[i] = std::rand() % 10;
    QString nonce;
    for (int d : digits)
        nonce += QChar(u'0' + d);
    return AuthCommandFor(key, nonce);
}

bool AuthAccepted(const QString& reply)
{
    return reply.contains(QStringLiteral("success"));
}

QByteArray EncodeLine(const QString& command)
{
    return Gbk::Encode(command + LineEnd);
}

QDomDocument ParseReply(const QString& text)
{
    const ReplyScan scan = ScanReply(text);
    switch (scan.shape) {
    case ReplyShape::TooDeep:
        throw Exception(QStringLiteral("远程设备的回复嵌套超过%1层,无法解析!").arg(MaxReplyDepth));
    case ReplyShape::TooManyAttributes:
        throw Exception(QStringLiteral("远程设备的回复中有元素的属性超过%1个,无法解析!").arg(MaxReplyAttributes));
    case ReplyShape::Declaration:
        throw Exception(QStringLiteral("远程设备的回复带有文档类型声明,无法解析!"));
    case ReplyShape::NotWellFormed:
        throw Exception(scan.reason);
    case ReplyShape::Plain:
        break;
    }
    QDomDocument doc;
    QString error;
    int line = 0;
    int column = 0;
    const std::unique_ptr<QXmlStreamReader> reader = ReplyReader(text);
    if (!doc.setContent(reader.get(), ReplyNamespaceProcessing, &error, &line, &column))
        throw Exception(ReadError(error, line, column));
    return doc;
}

} // namespace AgentProtocol

namespace AgentTimings {

int Scaled(int ms)
{
    return RelayTimings::Scaled(ms);
}

} // namespace AgentTimings

QStringList AgentReplySplitter::Feed(const QByteArray& bytes)
{
    // "</client>" begins with '<', which is never the second byte of a GBK character, so a byte
    // search finds it only where it really stands.
    const QByteArray& end = AgentProtocol::ReplyEnd;
    QStringList messages;
    // The carried bytes were searched before: only their last few can begin an end tag now.
    qsizetype searchFrom = std::max<qsizetype>(0, carry_.size() - end.size() + 1);
    // Appended in place: a document that trickles in over many reads is not copied at each one.
    carry_.append(bytes);
    if (skipping_) {
        const qsizetype stop = carry_.indexOf(end, searchFrom);
        if (stop < 0) {
            // Only the tail that may hold the start of the end tag is worth keeping.
            const qsizetype keep = end.size() - 1;
            if (carry_.size() > keep)
                carry_.remove(0, carry_.size() - keep);
            return messages;
        }
        carry_.remove(0, stop + end.size());
        skipping_ = false;
        searchFrom = 0;
    }
    qsizetype from = 0;
    for (qsizetype stop; (stop = carry_.indexOf(end, std::max(from, searchFrom))) >= 0;) {
        const qsizetype next = stop + end.size();
        // However it was cut into reads, a document longer than the limit is dropped.
        if (next - from > MaxCarry)
            WarnDropped();
        else
            messages << TrimBlanks(Gbk::Decode(carry_.mid(from, next - from)));
        from = next;
    }
    carry_.remove(0, from);
    if (AgentProtocol::OnlyBlanks(carry_)) {
        carry_.clear();
    } else if (carry_.size() > MaxCarry) {
        WarnDropped();
        carry_ = carry_.right(end.size() - 1);
        skipping_ = true;
    }
    return messages;
}

void AgentReplySplitter::WarnDropped()
{
    if (MainForm)
        MainForm->LogWarning(QStringLiteral("远程设备的回复超过%1字节,已丢弃.").arg(MaxCarry));
}

void AgentReplySplitter::Clear()
{
    carry_.clear();
    skipping_ = false;
}
