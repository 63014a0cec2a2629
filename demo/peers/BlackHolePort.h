// A port on a loopback address where connection attempts hang: a terminal whose network is cut.
#pragma once

#include <QString>

// A listener whose accept queue is kept full by a connection of its own that is never accepted,
// so the system drops every further connection request to ip and port: a connection attempt
// hangs until its own time limit, as it does to a machine that has gone from the network.
class BlackHolePort {
public:
    // Throws std::runtime_error when ip and port cannot be held.
    BlackHolePort(const QString& ip, int port);
    ~BlackHolePort();
    BlackHolePort(const BlackHolePort&) = delete;
    BlackHolePort& operator=(const BlackHolePort&) = delete;

    int Port() const { return port_; }

private:
    int port_;
    int listenFd_ = -1;
    int fillerFd_ = -1;
};
