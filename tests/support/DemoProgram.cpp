// Starting, watching and ending the simulated terminals program; port numbers held for it.
#include "support/DemoProgram.h"

#include <QDir>
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
    // A test that dies without its destructors (an abort, a crash) takes the program with it; it
    // would otherwise run on as long as its database does.
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

DemoProgram::~DemoProgram()
{
    if (Running())
        Stop();
}

bool DemoProgram::Start(const QStringList& args, const QProcessEnvironment& env)
{
    output_.clear();
    process_.setProcessEnvironment(env);
    process_.start(QStringLiteral(ZOL_DEMO_PROGRAM), QStringList{QStringLiteral("--logs"), logs_.path()} + args);
    return QTest::qWaitFor([this] { return Output().contains(QStringLiteral("ready")) || !Running(); }, ReadyTimeoutMs) &&
           Running();
}

int DemoProgram::Stop()
{
    process_.terminate();
    return WaitForExit();
}

int DemoProgram::WaitForExit()
{
    if (!process_.waitForFinished(EndTimeoutMs)) {
        process_.kill();
        process_.waitForFinished(EndTimeoutMs);
        return -1;
    }
    Output();
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

QString DemoProgram::Output()
{
    output_ += process_.readAll();
    return QString::fromUtf8(output_);
}

QString DemoProgram::LogFolder(const QString& ip) const
{
    return QDir(logs_.path()).filePath(ip);
}
