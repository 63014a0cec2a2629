// The demo terminals of the run command: agents and relay controllers on loopback addresses for
// the terminals of the console's database, until it ends them or its database server goes.
#include "DemoFleet.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// TERM, INT and HUP end the event loop, so the program ends like any other way out.
void QuitOnSignals(QCoreApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::exit(0); });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

QSet<QString> Addresses(const QCommandLineParser& parser, const QString& option)
{
    QSet<QString> addresses;
    for (const QString& value : parser.values(option))
        for (const QString& address : value.split(u',', Qt::SkipEmptyParts))
            addresses.insert(address.trimmed());
    return addresses;
}

int Number(const QCommandLineParser& parser, const QString& option, int fallback)
{
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    return ok && value >= 0 ? value : fallback;
}

} // namespace

int main(int argc, char** argv)
{
    // Pictures are drawn off screen whatever display the console uses.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zoldemo"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated self-service terminals for the console's demo database: an agent and a relay controller "
        "for every terminal whose address is a loopback address."));
    parser.addHelpOption();
    const DemoOptions defaults;
    parser.addOptions({
        {QStringLiteral("settings"), QStringLiteral("The console's settings file (data source, agent port and key)."),
         QStringLiteral("file")},
        {QStringLiteral("logs"), QStringLiteral("Folder for the terminals' log files, one folder per address."),
         QStringLiteral("folder")},
        {QStringLiteral("agent-down"), QStringLiteral("Terminal addresses whose agent does not run."),
         QStringLiteral("ip,...")},
        {QStringLiteral("cut-off"), QStringLiteral("Terminal addresses gone from the network."),
         QStringLiteral("ip,...")},
        {QStringLiteral("silent-relay"), QStringLiteral("Relay controller addresses that never answer."),
         QStringLiteral("ip,...")},
        {QStringLiteral("boot-ms"), QStringLiteral("Time a started terminal takes to boot."), QStringLiteral("ms"),
         QString::number(defaults.bootMs)},
        {QStringLiteral("refresh-ms"), QStringLiteral("How often the terminal table is read again."),
         QStringLiteral("ms"), QString::number(defaults.refreshMs)},
    });
    parser.process(app);
    if (!parser.isSet(QStringLiteral("logs")))
        parser.showHelp(2);

    DemoOptions options;
    options.settingsFile = parser.value(QStringLiteral("settings"));
    options.logRoot = parser.value(QStringLiteral("logs"));
    options.agentDown = Addresses(parser, QStringLiteral("agent-down"));
    options.cutOff = Addresses(parser, QStringLiteral("cut-off"));
    options.silentRelays = Addresses(parser, QStringLiteral("silent-relay"));
    options.bootMs = Number(parser, QStringLiteral("boot-ms"), defaults.bootMs);
    options.refreshMs = qMax(1, Number(parser, QStringLiteral("refresh-ms"), defaults.refreshMs));

    QuitOnSignals(app);
    QTextStream out(stdout);
    DemoFleet fleet(options);
    QString error;
    if (!fleet.Start(error)) {
        QTextStream(stderr) << "zoldemo: " << error << Qt::endl;
        return 1;
    }
    out << fleet.Summary();
    // Whoever waits for the terminals learns here whether every one of them listens.
    if (const int troubled = fleet.Troubled(); troubled > 0)
        out << "zoldemo: " << troubled << " of " << fleet.Count() << " demo terminals cannot listen (see above)"
            << Qt::endl;
    else
        out << "zoldemo: ready, " << fleet.Count() << " demo terminals" << Qt::endl;
    return app.exec();
}
