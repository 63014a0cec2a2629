// Keeping the head or the tail of a log as it arrives.
#include "terminal/LogExcerpt.h"

#include "platform/RichText.h"

#include <algorithm>

namespace {
// The lowest byte that can be the second half of a two-byte GBK character.
constexpr uchar FirstGbkTrailByte = 0x40;
// Below this, a byte is a character of its own or the second half of one, never a first half.
constexpr uchar FirstHighByte = 0x80;
// How far into a tail a character boundary is looked for.
constexpr qsizetype AlignSearchBytes = 1024;
} // namespace

void LogExcerpt::Append(const QByteArray& block)
{
    if (total_ == 0)
        rtf_ = RichText::IsRtf(block);
    total_ += block.size();
    if (rtf_) {
        if (kept_.size() < limit_)
            kept_.append(block.left(limit_ - kept_.size()));
        return;
    }
    kept_.append(block);
    // Trimmed only when twice the limit has gathered: each byte is moved at most once more.
    if (kept_.size() > 2 * limit_)
        kept_.remove(0, kept_.size() - limit_);
}

QByteArray LogExcerpt::Bytes() const
{
    if (rtf_ || total_ <= limit_)
        return kept_;
    QByteArray tail = kept_.right(limit_);
    const qsizetype lineEnd = tail.indexOf('\n');
    if (lineEnd >= 0 && lineEnd + 1 < tail.size())
        return tail.mid(lineEnd + 1);
    // The tail lies within one line (its only line end, if any, closes it). Cut among two-byte
    // characters, it would decode a byte out of step: it is shown from its first byte below 0x40
    // (in GBK always a character of its own) when there is one near its start, else as it is.
    if (uchar(tail[0]) < FirstHighByte)
        return tail;
    const auto searched = tail.cbegin() + std::min(tail.size(), AlignSearchBytes);
    const auto own = std::find_if(tail.cbegin(), searched, [](char c) { return uchar(c) < FirstGbkTrailByte; });
    return own == searched ? tail : tail.mid(own - tail.cbegin());
}

void LogExcerpt::Clear()
{
    kept_.clear();
    total_ = 0;
    rtf_ = false;
}
