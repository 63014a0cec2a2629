// A remote power command on a set of terminals: one control thread each, results recorded as they come.
#pragma once

#include "foundation/ThreadBase.h"

#include <atomic>
#include <memory>
#include <vector>

class DevBean;

class ThreadRemoteDeviceControlBatch : public ThreadProcessBar {
public:
    // Created suspended, not freeing itself; the identifiers are copied, so the caller may free
    // its array at any time. Max = count (the progress base turns a count below 1 into 100).
    ThreadRemoteDeviceControlBatch(const int* ids, int count, const QString& name, char op);
    ThreadRemoteDeviceControlBatch(std::vector<int> ids, const QString& name, char op);

    // The status word that a successful op stores: "down", "poweroff", or empty for none.
    static QString StatusWordFor(char op);
    // The operation-log text of op for a terminal.
    static QString OperationText(char op, int id, const QString& name);

    const std::vector<int> Ids;
    const char Op;

protected:
    void Init() override;
    void Run() override;
    void Cleanup() override;

private:
    void Record(std::size_t i, int code);
    bool UpdateStatus(DevBean* device);
    bool SaveStatus(DevBean* device);

    // Shared with the control threads: a stopped batch may free its side while they finish.
    std::vector<std::shared_ptr<DevBean>> Devices;
    std::shared_ptr<std::atomic<int>[]> Results;
};
