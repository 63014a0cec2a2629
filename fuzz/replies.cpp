// Fuzzes the reply documents of the windows that show them: the process, network and UPS views of
// the detail window and the log list. The same input goes to each; a reply that is not XML or is
// refused before parsing (too deep, too many attributes, a declaration), or a list entry whose
// size is no number, is an Exception the windows report, anything else a fault. The detail window's views take the document its reader parsed once.
#include "FuzzApp.h"
#include "platform/Exception.h"
#include "terminal/AgentProtocol.h"
#include "windows/FrmClientDetail.h"
#include "windows/FrmLogDev.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace {

void Guarded(const std::function<void()>& handle)
{
    try {
        handle();
    } catch (const Exception&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzApp::Ensure();
    // Made once: a window per input would spend the run building widgets.
    static const auto detail = std::make_unique<TClientDetail>(0);
    static const auto list = std::make_unique<TFrmLog>();
    const QString reply = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    Guarded([&] {
        const QDomDocument doc = AgentProtocol::ParseReply(reply);
        Guarded([&] { detail->OnProcessReply(doc); });
        Guarded([&] { detail->OnNetReply(doc); });
        Guarded([&] { detail->OnUpsReply(doc); });
    });
    Guarded([&] { list->ShowLogList(reply); });
    return 0;
}
