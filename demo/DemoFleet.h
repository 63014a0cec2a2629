// The simulated terminals of the demo database: kept in step with its terminal table and the console's settings.
#pragma once

#include "DemoTerminal.h"
#include "platform/Odbc.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <map>
#include <memory>

struct DemoOptions {
    QString settingsFile;       // the console's conf.ini: data source, agent port and key
    QString logRoot;            // one log folder per terminal address below it
    QSet<QString> agentDown;    // terminal addresses whose agent does not run
    QSet<QString> cutOff;       // terminal addresses gone from the network
    QSet<QString> silentRelays; // relay controller addresses that never answer
    int bootMs = 3000;
    int refreshMs = 2000;
};

// Every terminal whose agent address is a loopback address gets a simulated terminal; the others
// are left alone (the demo listens on this machine's loopback addresses only). The table is read
// again every refreshMs, so terminals that an operator adds, changes or deletes follow, as does a
// changed agent port or key. When the database can no longer be read the fleet ends the program.
class DemoFleet : public QObject {
    Q_OBJECT
public:
    static constexpr int TickMs = 1000;

    explicit DemoFleet(DemoOptions options);
    ~DemoFleet() override;

    // Connects and sets up the terminals; false with the reason in error when it cannot.
    bool Start(QString& error);
    int Count() const { return int(terminals_.size()); }
    // Terminals whose agent or relay controller could not listen.
    int Troubled() const;
    // One line per terminal: where its agent and relay controller listen and how it fails.
    QString Summary() const;

private:
    struct Row {
        QString ids; // every terminal id at this agent address, comma-separated
        QString name;
        QString relayIp;
        int relayPort = 0;
        QString status;
    };
    void Refresh();
    // The rows by agent address; false when the database cannot be read even after reconnecting.
    bool Read(std::map<QString, Row>& rows);
    void Update(const std::map<QString, Row>& rows);
    void Booted(const QString& ip);
    void Gone(const QString& why);

    DemoOptions options_;
    OdbcConnection db_;
    QString connection_;
    int agentPort_ = 0;
    QString key_;
    std::map<QString, Row> rows_;
    std::map<QString, std::unique_ptr<DemoTerminal>> terminals_; // by agent address
    QTimer refresh_;
    QTimer tick_;
};
