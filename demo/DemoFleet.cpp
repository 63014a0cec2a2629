// The demo's terminals: read from the database, made, changed and dropped as the table changes.
#include "DemoFleet.h"

#include "foundation/Consts.h"
#include "platform/IniFile.h"
#include "terminal/AgentProtocol.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QHostAddress>
#include <QTextStream>

namespace {

const QString DefaultDataSource = QStringLiteral("zol");
const QString TerminalSql = QStringLiteral(
    "select a.id, a.name, a.ip, a.relayIp, a.port, b.status from zol_baseinfo a "
    "left join zol_status b on a.id = b.zol_id order by a.id");

// Only a loopback address written the plain way: the console connects to the text as stored.
bool IsLoopback(const QString& ip)
{
    QHostAddress address;
    return address.setAddress(ip) && address.protocol() == QAbstractSocket::IPv4Protocol && address.isLoopback() &&
           address.toString() == ip;
}

QString Field(const DataSet& set, int row, const char* name)
{
    return set.Cell(row, set.FieldIndex(QString::fromLatin1(name))).value_or(QString());
}

void Say(const QString& text)
{
    QTextStream out(stdout);
    out << "zoldemo: " << text << Qt::endl;
}

} // namespace

DemoFleet::DemoFleet(DemoOptions options) : options_(std::move(options))
{
    refresh_.setInterval(options_.refreshMs);
    connect(&refresh_, &QTimer::timeout, this, [this] { Refresh(); });
    tick_.setInterval(TickMs);
    connect(&tick_, &QTimer::timeout, this, [this] {
        for (auto& [ip, terminal] : terminals_)
            terminal->Tick();
    });
}

DemoFleet::~DemoFleet() = default;

bool DemoFleet::Start(QString& error)
{
    const IniFile settings(options_.settingsFile);
    QString dataSource = settings.ReadString(Consts::SectionSystem, QStringLiteral("DataSource"), QString());
    if (dataSource.trimmed().isEmpty())
        dataSource = DefaultDataSource;
    connection_ = QStringLiteral("DSN=") + dataSource;
    try {
        db_.Open(connection_);
    } catch (const std::exception& e) {
        error = QStringLiteral("cannot reach the data source \"%1\": %2").arg(dataSource, QString::fromUtf8(e.what()));
        return false;
    }
    std::map<QString, Row> rows;
    if (!Read(rows)) {
        error = QStringLiteral("cannot read the terminals of the data source \"%1\"").arg(dataSource);
        return false;
    }
    Update(rows);
    refresh_.start();
    tick_.start();
    return true;
}

QString DemoFleet::Summary() const
{
    QString text;
    for (const auto& [ip, terminal] : terminals_) {
        const TerminalPlace& place = terminal->Place();
        text += QStringLiteral("  %1 %2:%3").arg(rows_.at(ip).name, ip).arg(place.agentPort);
        if (options_.cutOff.contains(ip))
            text += QStringLiteral(" (cut off from the network)");
        else if (options_.agentDown.contains(ip))
            text += QStringLiteral(" (agent not running)");
        if (!place.relayIp.isEmpty())
            text += QStringLiteral(", relay controller %1:%2").arg(place.relayIp).arg(place.relayPort);
        if (options_.silentRelays.contains(place.relayIp))
            text += QStringLiteral(" (silent)");
        text += QLatin1Char('\n') + terminal->Problems();
    }
    return text;
}

int DemoFleet::Troubled() const
{
    int troubled = 0;
    for (const auto& [ip, terminal] : terminals_)
        troubled += terminal->Problems().isEmpty() ? 0 : 1;
    return troubled;
}

void DemoFleet::Refresh()
{
    std::map<QString, Row> rows;
    if (Read(rows))
        Update(rows);
}

bool DemoFleet::Read(std::map<QString, Row>& rows)
{
    const IniFile settings(options_.settingsFile);
    agentPort_ = settings.ReadInteger(Consts::SectionSystem, AgentProtocol::KeyPort, AgentProtocol::DefaultPort);
    // The agents listen where the console connects: a port it reads as its default is that default here too.
    if (!Consts::SettingSocketPort.Accepts(agentPort_))
        agentPort_ = AgentProtocol::DefaultPort;
    key_ = settings.ReadString(Consts::SectionSystem, AgentProtocol::KeyAuth, AgentProtocol::DefaultKey);
    DataSet set;
    try {
        db_.Query(TerminalSql, set);
    } catch (const std::exception&) {
        // A connection the server dropped comes back; a server that has gone does not.
        try {
            db_.Close();
            db_.Open(connection_);
            db_.Query(TerminalSql, set);
        } catch (const std::exception& e) {
            Gone(QString::fromUtf8(e.what()));
            return false;
        }
    }
    for (int row = 0; row < set.RecordCount(); ++row) {
        const QString ip = Field(set, row, "ip");
        if (!IsLoopback(ip))
            continue;
        Row& r = rows[ip];
        const QString id = Field(set, row, "id");
        r.ids = r.ids.isEmpty() ? id : r.ids + u',' + id;
        if (r.ids != id)
            continue; // the first terminal at an address names it and says where its relay is
        r.name = Field(set, row, "name");
        r.status = Field(set, row, "status").trimmed();
        const QString relayIp = Field(set, row, "relayIp");
        const int relayPort = Field(set, row, "port").toInt();
        if (IsLoopback(relayIp) && relayPort > 0) {
            r.relayIp = relayIp;
            r.relayPort = relayPort;
        }
    }
    return true;
}

void DemoFleet::Update(const std::map<QString, Row>& rows)
{
    for (auto it = terminals_.begin(); it != terminals_.end();) {
        const auto row = rows.find(it->first);
        const bool keep = row != rows.end() && it->second->Place() == TerminalPlace{it->first, agentPort_,
                                                                                  row->second.relayIp,
                                                                                  row->second.relayPort};
        it = keep ? std::next(it) : terminals_.erase(it);
    }
    for (const auto& [ip, row] : rows) {
        const auto found = terminals_.find(ip);
        if (found != terminals_.end()) {
            found->second->SetName(row.name);
            found->second->SetKey(key_);
            continue;
        }
        DemoTerminal::Setup setup;
        setup.name = row.name;
        setup.place = {ip, agentPort_, row.relayIp, row.relayPort};
        setup.key = key_;
        setup.logFolder = QDir(options_.logRoot).filePath(ip);
        setup.fault = options_.cutOff.contains(ip)      ? TerminalFault::CutOff
                      : options_.agentDown.contains(ip) ? TerminalFault::AgentDown
                                                        : TerminalFault::None;
        setup.silentRelay = options_.silentRelays.contains(row.relayIp);
        // A terminal stored as powered off has no power; one stored as shut down has power and waits
        // for its button; any other runs.
        setup.poweredOn = row.status != Consts::StatusPowerOff;
        setup.running = setup.poweredOn && row.status != Consts::StatusDown;
        setup.bootMs = options_.bootMs;
        auto terminal = std::make_unique<DemoTerminal>(setup, [this, ip] { Booted(ip); });
        if (!terminal->Problems().isEmpty())
            Say(terminal->Problems().trimmed());
        terminals_.emplace(ip, std::move(terminal));
    }
    rows_ = rows;
}

// A terminal that has started reports itself running, as the terminals' own software does.
void DemoFleet::Booted(const QString& ip)
{
    const auto row = rows_.find(ip);
    if (row == rows_.end())
        return;
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    try {
        db_.Execute(QStringLiteral("update zol_status set status='up', updatetime=' %1' where zol_id in (%2)")
                        .arg(now, row->second.ids));
    } catch (const std::exception& e) {
        Say(QStringLiteral("cannot store that %1 runs: %2").arg(ip, QString::fromUtf8(e.what())));
    }
}

void DemoFleet::Gone(const QString& why)
{
    Say(QStringLiteral("the database cannot be read any more (%1); the demo terminals stop").arg(why.trimmed()));
    refresh_.stop();
    tick_.stop();
    QCoreApplication::exit(0);
}
