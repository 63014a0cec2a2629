// The detail window's agent conversation: loading, connecting, sending, reading and the three reply handlers.
#include "windows/FrmClientDetail.h"

#include "foundation/ConsoleServices.h"
#include "foundation/DbMod.h"
#include "foundation/Consts.h"
#include "platform/Application.h"
#include "platform/Exception.h"
#include "platform/GbkCodec.h"
#include "platform/SocketRead.h"
#include "platform/TrimBlanks.h"
#include "terminal/AgentProtocol.h"
#include "windows/ReplyReading.h"
#include "windows/WindowPlacement.h"

#include <QCheckBox>
#include <QDomDocument>
#include <QLabel>
#include <QTcpSocket>
#include <QTimer>

#include <optional>
#include <vector>

namespace {

const QStringList ProcessFields{QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("cpuUsing")};
const QStringList UpsFields{QStringLiteral("name"), QStringLiteral("value")};


// The entries of a reply: the children of the root's first child element (none when it has none).
std::vector<QDomElement> Entries(const QDomDocument& doc)
{
    std::vector<QDomElement> entries;
    const QDomElement list = doc.documentElement().firstChildElement();
    for (QDomElement e = list.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        entries.push_back(e);
    return entries;
}

bool HasAll(const QDomElement& e, std::initializer_list<const char*> names)
{
    for (const char* name : names)
        if (!e.hasAttribute(QString::fromLatin1(name)))
            return false;
    return true;
}

// A value stored in a fixed-width text field: cut to its width in GBK bytes.
DataSet::Value Fit(const QString& text, int width)
{
    return Gbk::Truncate(text, width);
}

struct UpsLabel {
    const char* entry;
    ElidedLabel* TClientDetail::*label;
    const char* suffix;
};

const UpsLabel UpsLabels[] = {
    {"I/P voltage", &TClientDetail::LblIpVolt, " V"},
    {"I/P fault voltage", &TClientDetail::LblFaultVolt, " V"},
    {"O/P voltage", &TClientDetail::LblOpVolt, " V"},
    {"O/P current", &TClientDetail::LblCurrentVolt, " V"},
    {"O/P frequency", &TClientDetail::LblOpFrenquency, " Hz"},
    {"Battery voltage", &TClientDetail::LblBatteryVolt, " V"},
    {"Temperature", &TClientDetail::LblTemperature, " C"},
};

// The rows of a process reply; nothing when the reply lacks what is read.
std::optional<std::vector<DataSet::Row>> ProcessRows(const QDomDocument& doc)
{
    if (doc.documentElement().firstChildElement().isNull())
        return std::nullopt;
    std::vector<DataSet::Row> rows;
    for (const QDomElement& e : Entries(doc)) {
        if (!HasAll(e, {"id", "name", "cpuUsing"}))
            return std::nullopt;
        rows.push_back({Fit(e.attribute(QStringLiteral("id")), TClientDetail::IdWidth),
                        Fit(e.attribute(QStringLiteral("name")), TClientDetail::NameWidth),
                        Fit(e.attribute(QStringLiteral("cpuUsing")), TClientDetail::CpuWidth)});
    }
    return rows;
}

// The values of a network reply, in the order ShowNet takes them; nothing when one is missing.
std::optional<QStringList> NetValues(const QDomDocument& doc)
{
    const QDomElement root = doc.documentElement();
    const QDomElement packets = root.firstChildElement().firstChildElement();
    const QDomElement bytes = packets.nextSiblingElement();
    if (!root.hasAttribute(QStringLiteral("time")) || !HasAll(packets, {"send", "receive"}) ||
        !HasAll(bytes, {"send", "receive"}))
        return std::nullopt;
    return QStringList{root.attribute(QStringLiteral("time")), packets.attribute(QStringLiteral("send")),
                       packets.attribute(QStringLiteral("receive")), bytes.attribute(QStringLiteral("send")),
                       bytes.attribute(QStringLiteral("receive"))};
}

struct UpsValues {
    TClientDetail::UpsLabelTexts labels; // the named values, each with its label
    std::vector<DataSet::Row> rows;      // the others
};

// The values of a power-supply reply; nothing when an entry has no name.
std::optional<UpsValues> ReadUps(const QDomDocument& doc)
{
    if (doc.documentElement().firstChildElement().isNull())
        return std::nullopt;
    const std::vector<QDomElement> entries = Entries(doc);
    for (const QDomElement& e : entries)
        if (!e.hasAttribute(QStringLiteral("name")))
            return std::nullopt;
    UpsValues ups;
    for (const QDomElement& e : entries) {
        const QString name = e.attribute(QStringLiteral("name"));
        const QString trimmed = TrimBlanks(name);
        const UpsLabel* fixed = nullptr;
        for (const UpsLabel& l : UpsLabels)
            if (trimmed == QLatin1String(l.entry))
                fixed = &l;
        if (fixed)
            ups.labels.emplace_back(fixed->label, e.text() + QLatin1String(fixed->suffix));
        else
            ups.rows.push_back({Fit(name, TClientDetail::NameWidth), Fit(e.text(), TClientDetail::ValueWidth)});
    }
    return ups;
}

} // namespace

void TClientDetail::FormShow()
{
    try {
        InitDetail();
    } catch (...) {
        // A database failure: shown in the standard box; no connection, no time-out count.
        TApplication::ShowException(std::current_exception());
        CloseLater(this);
        return;
    }
    // Also when loading already asked the window to close: the close stops it again.
    TimTimeOut->start();
}

void TClientDetail::InitDetail()
{
    SetProcess.Open(ProcessFields, {});
    SetUpsStatus.Open(UpsFields, {});
    const DataSet row = FormDbMod->QuerySql(
        QStringLiteral("select * from zol_baseinfo a left join zol_status b  on a.id = b.zol_id ") +
        QStringLiteral(" where id=") + QString::number(devId));
    if (row.IsEmpty()) {
        MainForm->ShowWarning(QStringLiteral("设备不存在"));
        CloseLater(this);
        return;
    }
    const QString ip = row.AsString(QStringLiteral("ip"));
    const QString name = row.AsString(QStringLiteral("name"));
    LblDevId->setText(QString::number(devId));
    LblDevName->setText(name);
    LblDevIp->setText(ip);
    LblDevMac->setText(row.AsString(QStringLiteral("mac")));
    LblDevPos->setText(row.AsString(QStringLiteral("position")));
    StatusPanel0->setText(name + QStringLiteral("-") + ip + QStringLiteral("   "));

    const int port = AgentProtocol::Port();
    try {
        MainForm->LogDebug(QStringLiteral("Try to connect to remote device ( ") + ip + QStringLiteral(" ) on Port ( ") +
                           QString::number(port) + QStringLiteral(") , connection type is nonblocking !"));
        // What the connection cannot even begin with fails here; the rest comes as error events.
        if (IsBlank(ip) || port < 1 || port > 65535)
            throw Exception(QStringLiteral("no address to connect to"));
        CSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        SocketRead::Connect(CSocket, ip.trimmed(), quint16(port));
    } catch (...) {
        MainForm->LogWarning(QStringLiteral("Remote Device is not responsed . Connected fail!"));
        MainForm->ShowWarning(QStringLiteral("远程设备无响应,建立连接失败！"));
        CloseLater(this);
    }
}

void TClientDetail::CSocketConnect()
{
    MainForm->LogDebug(QStringLiteral("Remote Device is connected now!"));
    baseTimer();
    // The three views refresh themselves from now on; the boxes stay disabled until the key
    // is accepted. The time-out count goes on until the authentication reply.
    for (auto [box, click] : {std::pair{CbxProcRefresh, &TClientDetail::CbxProcRefreshClick},
                              std::pair{CbxNetRefresh, &TClientDetail::CbxNetRefreshClick},
                              std::pair{CbxUpsRefresh, &TClientDetail::CbxUpsRefreshClick}}) {
        box->setChecked(true);
        (this->*click)();
    }
}

void TClientDetail::baseTimer()
{
    ExecCmd(AgentProtocol::BuildAuthCommand());
    ExecCmd(AgentProtocol::CmdProcess);
    ExecCmd(AgentProtocol::CmdNet);
    ExecCmd(AgentProtocol::CmdUps);
}

void TClientDetail::ExecCmd(const QString& command)
{
    // Commands to a connection that is not (or no longer) open are dropped without a word.
    if (CSocket->state() != QAbstractSocket::ConnectedState)
        return;
    // A reset that the write meets first is the same failure as one the reader meets.
    if (SocketRead::Send(CSocket, AgentProtocol::EncodeLine(command)) == SocketRead::End::Failed) {
        CSocket->abort();
        CSocketError(QAbstractSocket::NetworkError);
    }
}

void TClientDetail::CSocketRead()
{
    // What comes meanwhile waits with the system and is read once the batch is shown.
    if (parsing_->Busy())
        return;
    // A reset, in the middle of a reply or not, is a connection error; the agent closing the
    // connection in an orderly way is none: the window keeps its last values, and later commands
    // are dropped.
    QStringList messages;
    const ReadOutcome outcome =
        ReadReplies(CSocket, splitter_, *box_, ReadChunk, [&messages](const QString& m) { messages << m; });
    if (!messages.isEmpty())
        parsing_->Parse(std::move(messages));
    if (outcome == ReadOutcome::Failed)
        CSocketError(QAbstractSocket::NetworkError);
}

void TClientDetail::Parsed(std::vector<ReplyParsing::Effect> effects, const std::exception_ptr& error)
{
    // Behind a box nothing acts: its failure has the word, and a window that closes after it
    // shows nothing new.
    for (const ReplyParsing::Effect& effect : effects) {
        if (box_->Pending())
            break;
        effect();
    }
    if (error && !box_->Pending())
        box_->BadReply(error);
    CSocketRead();
}

ReplyParsing::Effect TClientDetail::ReadReply(const QString& message)
{
    return ReadDocument(AgentProtocol::ParseReply(message), message);
}

ReplyParsing::Effect TClientDetail::ReadDocument(const QDomDocument& doc, const QString& message)
{
    const QString cmd = doc.documentElement().attribute(QStringLiteral("cmd"));
    // Only the effects use the window: they run on its thread.
    TClientDetail* self = this;
    if (cmd == AgentProtocol::CmdAuth)
        return [self, message] { self->Auth(message); };
    if (cmd == AgentProtocol::CmdProcess) {
        if (std::optional<std::vector<DataSet::Row>> rows = ProcessRows(doc))
            return [self, rows = std::move(*rows)]() mutable { self->ShowProcesses(std::move(rows)); };
    } else if (cmd == AgentProtocol::CmdNet) {
        if (std::optional<QStringList> values = NetValues(doc))
            return [self, values = std::move(*values)] { self->ShowNet(values); };
    } else if (cmd == AgentProtocol::CmdUps) {
        if (std::optional<UpsValues> ups = ReadUps(doc))
            return [self, ups = std::move(*ups)]() mutable { self->ShowUps(ups.labels, std::move(ups.rows)); };
    }
    return [] {};
}

void TClientDetail::Auth(const QString& message)
{
    TimTimeOut->stop();
    if (AgentProtocol::AuthAccepted(message)) {
        SetRefreshControlsEnabled(true);
        return;
    }
    box_->Show([] { MainForm->ShowWarning(QStringLiteral("密钥错误,建立连接失败！")); }, true);
}

void TClientDetail::ShowProcesses(std::vector<DataSet::Row> rows)
{
    const QString remembered = SetProcess.IsEmpty() ? QString() : SetProcess.AsString(QStringLiteral("id"));
    const int count = int(rows.size());
    SetProcess.Open(ProcessFields, std::move(rows));
    if (!SetProcess.Locate(QStringLiteral("id"), remembered))
        SetProcess.First();
    StatusPanel1->setText(QStringLiteral(" 进程数：") + QString::number(count));
}

void TClientDetail::ShowNet(const QStringList& values)
{
    LblUpdateTime->setText(values.value(0));
    LblPacSend->setText(values.value(1));
    LblPacReceive->setText(values.value(2));
    LblByteSend->setText(values.value(3));
    LblByteReceive->setText(values.value(4));
}

void TClientDetail::ShowUps(const UpsLabelTexts& labels, std::vector<DataSet::Row> rows)
{
    const QString remembered = SetUpsStatus.IsEmpty() ? QString() : SetUpsStatus.AsString(QStringLiteral("name"));
    for (const auto& [label, text] : labels)
        (this->*label)->setText(text);
    SetUpsStatus.Open(UpsFields, std::move(rows));
    if (!SetUpsStatus.Locate(QStringLiteral("name"), remembered))
        SetUpsStatus.First();
}

void TClientDetail::TimTimeOutTimer()
{
    ++timeoutTicks;
    if (timeoutTicks <= TimeOut.load() / 1000)
        return;
    TimTimeOut->stop();
    // Marked before the box: a connection error while it is open is the same failure. The box is
    // shown like every other failure's: the refreshes rest and nothing is read behind it, so a
    // late reply neither adds a box nor switches on the controls of a window that is closing.
    errorReported = true;
    box_->Show([] { MainForm->ShowWarning(QStringLiteral("Socket连接超时！")); }, true);
    MainForm->LogWarning(QStringLiteral("Connection Remote Device Timeout ."));
}

void TClientDetail::CSocketError(QAbstractSocket::SocketError error)
{
    // The toolkit reports an orderly close this way (a reset is told apart by the read handler).
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    TimRunStatus->stop();
    TimNetStatus->stop();
    TimUpsStatus->stop();
    TimTimeOut->stop();
    if (errorReported) {
        CloseLater(this);
        return;
    }
    errorReported = true;
    box_->Show([] { MainForm->ShowWarning(QStringLiteral("Socket 连接错误！")); }, true);
}
