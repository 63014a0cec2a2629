// A fake terminal agent: a real TCP server on a 127.0.0.x address that speaks the agent protocol.
#pragma once

#include "peers/PeerServer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <map>
#include <utility>
#include <vector>

// Each connection is served by a thread of its own, so the agent answers while the test's (or a
// demo's) user-interface thread is busy. Text is GBK with CR LF line ends. A connection must
// authenticate ("auth,<nonce>,<token>" with the token of the key) before its commands are
// answered; every line is recorded, answered or not.
//
// Commands: process, net, ups (documents from the values set below), listlogs, getlog,<name> and
// dellog,<name>,... on the real files of a folder, desk (a JPEG picture: the one set, or a new
// one for every request), exit (the agent closes the connection).
class FakeAgent : public PeerServer {
public:
    enum class Fault {
        None,             // answers every command truthfully
        Refuse,           // connections are refused (the port stays bound, nothing listens)
        Silent,           // accepts, records, never answers
        RejectKey,        // every authentication reply rejects the key
        Late,             // every reply comes LateMs late
        Split,            // every reply goes out in two writes, SplitPauseMs apart (100 ms)
        Batch,            // the replies to lines that arrive together go out in one write
        Garbage,          // replies to commands are text that is not XML (ending in "</client>")
        Oversized,        // document replies to commands are padded beyond OversizeBytes
        CloseAfterAuth,   // closes the connection right after the authentication reply
        CloseMidTransfer, // sends half of each reply to a command, then closes the connection
        HugePicture,      // "desk" gets a small picture whose header claims HugeSide x HugeSide
        DeepNesting,      // document replies to commands hold DeepLevels nested elements
        Endless,          // half of each reply, then filler without end until the client goes
        Trickle,          // each reply goes out one byte at a time, SplitPauseMs apart
        ResetMidTransfer, // sends half of each reply to a command, then resets the connection
        GarbageStream,    // answers a command with non-XML documents without end, as fast as they are taken
        ResetAtOnce,      // accepts each connection and resets it at once
    };
    // Which replies a fault of the way out (Late, Split, Batch) affects: all, or only those to
    // commands, so that the authentication goes through unharmed.
    enum class Scope { All, CommandsOnly };
    struct Process {
        QString id;
        QString name;
        QString cpuUsing;
    };
    struct Net {
        QString time;
        QString packetsSent;
        QString packetsReceived;
        QString bytesSent;
        QString bytesReceived;
    };

    static constexpr int DefaultSplitPauseMs = 100;
    static constexpr int BatchGatherMs = 100;
    static constexpr int OversizeBytes = 1536 * 1024;
    static constexpr int HugeSide = 60000;
    static constexpr int DeepLevels = 100000;
    // A log file larger than this goes out a piece of this size at a time, never whole in memory.
    static constexpr qint64 StreamPieceBytes = 1024 * 1024;

    // Listens at once on ip (a loopback address) and port (0: a port chosen by the system).
    // Throws std::runtime_error when it cannot.
    explicit FakeAgent(const QString& ip = QStringLiteral("127.0.0.1"), int port = 0);
    ~FakeAgent() override;

    void SetFault(Fault fault, Scope scope = Scope::All);
    void SetLateMs(int ms) { lateMs_ = ms; }
    void SetSplitPauseMs(int ms) { splitPauseMs_ = ms; }
    void SetKey(const QString& key);
    // The folder whose files "listlogs", "getlog" and "dellog" work on (none: an empty list).
    void SetLogFolder(const QString& dir);
    // The picture every "desk" gets; empty (the default): a new picture for every request.
    void SetDesktop(const QByteArray& jpeg);
    void SetProcesses(std::vector<Process> processes);
    void SetNet(Net net);
    void SetUps(std::vector<std::pair<QString, QString>> values);
    // Replaces what command ("auth" too) is answered with by these bytes, sent as they are
    // (empty: the usual reply again). Whether a connection counts as authenticated still
    // depends on its token alone.
    void SetReply(const QString& command, const QByteArray& bytes);
    // On: after its reply to "getlog" or "listlogs" (the commands of a one-command connection)
    // the agent ends its sending side, so the client's read ends at once rather than after its
    // quiet wait. Off (the default): the agent marks no end.
    void SetEndRawReplies(bool on) { endRawReplies_ = on; }

    // Every line received (without its CR LF), over all connections, in order of arrival.
    QStringList Lines() const;
    // The lines that begin with prefix.
    QStringList LinesStartingWith(const QString& prefix) const;
    void ClearLines();
    int DesksServed() const { return desks_; }

    // A document "<client cmd=...>body</client>" in GBK.
    static QByteArray Document(const QString& command, const QString& body);
    // A real JPEG picture of the given size; seed changes what it shows.
    static QByteArray MakeJpeg(int width, int height, int seed);
    // jpeg with the size in its frame header replaced; nothing else changes.
    static QByteArray ClaimingSize(QByteArray jpeg, int width, int height);
    // The authentication line's token for key and nonce.
    static QString Token(const QString& key, const QString& nonce);

private:
    struct Connection;
    std::function<void()> Accepted(int fd) override;
    void Serve(int fd);
    // The replies to one line, in order; an empty list when nothing is answered.
    void Handle(Connection& c, const QString& line, std::vector<std::pair<QByteArray, bool>>& replies);
    QByteArray ReplyTo(const QString& command, const QString& argument);
    QByteArray Override(const QString& command) const;
    QByteArray ListLogs();
    QString LogFolder() const;
    QByteArray NextDesktop();
    // Sends one reply as the fault wants it; false when the connection is to end.
    bool Send(int fd, QByteArray bytes, bool toCommand);
    // Sends a big log file piece by piece; false when the connection has gone.
    bool SendFile(int fd, const QString& path);

    std::atomic<int> desks_{0};
    std::atomic<int> lateMs_{1000};
    std::atomic<int> splitPauseMs_{DefaultSplitPauseMs};
    std::atomic<bool> endRawReplies_{false};
    Fault fault_ = Fault::None;
    Scope scope_ = Scope::All;
    QString key_ = QStringLiteral("qupzer");
    QString logFolder_;
    QByteArray desktop_;
    std::vector<Process> processes_;
    Net net_;
    std::vector<std::pair<QString, QString>> ups_;
    std::map<QString, QByteArray> replies_;
    QStringList lines_;
};
