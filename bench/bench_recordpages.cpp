// Times the operation-record page over 1,000,000 rows of 10,000 terminals as its pager runs them
// (count statement plus one page): the first page, the last page and a search for one terminal,
// with the server's plan preference for limited joins on, and once with it off for comparison.
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "foundation/DbMod.h"
#include "foundation/TPagerNavigator.h"
#include "platform/Application.h"
#include "platform/DbLookupCombo.h"
#include "platform/DbNavigator.h"
#include "support/ConsoleDb.h"
#include "support/TestDb.h"

#include <QElapsedTimer>
#include <QTabWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

constexpr int Terminals = 10000;
constexpr int Records = 1000000;
constexpr int Rounds = 5;
constexpr double TargetMs = 200;
constexpr int SearchedTerminal = 4321;

void Seed()
{
    TestDb::Exec(QStringLiteral(
        "insert into zol_baseinfo (name, ip, mac, position, memo, relayIp, port) select concat('终端', lpad(seq, 5, '0')), "
        "concat('10.', seq div 65536, '.', (seq div 256) mod 256, '.', seq mod 256), '', '', '', '', 0 from seq_1_to_%1;"
        "insert into zol_status (zol_id, status, updatetime) select id, 'down', '' from zol_baseinfo;"
        "insert into zol_op_log (zol_id, user_id, user_name, optime, operation, status, memo) select 1 + (seq mod %1), 1, "
        "'值班员', date_format(timestamp('2013-01-01') + interval seq * 30 second, '%Y-%m-%d %H:%i:%s'), '远程设备断电', "
        "'1', '' from seq_1_to_%2;"
        "analyze table zol_op_log, zol_baseinfo, zol_status;")
                     .arg(Terminals)
                     .arg(Records));
}

// The median of rounds runs of step, in milliseconds.
double Median(int rounds, const std::function<void()>& step)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        step();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Print(const char* what, double ms, bool targeted)
{
    if (targeted)
        std::printf("  %-44s %9.1f ms  (target < %.0f ms)%s\n", what, ms, TargetMs, ms < TargetMs ? "" : "  MISSED");
    else
        std::printf("  %-44s %9.1f ms\n", what, ms);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TApplication app(argc, argv);
    ConsoleDb::SetUp();
    std::printf("seeding %d terminals and %d operation records ...\n", Terminals, Records);
    QElapsedTimer seeding;
    seeding.start();
    Seed();
    std::printf("  seeded in %.1f s\n", seeding.elapsed() / 1000.0);

    MainForm->IniWriteBool(QStringLiteral("AutoDetected"), false);
    MainForm->show(); // the first show makes the pagers
    LogLevel = Consts::LevelInfo; // no debug line per statement
    TMainForm& f = *MainForm;
    TPagerNavigator& pager = *f.Pagers[1];
    f.ShowPageIns();
    const QString design = f.InsPage.Sql;
    bool ok = pager.GetRecordCount() == Records && f.QueryGrdIns.RecordCount() == 500;

    const bool hasSetting = !FormDbMod->QuerySql(
        QStringLiteral("show variables like 'optimizer_join_limit_pref_ratio'")).IsEmpty();
    std::printf("operation-record page, page size 500 (server %s, join-limit preference %s)\n",
                qPrintable(FormDbMod->QuerySql(QStringLiteral("select version() as v")).AsString(QStringLiteral("v"))),
                hasSetting ? qPrintable(FormDbMod->QuerySql(QStringLiteral("select @@optimizer_join_limit_pref_ratio as r"))
                                            .AsString(QStringLiteral("r")))
                           : "unknown to this server");

    Print("first page (count + page)", Median(Rounds, [&] { pager.SetSql(design); }), true);
    DataSet count = FormDbMod->QuerySql(pager.GetCountSql());
    Print("  of which the count alone", Median(Rounds, [&] { FormDbMod->QuerySql(pager.GetCountSql()); }), false);
    Print("last page (count + page, offset 999,500)", Median(1, [&] { pager.NavigatorClick(DbNavigator::Last); }), false);
    ok = ok && pager.GetPageNo() == Records / 500 && f.QueryGrdIns.RecordCount() == 500;

    f.InsPage.DbCbxDevIns->SetKeyValue(QString::number(SearchedTerminal));
    Print("search for one terminal (count + page)", Median(Rounds, [&] { f.BtnInsSearchClick(); }), true);
    ok = ok && pager.GetRecordCount() == Records / Terminals && f.QueryGrdIns.RecordCount() == Records / Terminals;

    if (hasSetting) {
        FormDbMod->ExecSql(QStringLiteral("set session optimizer_join_limit_pref_ratio=0"));
        Print("first page with the preference off", Median(1, [&] { pager.SetSql(design); }), false);
        FormDbMod->ExecSql(QStringLiteral("set session optimizer_join_limit_pref_ratio=100"));
    }
    if (!ok)
        std::printf("  CHECK FAILED: the pages did not hold the rows expected\n");

    delete FormDbMod;
    FormDbMod = nullptr;
    delete MainForm;
    return ok ? 0 : 1;
}
