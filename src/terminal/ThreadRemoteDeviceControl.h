// One remote power operation on one terminal, on a thread that frees itself when it ends.
#pragma once

#include "foundation/ThreadBase.h"

#include <atomic>
#include <memory>

class DevBean;

class ThreadRemoteDeviceControl : public ThreadBase {
public:
    // Created suspended. The record and the result slot are shared with the creator, so either
    // side may go first.
    ThreadRemoteDeviceControl(const QString& name, std::shared_ptr<DevBean> device, char op,
                              std::shared_ptr<std::atomic<int>> result);

    std::shared_ptr<DevBean> Device;
    char Op;
    // 0 until the operation has ended, then its FailCode (written once).
    std::shared_ptr<std::atomic<int>> Result;

protected:
    // Runs to its end; it does not look at its stop request.
    void Run() override;
};
