// The control thread: drives one relay controller through one operation and stores its code.
#include "terminal/ThreadRemoteDeviceControl.h"

#include "foundation/DevBean.h"
#include "terminal/RemoteDeviceController.h"

ThreadRemoteDeviceControl::ThreadRemoteDeviceControl(const QString& name,
                                                     std::shared_ptr<DevBean> device, char op,
                                                     std::shared_ptr<std::atomic<int>> result)
    : ThreadBase(name), Device(std::move(device)), Op(op), Result(std::move(result))
{
}

void ThreadRemoteDeviceControl::Run()
{
    int code;
    {
        RemoteDeviceController controller(Device.get());
        code = controller.Execute(Op);
    } // the connection is closed before the result is published
    Result->store(code);
}
