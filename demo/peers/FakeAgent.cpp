// The fake terminal agent: an accepting thread, one blocking thread per connection, faults on the way out.
#include "peers/FakeAgent.h"

#include "foundation/Md5String.h"
#include "platform/GbkCodec.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

namespace {

constexpr int Backlog = 64;
constexpr int DesktopWidth = 320;
constexpr int DesktopHeight = 240;
const QByteArray Garbage = QByteArrayLiteral("#garbage# \xb2\xbb\xca\xc7 XML <<< >>> </client>\r\n");

// Dissolving a connection sends a reset at once, and the socket stays the serving thread's.
void ResetConnection(int fd)
{
    sockaddr none{};
    none.sa_family = AF_UNSPEC;
    ::connect(fd, &none, sizeof none);
}

QString Escaped(const QString& text)
{
    return text.toHtmlEscaped(); // & < > " as entities: attribute values stay whole
}

QString Attr(const char* name, const QString& value)
{
    return QStringLiteral(" %1=\"%2\"").arg(QLatin1String(name), Escaped(value));
}

// A name that stays inside the log folder.
bool SafeName(const QString& name)
{
    return !name.isEmpty() && !name.contains(u'/') && name != QStringLiteral("..") && name != QStringLiteral(".");
}

} // namespace

struct FakeAgent::Connection {
    int fd;
    bool authenticated = false;
    bool closing = false;
    bool endSending = false; // after this read's replies, a raw reply marks its end
    bool sendingEnded = false;
    QString bigFile{}; // a log file to stream in the place of this read's empty reply
};

FakeAgent::FakeAgent(const QString& ip, int port) : PeerServer(ip, port, Backlog, "FakeAgent")
{
    StartAccepting();
}

FakeAgent::~FakeAgent()
{
    StopServing();
}

void FakeAgent::SetFault(Fault fault, Scope scope)
{
    std::lock_guard g(lock_);
    fault_ = fault;
    scope_ = scope;
    SetRefusing(fault == Fault::Refuse);
}

std::function<void()> FakeAgent::Accepted(int fd)
{
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return [this, fd] { Serve(fd); };
}

void FakeAgent::SetKey(const QString& key) { std::lock_guard g(lock_); key_ = key; }
void FakeAgent::SetLogFolder(const QString& dir) { std::lock_guard g(lock_); logFolder_ = dir; }
void FakeAgent::SetDesktop(const QByteArray& jpeg) { std::lock_guard g(lock_); desktop_ = jpeg; }
void FakeAgent::SetProcesses(std::vector<Process> processes) { std::lock_guard g(lock_); processes_ = std::move(processes); }
void FakeAgent::SetNet(Net net) { std::lock_guard g(lock_); net_ = std::move(net); }
void FakeAgent::SetUps(std::vector<std::pair<QString, QString>> values) { std::lock_guard g(lock_); ups_ = std::move(values); }

void FakeAgent::SetReply(const QString& command, const QByteArray& bytes)
{
    std::lock_guard g(lock_);
    if (bytes.isEmpty())
        replies_.erase(command);
    else
        replies_[command] = bytes;
}

QStringList FakeAgent::Lines() const
{
    std::lock_guard g(lock_);
    return lines_;
}

QStringList FakeAgent::LinesStartingWith(const QString& prefix) const
{
    QStringList found;
    for (const QString& line : Lines())
        if (line.startsWith(prefix))
            found << line;
    return found;
}

void FakeAgent::ClearLines()
{
    std::lock_guard g(lock_);
    lines_.clear();
}

QByteArray FakeAgent::Document(const QString& command, const QString& body)
{
    return Gbk::Encode(QStringLiteral("<client") + Attr("cmd", command) + QStringLiteral(">") + body +
                       QStringLiteral("</client>"));
}

QByteArray FakeAgent::ClaimingSize(QByteArray jpeg, int width, int height)
{
    // Baseline or progressive frame header: FF C0/C2, length (2), precision (1), height, width.
    for (qsizetype at = jpeg.indexOf('\xFF'); at >= 0 && at + 9 <= jpeg.size(); at = jpeg.indexOf('\xFF', at + 1)) {
        const auto marker = static_cast<unsigned char>(jpeg[at + 1]);
        if (marker == 0xC0 || marker == 0xC2) {
            const char size[] = {char(height >> 8), char(height & 0xFF), char(width >> 8), char(width & 0xFF)};
            jpeg.replace(at + 5, 4, size, 4);
            break;
        }
    }
    return jpeg;
}

QString FakeAgent::Token(const QString& key, const QString& nonce)
{
    return MD5String(key + nonce).mid(5, 5);
}

QByteArray FakeAgent::MakeJpeg(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((seed * 37) % 360, 90, 230));
    {
        QPainter painter(&image);
        painter.fillRect(QRect((seed * 23) % qMax(1, width - 40), height / 3, 40, height / 3), Qt::darkBlue);
        painter.fillRect(QRect(0, 0, width, height / 10), Qt::darkGray);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 85);
    return bytes;
}

void FakeAgent::Serve(int fd)
{
    {
        std::lock_guard g(lock_);
        if (fault_ == Fault::ResetAtOnce) {
            ResetConnection(fd);
            return;
        }
    }
    Connection c{fd};
    QByteArray in;
    char buf[4096];
    for (ssize_t got; !c.closing && (got = ::recv(fd, buf, sizeof buf, 0)) > 0;) {
        in.append(buf, got);
        Fault fault;
        {
            std::lock_guard g(lock_);
            fault = fault_;
        }
        // Lines that come together are answered together: wait a little for the rest of them.
        if (fault == Fault::Batch && in.contains('\n') && Pause(BatchGatherMs)) {
            pollfd p{fd, POLLIN, 0};
            while (::poll(&p, 1, 0) > 0 && (got = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT)) > 0)
                in.append(buf, got);
        }
        std::vector<std::pair<QByteArray, bool>> replies; // bytes, answers a command (not auth)
        for (qsizetype end; !c.closing && (end = in.indexOf('\n')) >= 0;) {
            QByteArray raw = in.left(end);
            in.remove(0, end + 1);
            if (raw.endsWith('\r'))
                raw.chop(1);
            Handle(c, Gbk::Decode(raw), replies);
        }
        if (fault == Fault::Batch && !replies.empty()) {
            QByteArray all;
            for (const auto& reply : replies)
                all += reply.first;
            replies = {{all, false}};
        }
        for (const auto& [bytes, toCommand] : replies) {
            if (c.sendingEnded)
                break;
            const bool sent = bytes.isEmpty() ? SendFile(fd, std::exchange(c.bigFile, QString()))
                                              : Send(fd, bytes, toCommand);
            if (!sent) {
                c.closing = true;
                break;
            }
        }
        if (c.endSending && !c.sendingEnded) {
            ::shutdown(fd, SHUT_WR); // the client reads the end; the agent still reads its "exit"
            c.sendingEnded = true;
        }
    }
    ::shutdown(fd, SHUT_RDWR);
}

void FakeAgent::Handle(Connection& c, const QString& line, std::vector<std::pair<QByteArray, bool>>& replies)
{
    Fault fault;
    QString key;
    {
        std::lock_guard g(lock_);
        lines_ << line;
        fault = fault_;
        key = key_;
    }
    const qsizetype comma = line.indexOf(u',');
    const QString command = comma < 0 ? line : line.left(comma);
    const QString argument = comma < 0 ? QString() : line.mid(comma + 1);
    if (fault == Fault::Silent)
        return;
    if (command == QStringLiteral("exit")) {
        c.closing = true;
        return;
    }
    if (command == QStringLiteral("auth")) {
        const QStringList parts = argument.split(u',');
        const bool good = fault != Fault::RejectKey && parts.size() == 2 && parts[1] == Token(key, parts[0]);
        c.authenticated = c.authenticated || good;
        QByteArray reply = Override(command);
        if (reply.isEmpty())
            reply = Document(command, good ? QStringLiteral("<result>success</result>")
                                           : QStringLiteral("<result>key refused</result>"));
        replies.emplace_back(reply, false);
        if (good && fault == Fault::CloseAfterAuth)
            c.closing = true; // the lines after it are neither read nor answered
        return;
    }
    if (!c.authenticated)
        return;
    if (command == QStringLiteral("getlog") && Override(command).isEmpty()) {
        const QFileInfo file(QDir(LogFolder()).filePath(argument));
        if (SafeName(argument) && file.size() > StreamPieceBytes) {
            c.bigFile = file.filePath();
            replies.emplace_back(QByteArray(), true); // streamed when the replies go out
            if (endRawReplies_)
                c.endSending = true;
            return;
        }
    }
    const QByteArray reply = ReplyTo(command, argument);
    if (!reply.isEmpty())
        replies.emplace_back(reply, true);
    if (endRawReplies_ && (command == QStringLiteral("getlog") || command == QStringLiteral("listlogs")))
        c.endSending = true;
}

QByteArray FakeAgent::Override(const QString& command) const
{
    std::lock_guard g(lock_);
    const auto it = replies_.find(command);
    return it == replies_.end() ? QByteArray() : it->second;
}

QByteArray FakeAgent::ReplyTo(const QString& command, const QString& argument)
{
    if (QByteArray reply = Override(command); !reply.isEmpty())
        return reply;
    std::unique_lock g(lock_);
    if (command == QStringLiteral("process")) {
        QString body;
        for (const Process& p : processes_)
            body += QStringLiteral("<process") + Attr("id", p.id) + Attr("name", p.name) + Attr("cpuUsing", p.cpuUsing) +
                    QStringLiteral("/>");
        return Document(command, QStringLiteral("<processes>") + body + QStringLiteral("</processes>"));
    }
    if (command == QStringLiteral("net")) {
        const QString packets = QStringLiteral("<packets") + Attr("send", net_.packetsSent) +
                                Attr("receive", net_.packetsReceived) + QStringLiteral("/>");
        const QString bytes = QStringLiteral("<bytes") + Attr("send", net_.bytesSent) +
                              Attr("receive", net_.bytesReceived) + QStringLiteral("/>");
        return Gbk::Encode(QStringLiteral("<client cmd=\"net\"") + Attr("time", net_.time) +
                           QStringLiteral("><net>") + packets + bytes + QStringLiteral("</net></client>"));
    }
    if (command == QStringLiteral("ups")) {
        QString body;
        for (const auto& [name, value] : ups_)
            body += QStringLiteral("<value") + Attr("name", name) + QStringLiteral(">") + Escaped(value) +
                    QStringLiteral("</value>");
        return Document(command, QStringLiteral("<ups>") + body + QStringLiteral("</ups>"));
    }
    if (command == QStringLiteral("dellog")) {
        for (const QString& name : argument.split(u','))
            if (SafeName(name) && !logFolder_.isEmpty())
                QFile::remove(QDir(logFolder_).filePath(name));
        return QByteArray();
    }
    const QString folder = logFolder_;
    const QByteArray desktop = desktop_;
    const Fault fault = fault_;
    g.unlock();
    if (command == QStringLiteral("listlogs"))
        return ListLogs();
    if (command == QStringLiteral("getlog")) {
        QFile file(QDir(folder).filePath(argument));
        if (folder.isEmpty() || !SafeName(argument) || !file.open(QIODevice::ReadOnly))
            return QByteArray();
        return file.readAll();
    }
    if (command == QStringLiteral("desk")) {
        const int n = ++desks_;
        if (fault == Fault::HugePicture)
            return ClaimingSize(MakeJpeg(16, 16, n), HugeSide, HugeSide);
        return desktop.isEmpty() ? MakeJpeg(DesktopWidth, DesktopHeight, n) : desktop;
    }
    return QByteArray();
}

QByteArray FakeAgent::ListLogs()
{
    QString folder;
    {
        std::lock_guard g(lock_);
        folder = logFolder_;
    }
    QString body;
    if (!folder.isEmpty())
        for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files, QDir::Name))
            body += QStringLiteral("<log") + Attr("name", file.fileName()) + Attr("size", QString::number(file.size())) +
                    Attr("modifiedTime", file.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))) +
                    QStringLiteral("/>");
    return Document(QStringLiteral("listlogs"), QStringLiteral("<logs>") + body + QStringLiteral("</logs>"));
}

bool FakeAgent::Send(int fd, QByteArray bytes, bool toCommand)
{
    Fault fault;
    {
        std::lock_guard g(lock_);
        fault = (scope_ == Scope::All || toCommand) ? fault_ : Fault::None;
    }
    if (fault == Fault::Late && !Pause(lateMs_))
        return false;
    if (toCommand && fault == Fault::Garbage)
        bytes = Garbage;
    if (toCommand && fault == Fault::Oversized && bytes.startsWith("<client")) {
        // A comment right after the root's start tag: still a well-formed document.
        const qsizetype at = bytes.indexOf('>') + 1;
        bytes.insert(at, "<!--" + QByteArray(OversizeBytes, 'x') + "-->");
    }
    if (toCommand && fault == Fault::DeepNesting && bytes.startsWith("<client")) {
        const qsizetype at = bytes.indexOf('>') + 1;
        bytes.insert(at, QByteArray("<a>").repeated(DeepLevels) + QByteArray("</a>").repeated(DeepLevels));
    }
    if (toCommand && (fault == Fault::CloseMidTransfer || fault == Fault::ResetMidTransfer)) {
        SendAll(fd, bytes.left(bytes.size() / 2));
        if (fault == Fault::ResetMidTransfer)
            ResetConnection(fd);
        return false;
    }
    if (toCommand && fault == Fault::GarbageStream) {
        const QByteArray many = Garbage.repeated(1000);
        while (SendAll(fd, many)) {
        }
        return false;
    }
    if (fault == Fault::Endless) {
        const QByteArray filler(64 * 1024, 'x');
        bool open = SendAll(fd, bytes.left(bytes.size() / 2));
        while (open && Pause(0))
            open = SendAll(fd, filler);
        return false;
    }
    if (fault == Fault::Trickle) {
        bool open = true;
        for (qsizetype i = 0; open && i < bytes.size(); ++i)
            open = SendAll(fd, bytes.mid(i, 1)) && (i + 1 == bytes.size() || Pause(splitPauseMs_));
        return open;
    }
    if (fault == Fault::Split && bytes.size() > 1) {
        const qsizetype half = bytes.size() / 2;
        return SendAll(fd, bytes.left(half)) && Pause(splitPauseMs_) && SendAll(fd, bytes.mid(half));
    }
    return SendAll(fd, bytes);
}

QString FakeAgent::LogFolder() const
{
    std::lock_guard g(lock_);
    return logFolder_;
}

bool FakeAgent::SendFile(int fd, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true; // as a missing file: nothing is sent
    for (QByteArray piece; !(piece = file.read(StreamPieceBytes)).isEmpty();)
        if (!SendAll(fd, piece))
            return false;
    return true;
}
