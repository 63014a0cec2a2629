// Fuzzes the rich-text reader of the log viewer: any bytes, shown in a text control.
#include "FuzzApp.h"
#include "platform/RichText.h"

#include <QTextEdit>

#include <cstddef>
#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzApp::Ensure();
    static const auto edit = std::make_unique<QTextEdit>();
    RichText::Load(edit.get(), QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
