// Times the reply documents that once kept the parser busy for seconds: each large input of
// fuzz/replies/hostile/ (or the files given) decoded as a reply from the wire (GBK) and read as the
// windows read a reply, refused or parsed.
//   bench_replies [FILE...]
// Every one should end well under a second; the program says which do not.
#include "platform/Exception.h"
#include "platform/GbkCodec.h"
#include "terminal/AgentProtocol.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

namespace {

constexpr double LimitMs = 1000;

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStringList files = app.arguments().mid(1);
    if (files.isEmpty()) {
        const QDir hostile(QStringLiteral(ZOL_SOURCE_DIR "/fuzz/replies/hostile"));
        for (const QString& name : hostile.entryList(QDir::Files, QDir::Name))
            files << hostile.filePath(name);
    }
    int slow = 0;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::printf("%s: cannot read\n", qPrintable(path));
            return 2;
        }
        const QString reply = Gbk::Decode(file.readAll());
        QElapsedTimer clock;
        clock.start();
        QString outcome = QStringLiteral("parsed");
        try {
            AgentProtocol::ParseReply(reply);
        } catch (const Exception& e) {
            outcome = e.Message;
        }
        const double ms = clock.nsecsElapsed() / 1e6;
        slow += ms > LimitMs;
        std::printf("%-28s %8lld chars %9.1f ms  %s\n", qPrintable(QFileInfo(path).fileName()),
                    static_cast<long long>(reply.size()), ms, qPrintable(outcome));
    }
    std::printf("%d of %lld over %.0f ms\n", slow, static_cast<long long>(files.size()), LimitMs);
    return slow == 0 ? 0 : 1;
}
