// Times the export of 10,000 and 100,000 grid rows of 8 text columns and the memory it adds at its peak.
#include "platform/Application.h"
#include "platform/DataSetModel.h"
#include "terminal/ThreadExportXls.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int SmallRows = 10000;
constexpr int LargeRows = 100000;
constexpr double TargetSeconds = 3.0;
constexpr int ChildWaitMs = 600000;

// A line of /proc/self/status in kB ("VmRSS", "VmHWM").
long StatusKb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(line.indexOf(':') + 1).trimmed().split(' ').first().toLong();
    return -1;
}

// The peak resident size starts again from the current one.
void ResetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

DataSet Rows(int count)
{
    const QStringList fields{"id", "name", "ip", "mac", "position", "relayip", "port", "status", "memo"};
    std::vector<DataSet::Row> rows;
    rows.reserve(count);
    for (int i = 1; i <= count; ++i)
        rows.push_back({QString::number(i), QStringLiteral("自助终端%1").arg(i, 6, 10, QLatin1Char('0')),
                        QStringLiteral("10.%1.%2.%3").arg(i / 65536).arg(i / 256 % 256).arg(i % 256),
                        QStringLiteral("00-1A-2B-%1").arg(i, 8, 16, QLatin1Char('0')),
                        QStringLiteral("北京市海淀区中关村大街%1号大厅").arg(i % 500),
                        QStringLiteral("192.168.%1.%2").arg(i / 256 % 256).arg(i % 256),
                        QString::number(4000 + i % 100), i % 3 ? QStringLiteral("up") : QStringLiteral("poweroff"),
                        QStringLiteral("备注 memo %1").arg(i)});
    DataSet data;
    data.Open(fields, std::move(rows));
    return data;
}

int RunOne(int count)
{
    DataSet data = Rows(count);
    DataSetModel model(&data, {{"id", "编号", 0, false},
                               {"", "序号", 40, true},
                               {"name", "设备名称", 203, true},
                               {"ip", "IP地址", 142, true},
                               {"mac", "MAC地址", 134, true},
                               {"position", "地理位置", 226, true},
                               {"relayip", "网络控制器IP", 133, true},
                               {"port", "控制端口", 103, true},
                               {"status", "设备状态", 80, true},
                               {"memo", "设备备注", 121, true}});
    QTableView grid;
    model.ApplyColumns(&grid);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("设备列表.xlsx"));

    const long baseKb = StatusKb("VmRSS");
    ResetPeak();
    QElapsedTimer timer;
    timer.start();
    ThreadExportXls worker(QStringLiteral("导出Excel线程"), &grid, path);
    worker.Resume();
    worker.WaitFor();
    const double seconds = timer.nsecsElapsed() / 1e9;
    const long peakKb = StatusKb("VmHWM");
    const qint64 bytes = QFileInfo(path).size();
    std::printf("%7d rows x 8 columns: %.2f s, %.1f MB file; resident %.1f MB before, peak %.1f MB "
                "(+%.1f MB during the export)%s\n",
                count, seconds, bytes / 1e6, baseKb / 1024.0, peakKb / 1024.0, (peakKb - baseKb) / 1024.0,
                bytes > 0 && !worker.Error ? "" : "  EXPORT FAILED");
    return bytes > 0 && !worker.Error && (count < LargeRows || seconds < TargetSeconds) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TApplication app(argc, argv);
    if (argc > 1)
        return RunOne(std::atoi(argv[1]));

    std::printf("spreadsheet export (target: 100,000 rows under %.0f s, memory not growing with the rows)\n",
                TargetSeconds);
    std::fflush(stdout);
    int failed = 0;
    for (int count : {SmallRows, LargeRows}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QString::number(count)});
        if (!child.waitForFinished(ChildWaitMs) || child.exitCode() != 0)
            ++failed;
    }
    return failed;
}
