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
    // A reset, in the middle of a reply or not, is a connection error; the agent closing the
    // connection in an orderly way is none: the window keeps its last values, and later commands
    // are dropped.
    if (ReadReplies(CSocket, splitter_, *box_, ReadChunk, [this](const QString& m) { DealResp(m); }) ==
        ReadOutcome::Failed)
        CSocketError(QAbstractSocket::NetworkError);
}

void TClientDetail::DealResp(const QString& message)
{
    const QDomDocument doc = AgentProtocol::ParseReply(message);
    const QString cmd = doc.documentElement().attribute(QStringLiteral("cmd"));
    if (cmd == AgentProtocol::CmdProcess)
        OnProcessReply(doc);
    else if (cmd == AgentProtocol::CmdNet)
        OnNetReply(doc);
    else if (cmd == AgentProtocol::CmdUps)
        OnUpsReply(doc);
    else if (cmd == AgentProtocol::CmdAuth)
        Auth(message);
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

// A reply that lacks an element or attribute that is read changes nothing: each handler checks
// the whole reply before it touches a view.

void TClientDetail::OnProcessReply(const QDomDocument& doc)
{
    const QString remembered = SetProcess.IsEmpty() ? QString() : SetProcess.AsString(QStringLiteral("id"));
    if (doc.documentElement().firstChildElement().isNull())
        return;
    std::vector<DataSet::Row> rows;
    for (const QDomElement& e : Entries(doc)) {
        if (!HasAll(e, {"id", "name", "cpuUsing"}))
            return;
        rows.push_back({Fit(e.attribute(QStringLiteral("id")), IdWidth),
                        Fit(e.attribute(QStringLiteral("name")), NameWidth),
                        Fit(e.attribute(QStringLiteral("cpuUsing")), CpuWidth)});
    }
    const int count = int(rows.size());
    SetProcess.Open(ProcessFields, std::move(rows));
    if (!SetProcess.Locate(QStringLiteral("id"), remembered))
        SetProcess.First();
    StatusPanel1->setText(QStringLiteral(" 进程数：") + QString::number(count));
}

void TClientDetail::OnNetReply(const QDomDocument& doc)
{
    const QDomElement root = doc.documentElement();
    const QDomElement packets = root.firstChildElement().firstChildElement();
    const QDomElement bytes = packets.nextSiblingElement();
    if (!root.hasAttribute(QStringLiteral("time")) || !HasAll(packets, {"send", "receive"}) ||
        !HasAll(bytes, {"send", "receive"}))
        return;
    LblUpdateTime->setText(root.attribute(QStringLiteral("time")));
    LblPacSend->setText(packets.attribute(QStringLiteral("send")));
    LblPacReceive->setText(packets.attribute(QStringLiteral("receive")));
    LblByteSend->setText(bytes.attribute(QStringLiteral("send")));
    LblByteReceive->setText(bytes.attribute(QStringLiteral("receive")));
}

void TClientDetail::OnUpsReply(const QDomDocument& doc)
{
    const QString remembered = SetUpsStatus.IsEmpty() ? QString() : SetUpsStatus.AsString(QStringLiteral("name"));
    if (doc.documentElement().firstChildElement().isNull())
        return;
    const std::vector<QDomElement> entries = Entries(doc);
    for (const QDomElement& e : entries)
        if (!e.hasAttribute(QStringLiteral("name")))
            return;
    std::vector<DataSet::Row> rows;
    for (const QDomElement& e : entries) {
        const QString name = e.attribute(QStringLiteral("name"));
        const QString trimmed = TrimBlanks(name);
        const UpsLabel* fixed = nullptr;
        for (const UpsLabel& l : UpsLabels)
            if (trimmed == QLatin1String(l.entry))
                fixed = &l;
        if (fixed)
            (this->*(fixed->label))->setText(e.text() + QLatin1String(fixed->suffix));
        else
            rows.push_back({Fit(name, NameWidth), Fit(e.text(), ValueWidth)});
    }
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
