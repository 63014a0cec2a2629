// Starting, watching and ending the simulated terminals program; port numbers held for it.
#include "support/DemoProgram.h"

#include <QTest>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

HeldPort::HeldPort()
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    auto* a = reinterpret_cast<sockaddr*>(&addr);
    if (::bind(fd_, a, len) != 0 || ::getsockname(fd_, a, &len) != 0) {
        ::close(fd_);
        throw std::runtime_error("HeldPort: no free port");
    }
    port_ = ntohs(addr.sin_port);
}

HeldPort::~HeldPort()
{
    ::close(fd_);
}

DemoProgram::DemoProgram()
{
    process_.setProcessChannelMode(QProcess::MergedChannels);
    // It would otherwise run on as long as its database does.
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

bool DemoProgram::Start(const QStringList& args)
{
    output_.clear();
    process_.start(QStringLiteral(ZOL_DEMO_PROGRAM), QStringList{QStringLiteral("--logs"), logs_.path()} + args);
    // A terminal that cannot listen says so on a line of its own before the program's last word.
    const auto saidOrEnded = [this] {
        return Output().contains(QStringLiteral("ready")) ||
               Output().contains(QStringLiteral("demo terminals cannot listen")) ||
               process_.state() == QProcess::NotRunning;
    };
    return QTest::qWaitFor(saidOrEnded, ReadyTimeoutMs) && Output().contains(QStringLiteral("ready")) &&
           process_.state() != QProcess::NotRunning;
}

int DemoProgram::WaitForExit()
{
    if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(EndTimeoutMs)) {
        process_.kill();
        process_.waitForFinished(EndTimeoutMs);
        return -1;
    }
    Output();
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}
