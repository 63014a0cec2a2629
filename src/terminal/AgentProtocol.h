// The terminal agent's text protocol: settings, waits, the authentication line and the reply splitter.
#pragma once

#include <QByteArray>
#include <QDomDocument>
#include <QString>
#include <QStringList>

namespace AgentProtocol {

inline constexpr int DefaultPort = 9521;
inline const QString DefaultKey = QStringLiteral("qupzer");
inline const QString KeyPort = QStringLiteral("SocketPort");
inline const QString KeyAuth = QStringLiteral("SocketAKey");

inline const QString LineEnd = QStringLiteral("\r\n");
inline const QByteArray ReplyEnd = QByteArrayLiteral("</client>");
inline const QString CmdAuth = QStringLiteral("auth");
inline const QString CmdProcess = QStringLiteral("process");
inline const QString CmdNet = QStringLiteral("net");
inline const QString CmdUps = QStringLiteral("ups");
inline const QString CmdDesk = QStringLiteral("desk");
inline const QString CmdListLogs = QStringLiteral("listlogs");
inline const QString CmdGetLog = QStringLiteral("getlog");
inline const QString CmdDelLog = QStringLiteral("dellog");
inline const QString CmdExit = QStringLiteral("exit");

// The agent port from the settings, read anew for every connection.
int Port();

// "auth,<nonce>,<token>": the nonce is five decimal digits drawn last digit first from the
// C runtime's generator; the token is characters 6 to 10 of MD5(key + nonce).
QString BuildAuthCommand();
// The same line for a given key and nonce.
QString AuthCommandFor(const QString& key, const QString& nonce);
// The key is accepted when the reply holds "success" anywhere, whatever surrounds it.
bool AuthAccepted(const QString& reply);
// True when bytes hold nothing above code 32 (GBK never uses such bytes inside a character).
bool OnlyBlanks(const QByteArray& bytes);
// The line as it goes on the wire: GBK, CR LF added.
QByteArray EncodeLine(const QString& command);
// Real replies nest a few levels; the parser's time grows much faster than the depth, so a
// document nested deeper than this is refused before it is parsed.
inline constexpr int MaxReplyDepth = 32;
// Real replies carry a few attributes on an element; the parser compares each attribute with all
// before it in the same element, so one element with 100,000 of them takes it 20 s.
inline constexpr int MaxReplyAttributes = 16;
// What a look at a reply finds before it is parsed.
enum class ReplyShape {
    Plain,             // may be parsed
    TooDeep,           // elements nested deeper than MaxReplyDepth
    TooManyAttributes, // an element with more than MaxReplyAttributes attributes
    Declaration,       // a document type or other markup declaration, which no agent sends: its
                       // entities could make a small reply expand to gigabytes in the parser
    NotWellFormed,     // the reader stops with an error before the end: the parse would refuse it too
};
struct ReplyScan {
    ReplyShape shape = ReplyShape::Plain;
    QString reason; // NotWellFormed: the reader's reason with its position, as the operator reads it
};
// Two linear passes, each ending early. The first walks the markup by the XML rules (comments,
// character data sections and processing instructions to their own ends, quoted values skipped)
// for declarations and the attributes of each tag: those must be refused before the parser's
// tokenizer sees them. The second counts the depth with the very reader the parse reads with (the
// same text, the same settings), so that nothing hidden anywhere counts differently from the
// parse; where that reader stops with an error, the reply is refused there, since what lies
// beyond was never counted.
ReplyScan ScanReply(const QString& text);
// A reader's or parser's reason for refusing a text, with the line and column where it stopped.
QString ReadError(const QString& reason, qint64 line, qint64 column);
// A reply document; text that is not XML, is nested too deep or declares a document type throws
// Exception with the reason.
QDomDocument ParseReply(const QString& text);

} // namespace AgentProtocol

// Waits of the blocking agent clients, with the shipped values. They are shortened by the same
// test seam as the relay timings (RelayTimings::SetForTest).
namespace AgentTimings {
inline constexpr int WaitMs = 6000;      // every wait for data and every blocking read
inline constexpr int ReplyRetries = 3;   // waits for the authentication reply after the first
inline constexpr int BufferSize = 4096;  // one read returns at most this much
// The authentication reply wait as a whole: four waits, however the bytes trickle in.
inline constexpr int ReplyTotalMs = (ReplyRetries + 1) * WaitMs;
// A wait looks for a stop this often (not shortened: it is the promptness of a stop).
inline constexpr int StopPollMs = 100;
// ms as it applies now.
int Scaled(int ms);
} // namespace AgentTimings

// What a blocking client keeps of one transfer at most.
namespace AgentLimits {
inline constexpr qsizetype Reply = 1024 * 1024;          // a reply document or a log list
inline constexpr qsizetype Picture = 8 * 1024 * 1024;    // a desktop picture with what precedes it
inline constexpr qsizetype Log = 256 * 1024 * 1024;      // a log file shown in the viewer
} // namespace AgentLimits

// Cuts the text that an event-driven connection receives into reply documents, each ending with
// "</client>". What follows the last whole document is kept for the next read of the same
// connection. A document longer than MaxCarry bytes is dropped, up to and including its own end,
// with a warning line in the console log.
class AgentReplySplitter {
public:
    static constexpr qsizetype MaxCarry = AgentLimits::Reply;

    // The whole documents completed by bytes, in order, decoded from GBK and trimmed.
    QStringList Feed(const QByteArray& bytes);
    qsizetype Carried() const { return carry_.size(); }
    void Clear();

private:
    static void WarnDropped();

    QByteArray carry_;
    bool skipping_ = false; // the rest of an over-long document is being dropped
};
