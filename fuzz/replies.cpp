// Fuzzes the reply documents of the windows that show them: the process, network and UPS views of
// the detail window and the log list. The input is decoded as a reply from the wire (GBK) and goes
// to each; a reply that is not XML or is refused before parsing (too deep, too many attributes, a
// declaration), or a list entry whose size is no number, is an Exception the windows report,
// anything else a fault. The detail window's views take the document its reader parsed once.
// Before the windows see it, the look before the parse is checked against the parse itself: what
// it lets through is a document within the limits that parses quickly, and what it refuses is never
// parsed.
#include "FuzzApp.h"
#include "platform/Exception.h"
#include "platform/GbkCodec.h"
#include "terminal/AgentProtocol.h"
#include "windows/FrmClientDetail.h"
#include "windows/FrmLogDev.h"

#include <QElapsedTimer>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace {

// What a parse that was let through may take at most in this build (sanitizers, little
// optimisation, a machine busy with other work). The largest replies within the limits take
// 0.3 s here (0.2 s in a release build); those that stalled the console took 20 to 45 s.
constexpr qint64 MaxParseMs = 2000;

void Guarded(const std::function<void()>& handle)
{
    try {
        handle();
    } catch (const Exception&) {
    }
}

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "reply check failed: %s\n", what);
    std::abort();
}

// The deepest nesting of elements in doc and whether an element has more attributes than allowed,
// walked without recursion (a document that got through too deep would overflow the stack).
void CheckParsed(const QDomDocument& doc)
{
    if (!doc.doctype().name().isEmpty())
        Fail("a document with a document type was parsed");
    std::vector<std::pair<QDomElement, int>> open{{doc.documentElement(), 1}};
    while (!open.empty()) {
        const auto [element, depth] = open.back();
        open.pop_back();
        if (element.isNull())
            continue;
        if (depth > AgentProtocol::MaxReplyDepth)
            Fail("a document deeper than the limit was parsed");
        if (element.attributes().count() > AgentProtocol::MaxReplyAttributes)
            Fail("an element with more attributes than the limit was parsed");
        for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
            open.emplace_back(child, depth + 1);
    }
}

// The scan and the parse read a reply alike: the parse accepts what the scan passes, within the
// limits and quickly, and refuses what the scan refuses.
QDomDocument CheckScanAgainstParse(const QString& reply)
{
    const AgentProtocol::ReplyScan scan = AgentProtocol::ScanReply(reply);
    QElapsedTimer clock;
    clock.start();
    QDomDocument doc;
    bool parsed = true;
    try {
        doc = AgentProtocol::ParseReply(reply);
    } catch (const Exception&) {
        parsed = false;
    }
    if (scan.shape != AgentProtocol::ReplyShape::Plain) {
        if (parsed)
            Fail("a reply the scan refused was parsed");
        return doc;
    }
    if (!parsed)
        Fail("the scan read to its end a reply that the parse refused");
    if (clock.elapsed() > MaxParseMs)
        Fail("a reply the scan passed took the parse too long");
    CheckParsed(doc);
    return doc;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzApp::Ensure();
    // Made once: a window per input would spend the run building widgets.
    static const auto detail = std::make_unique<TClientDetail>(0);
    static const auto list = std::make_unique<TFrmLog>();
    const QString reply = Gbk::Decode(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QDomDocument doc = CheckScanAgainstParse(reply);
    if (!doc.isNull()) {
        // What the reply thread makes of it, then its effect on the window, as the window runs them.
        Guarded([&] { detail->ReadDocument(doc, reply)(); });
    }
    Guarded([&] { list->ShowLogList(reply); });
    return 0;
}
