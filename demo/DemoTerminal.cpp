// A simulated terminal: power and button from its relay controller, an agent that answers while the machine runs.
#include "DemoTerminal.h"

#include "DesktopPicture.h"
#include "peers/BlackHolePort.h"
#include "peers/FakeAgent.h"
#include "peers/FakeRelay.h"
#include "terminal/RemoteDeviceController.h"

#include <QDateTime>
#include <QHash>

#include <stdexcept>

namespace {

constexpr int LogEveryTicks = 20; // a service log line about every 20 seconds while running
constexpr int CpuSpread = 5;      // percent by which a busy process's use wanders

struct ProcessModel {
    const char* name;
    int pid;
    int cpu; // typical processor use in percent
};

const ProcessModel Processes[] = {
    {"System", 4, 1},           {"smss.exe", 388, 0},       {"csrss.exe", 612, 0},     {"winlogon.exe", 684, 0},
    {"services.exe", 728, 0},   {"svchost.exe", 912, 1},    {"spoolsv.exe", 1380, 0},  {"explorer.exe", 1624, 1},
    {"zolagent.exe", 2044, 1},  {"kiosk.exe", 2310, 8},     {"cardreader.exe", 2388, 0}, {"printsvc.exe", 2402, 0},
    {"upsmon.exe", 2516, 0},
};

QString Decimal(double value) { return QString::number(value, 'f', 1); }

} // namespace

DemoTerminal::DemoTerminal(const Setup& setup, std::function<void()> onBooted)
    : setup_(setup), onBooted_(std::move(onBooted)), poweredOn_(setup.poweredOn),
      running_(setup.poweredOn && setup.running), random_(qHash(setup.place.ip) | 1)
{
    logs_.emplace(setup_.logFolder, setup_.name, random_);
    boot_.setSingleShot(true);
    connect(&boot_, &QTimer::timeout, this, [this] { Boot(); });
    const TerminalPlace& place = setup_.place;
    try {
        if (setup_.fault == TerminalFault::CutOff) {
            blackHole_ = std::make_unique<BlackHolePort>(place.ip, place.agentPort);
        } else {
            agent_ = std::make_unique<FakeAgent>(place.ip, place.agentPort);
            agent_->SetKey(setup_.key);
            agent_->SetLogFolder(logs_->Folder());
            agent_->SetEndRawReplies(true);
            ServeAgent();
            ChangeValues();
            RenderDesktop();
        }
    } catch (const std::runtime_error& e) {
        problems_ += QString::fromUtf8(e.what()) + QLatin1Char('\n');
    }
    if (place.relayIp.isEmpty())
        return;
    try {
        relay_ = std::make_unique<FakeRelay>(place.relayIp, place.relayPort);
        relay_->SetChannel(PowerChannel, poweredOn_);
        relay_->SetChannel(ButtonChannel, false);
        if (setup_.silentRelay)
            relay_->SetFault(FakeRelay::Fault::Silent);
        relay_->OnSwitched([this](int channel, bool on) {
            QMetaObject::invokeMethod(this, [this, channel, on] { Switched(channel, on); }, Qt::QueuedConnection);
        });
    } catch (const std::runtime_error& e) {
        problems_ += QString::fromUtf8(e.what()) + QLatin1Char('\n');
    }
}

DemoTerminal::~DemoTerminal()
{
    relay_.reset(); // its threads end here, so no switch arrives for a terminal that has gone
}

void DemoTerminal::SetName(const QString& name)
{
    if (name == setup_.name)
        return;
    setup_.name = name;
    logs_.emplace(setup_.logFolder, name, random_);
}

void DemoTerminal::SetKey(const QString& key)
{
    setup_.key = key;
    if (agent_)
        agent_->SetKey(key);
}

void DemoTerminal::Switched(int channel, bool on)
{
    if (channel == PowerChannel) {
        poweredOn_ = on;
        if (!on)
            Stop(QString()); // a machine whose power is cut writes nothing more
        return;
    }
    if (on) {
        buttonClosed_ = true;
        return;
    }
    if (std::exchange(buttonClosed_, false))
        Press();
}

void DemoTerminal::Press()
{
    if (!poweredOn_ || boot_.isActive())
        return;
    if (running_) {
        Stop(QStringLiteral("收到关机信号，系统关机"));
        return;
    }
    boot_.start(setup_.bootMs);
}

void DemoTerminal::Boot()
{
    running_ = true;
    ServeAgent();
    logs_->Agent(QStringLiteral("系统启动，终端代理服务开始运行"));
    if (onBooted_)
        onBooted_();
}

void DemoTerminal::Stop(const QString& why)
{
    boot_.stop();
    if (running_ && !why.isEmpty())
        logs_->Agent(why);
    running_ = false;
    ServeAgent();
}

void DemoTerminal::ServeAgent()
{
    if (!agent_)
        return;
    const bool answers = running_ && setup_.fault == TerminalFault::None;
    agent_->SetFault(answers ? FakeAgent::Fault::None : FakeAgent::Fault::Refuse);
}

void DemoTerminal::Tick()
{
    if (!running_)
        return;
    ++ticks_;
    ChangeValues();
    if (ticks_ % LogEveryTicks == 0)
        logs_->Service();
    RenderDesktop();
}

quint32 DemoTerminal::NextRandom()
{
    random_ ^= random_ << 13;
    random_ ^= random_ >> 17;
    random_ ^= random_ << 5;
    return random_;
}

void DemoTerminal::ChangeValues()
{
    if (!agent_)
        return;
    std::vector<FakeAgent::Process> processes;
    int busy = 0;
    for (const ProcessModel& p : Processes) {
        const int cpu = p.cpu > 1 ? p.cpu + int(NextRandom() % (2 * CpuSpread + 1)) - CpuSpread : p.cpu;
        busy += cpu;
        processes.push_back({QString::number(p.pid), QString::fromLatin1(p.name), QString::number(cpu) + u'%'});
    }
    processes.insert(processes.begin(), {QStringLiteral("0"), QStringLiteral("System Idle Process"),
                                         QString::number(qMax(0, 100 - busy)) + u'%'});
    agent_->SetProcesses(std::move(processes));

    packetsSent_ += 20 + NextRandom() % 80;
    packetsReceived_ += 30 + NextRandom() % 120;
    bytesSent_ += 2000 + NextRandom() % 30000;
    bytesReceived_ += 4000 + NextRandom() % 90000;
    agent_->SetNet({QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                    QString::number(packetsSent_), QString::number(packetsReceived_), QString::number(bytesSent_),
                    QString::number(bytesReceived_)});

    const double wobble = double(NextRandom() % 21) / 10.0 - 1.0; // -1.0 to 1.0
    agent_->SetUps({{QStringLiteral("I/P voltage"), Decimal(220.0 + 2 * wobble)},
                    {QStringLiteral("I/P fault voltage"), Decimal(220.0 + 2 * wobble)},
                    {QStringLiteral("O/P voltage"), Decimal(220.0)},
                    {QStringLiteral("O/P current"), QString::number(21 + int(NextRandom() % 5))},
                    {QStringLiteral("O/P frequency"), Decimal(50.0 + wobble / 10)},
                    {QStringLiteral("Battery voltage"), Decimal(27.4)},
                    {QStringLiteral("Temperature"), Decimal(30.5 + wobble)},
                    {QStringLiteral("UPS型号"), QStringLiteral("C1KS 在线式")},
                    {QStringLiteral("市电状态"), QStringLiteral("正常")},
                    {QStringLiteral("电池状态"), QStringLiteral("正常，满电")},
                    {QStringLiteral("剩余备用时间"), QStringLiteral("42 分钟")},
                    {QStringLiteral("上次自检"), QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) +
                                                   QStringLiteral(" 通过")}});
}

void DemoTerminal::RenderDesktop()
{
    // Drawn only when someone has fetched the last picture: an unwatched screen costs nothing.
    if (!agent_ || agent_->DesksServed() == desksRendered_)
        return;
    desksRendered_ = agent_->DesksServed();
    agent_->SetDesktop(DesktopPicture::Render(setup_.name, setup_.place.ip, QDateTime::currentDateTime(), ++frame_));
}
