// A TCP server on a loopback address for the simulated peers: the listener, the accepting thread and one thread per connection.
#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

// Binds ip and port (0: a port chosen by the system) and listens with backlog; returns the
// listening socket and sets port. The listener is bound to the number of a port that a probe
// held first, not to port 0: a port bound as 0 would be given up when a refusing peer shuts its
// listener down. Address reuse lets both bind it, and lets a listener start again while accepted
// connections are still open. Throws std::runtime_error naming who when it cannot.
int ListenOn(const QString& ip, int& port, int backlog, const char* who);

// Sends all of bytes; false when the connection has gone.
bool SendAll(int fd, const QByteArray& bytes);

// The base of the agent and the relay controller. A derived class calls StartAccepting at the end
// of its constructor and StopServing at the start of its destructor, so that no thread runs into
// a half-made or half-gone object.
class PeerServer {
public:
    PeerServer(const PeerServer&) = delete;
    PeerServer& operator=(const PeerServer&) = delete;

    QString Ip() const { return ip_; }
    int Port() const { return port_; }
    // Connections accepted so far, and those the peer has not closed yet.
    int Connections() const { return accepted_; }
    int OpenConnections() const { return open_; }

protected:
    PeerServer(const QString& ip, int port, int backlog, const char* who);
    virtual ~PeerServer();

    // What serves one accepted connection on a thread of its own. Called on the accepting thread
    // with lock_ held, before the peer can see anything of the connection.
    virtual std::function<void()> Accepted(int fd) = 0;

    void StartAccepting();
    // Wakes the blocked accept and every blocked receive and joins every thread; then the
    // listener is closed. Later calls do nothing.
    void StopServing();
    // Refusing: the listener stops listening but keeps its port, so the system refuses
    // connections until listening starts again. Called with lock_ held.
    void SetRefusing(bool refusing);
    // Waits ms unless the server is stopping; false when it is.
    bool Pause(int ms);

    // Guards the derived class's state too; changed_ wakes whoever waits for it.
    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    bool stop_ = false;

private:
    struct Client {
        int fd = -1;
        bool done = false;
        std::thread thread;
    };
    void Accept();
    // Joins the threads of connections that have ended; with lock_ held.
    void ReapClients();

    const QString ip_;
    int port_ = 0;
    const int backlog_;
    int listenFd_ = -1;
    bool refusing_ = false;
    bool stopped_ = false;
    std::atomic<int> accepted_{0};
    std::atomic<int> open_{0};
    // A connection's thread closes its socket when it ends and marks it done under the lock, so a
    // number that the system gives out again is never shut down here by mistake; the next accept
    // joins it. A server that runs for hours thus holds the sockets and threads of open
    // connections only.
    std::list<Client> clients_;
    std::thread acceptor_;
};
