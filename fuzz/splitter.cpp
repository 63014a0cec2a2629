// Fuzzes the agent reply splitter: the input arrives in reads of sizes the input itself chooses,
// and must give the same documents as when it arrives in one read.
#include "terminal/AgentProtocol.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte sets the read size (1 to 256 bytes), as a socket may cut a stream anywhere.
    const size_t step = size_t(data[0]) + 1;
    const QByteArray stream(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    AgentReplySplitter pieces;
    QStringList documents;
    for (qsizetype at = 0; at < stream.size(); at += qsizetype(step)) {
        documents += pieces.Feed(stream.mid(at, qsizetype(step)));
        if (pieces.Carried() > AgentReplySplitter::MaxCarry)
            std::abort(); // the carried bytes stay bounded
    }
    for (const QString& d : documents)
        if (!d.endsWith(QStringLiteral("</client>")))
            std::abort(); // every document is whole
    AgentReplySplitter whole;
    if (whole.Feed(stream) != documents)
        std::abort(); // how the stream was cut into reads changes nothing
    return 0;
}
