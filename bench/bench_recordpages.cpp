// Times the operation-record page over 1,000,000 rows of 10,000 terminals as its pager runs them
// (count statement plus one page): the first, middle and last pages and a search for one terminal,
// with the server's plan preference for limited joins on, and once with it off for comparison; and
// the ways of reading a far page that were weighed against each other.
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

    // Far pages side by side with the first: each as the pager runs it, count plus page.
    const double first = Median(Rounds, [&] { pager.SetSql(design); });
    Print("first page (count + page)", first, true);
    Print("  of which the count alone", Median(Rounds, [&] { FormDbMod->QuerySql(pager.GetCountSql()); }), false);
    const int pages = pager.GetPageCount();
    for (const auto& [what, page] : {std::pair{"middle page (count + page, offset 499,500)", pages / 2},
                                     std::pair{"last page (count + page, offset 999,500)", pages}}) {
        const double ms = Median(Rounds, [&] { pager.GoToPage(page); });
        std::printf("  %-44s %9.1f ms  %.1f x the first page (target <= 3)%s\n", what, ms, ms / first,
                    ms <= 3 * first ? "" : "  MISSED");
        ok = ok && f.QueryGrdIns.RecordCount() == 500;
    }
    ok = ok && pager.GetPageNo() == Records / 500;

    // The ways of reading the middle page that were weighed, each statement alone.
    const QString head = design.left(design.indexOf(QStringLiteral(" order by")));
    const QString order = QStringLiteral(" order by optime desc, a.id desc");
    const QString reversed = QStringLiteral(" order by optime asc, a.id asc");
    std::printf("middle page read other ways (statement alone)\n");
    for (const auto& [what, sql] : std::vector<std::pair<const char*, QString>>{
             {"plain limit 499500,500", head + order + QStringLiteral(" limit 499500,500")},
             {"reversed, from the end (limit 500000,500)", head + reversed + QStringLiteral(" limit 500000,500")},
             {"its keys, the join checked row by row", QStringLiteral("select straight_join a.id from zol_op_log a, "
                 "zol_baseinfo b where a.zol_id = b.id") + order + QStringLiteral(" limit 499500,500")},
             {"its keys from the index alone (as paged)", QStringLiteral("select a.id from zol_op_log a where a.id not in "
                 "(select o.id from zol_op_log o where o.zol_id in (select d.zol_id from (select distinct "
                 "zol_id from zol_op_log) d left join zol_baseinfo j on j.id = d.zol_id where j.id is null))") +
                 order + QStringLiteral(" limit 499500,500")}})
        Print(what, Median(3, [&] { FormDbMod->QuerySql(sql); }), false);

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

    delete ConsoleDb::Module(); // closes FormDbMod
    delete MainForm;
    return ok ? 0 : 1;
}
