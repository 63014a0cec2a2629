// A TCP proxy on 127.0.0.1 that a test can freeze, as a database server that stopped answering.
#pragma once

#include "peers/PeerServer.h"

#include <atomic>

// Forwards every connection made to Port() to targetPort on 127.0.0.1. Frozen, it forwards nothing
// either way and keeps every connection open, so the client waits for an answer that never comes;
// thawed, it forwards what waited.
class FreezingProxy : public PeerServer {
public:
    explicit FreezingProxy(int targetPort);
    ~FreezingProxy() override;

    void Freeze() { frozen_ = true; }
    void Thaw() { frozen_ = false; }

private:
    std::function<void()> Accepted(int fd) override;
    void Forward(int client);

    const int targetPort_;
    std::atomic<bool> frozen_{false};
};
