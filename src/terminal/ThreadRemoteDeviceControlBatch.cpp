// The remote power batch: starts one control thread per terminal and records each result once.
#include "terminal/ThreadRemoteDeviceControlBatch.h"

#include "foundation/ConsoleServices.h"
#include "foundation/Consts.h"
#include "foundation/DbMod.h"
#include "foundation/DevBean.h"
#include "foundation/SqlText.h"
#include "terminal/RemoteDeviceController.h"
#include "terminal/ThreadRemoteDeviceControl.h"

#include <chrono>
#include <thread>

namespace {

// Progress shown at once when the batch holds a single terminal.
constexpr int SingleTerminalPosition = 35;

} // namespace

ThreadRemoteDeviceControlBatch::ThreadRemoteDeviceControlBatch(const int* ids, int count,
                                                               const QString& name, char op)
    : ThreadRemoteDeviceControlBatch(ids && count > 0 ? std::vector<int>(ids, ids + count)
                                                      : std::vector<int>(),
                                     name, op)
{
}

ThreadRemoteDeviceControlBatch::ThreadRemoteDeviceControlBatch(std::vector<int> ids,
                                                               const QString& name, char op)
    : ThreadProcessBar(name), Ids(std::move(ids)), Op(op)
{
    SetMax(int(Ids.size()));
    SetPosition(0);
}

QString ThreadRemoteDeviceControlBatch::StatusWordFor(char op)
{
    switch (op) {
    case OpShutdown:
    case OpPowerOn:
        return Consts::StatusDown;
    case OpPowerOff:
        return Consts::StatusPowerOff;
    default:
        return QString(); // a start leaves the status as it is
    }
}

QString ThreadRemoteDeviceControlBatch::OperationText(char op, int id, const QString& name)
{
    const char* format = nullptr;
    switch (op) {
    case OpStart:
        format = "启动远程设备操作,设备ID为(%d),设备名称为(%s).";
        break;
    case OpShutdown:
        format = "关闭远程设备操作,设备ID为(%d),设备名称为(%s).";
        break;
    case OpPowerOff:
        format = "关闭远程设备电源,设备ID为(%d),设备名称为(%s).";
        break;
    case OpPowerOn:
        format = "打开远程设备电源,设备ID为(%d),设备名称为(%s).";
        break;
    default:
        return QString();
    }
    return QString::asprintf(format, id, name.toUtf8().constData());
}

void ThreadRemoteDeviceControlBatch::Init()
{
    const std::size_t n = Ids.size();
    Results = std::shared_ptr<std::atomic<int>[]>(new std::atomic<int>[n]());
    Devices.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        auto device = std::make_shared<DevBean>(Ids[i]);
        Devices.push_back(device);
        // The child holds the record and the slot (aliasing the shared result array) itself.
        auto* child = new ThreadRemoteDeviceControl(
            QStringLiteral("检测网络线程"), device, Op,
            std::shared_ptr<std::atomic<int>>(Results, &Results[i]));
        child->SetFreeOnTerminate(true);
        child->Resume();
    }
}

void ThreadRemoteDeviceControlBatch::Run()
{
    const std::size_t total = Devices.size();
    SetPosition(0);
    if (GetMax() == 1)
        SetPosition(SingleTerminalPosition);
    std::size_t recorded = 0;
    while (!StopRequested) {
        for (std::size_t i = 0; i < total; ++i) {
            const int code = Results[i].load();
            if (code != 0 && !Devices[i]->Reported) {
                Record(i, code);
                ++recorded;
            }
        }
        // A single terminal keeps its 35 until its result is in.
        if (recorded > 0 || total != 1)
            SetPosition(int(recorded));
        if (recorded >= total)
            break;
        std::this_thread::sleep_for(
            std::chrono::milliseconds(RelayTimings::Scaled(RelayTimings::BatchPollMs)));
    }
    // After a stop the control threads are left to finish on their own: they do not poll a stop
    // request, free themselves, and keep their record and slot alive through shared ownership.
}

void ThreadRemoteDeviceControlBatch::Record(std::size_t i, int code)
{
    DevBean* device = Devices[i].get();
    OperationBean bean;
    bean.zol_id = device->Id;
    bean.operation = OperationText(Op, device->Id, device->Name);
    if (code == RelayFail::Success) {
        bean.status = QStringLiteral("1");
    } else {
        if (MainForm)
            MainForm->ShowWarning("无法连接到远程设备的关联网络控制器[" + device->relayip
                                  + "]的端口 [" + QString::number(device->port) + "]");
        bean.status = QStringLiteral("0");
        bean.memo = QStringLiteral("Fail Code(0x%1)").arg(uint(code), 0, 16);
    }
    bool stored = bean.Save() > 0;
    if (code == RelayFail::Success) {
        stored = UpdateStatus(device) && stored;
        // The relay has switched: an operator who is not told so would take the terminal's
        // unchanged state for a command that did nothing.
        if (!stored && MainForm)
            MainForm->ShowWarning(QStringLiteral("远程设备[") + device->Name +
                                  QStringLiteral("]的操作已执行,但无法记录到数据库!"));
    }
    device->Reported = true;
}

// False when the new status could not be stored or read back (the database is out of reach).
bool ThreadRemoteDeviceControlBatch::UpdateStatus(DevBean* device)
{
    if (device->Reported)
        return true;
    const QString word = StatusWordFor(Op);
    if (word.isEmpty()) {
        device->Reported = true;
        return true;
    }
    device->status = word;
    bool stored = SaveStatus(device);
    try {
        if (MainForm)
            MainForm->UpdateDevNetState(device->Id, device->status);
    } catch (const std::exception&) {
        stored = false; // logged by the database module; the other terminals are still recorded
    }
    device->Reported = true;
    return stored;
}

bool ThreadRemoteDeviceControlBatch::SaveStatus(DevBean* device)
{
    // A terminal without a status row matches nothing, which is no failure of the database.
    return FormDbMod->TryExecSql("update zol_status set status='" + SqlEscape(device->status)
                                 + "' where zol_id = " + QString::number(device->Id)).has_value();
}

void ThreadRemoteDeviceControlBatch::Cleanup()
{
    Devices.clear();
    Results.reset();
}
