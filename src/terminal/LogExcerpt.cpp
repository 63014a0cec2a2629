// Keeping the head or the tail of a log as it arrives.
#include "terminal/LogExcerpt.h"

#include "platform/RichText.h"


namespace {
// GBK as the console decodes it: a byte of 0x81-0xFE followed by a byte of 0x40-0x7E or 0x80-0xFE
// is one character; every other byte is a character of its own.
constexpr uchar FirstLeadByte = 0x81;
constexpr uchar LastLeadByte = 0xFE;
constexpr uchar FirstTrailByte = 0x40;
constexpr uchar NeverTrailByte = 0x7F;
constexpr uchar LastTrailByte = 0xFE;

bool IsLead(char c)
{
    return uchar(c) >= FirstLeadByte && uchar(c) <= LastLeadByte;
}

bool IsTrail(char c)
{
    return uchar(c) >= FirstTrailByte && uchar(c) <= LastTrailByte && uchar(c) != NeverTrailByte;
}

// The first character start at or after at, in bytes that begin with a whole character. Going
// forward from the middle, a byte of 0x40-0xFE may begin a character or end one; going back, a byte
// that cannot begin a two-byte character ends a character, whatever came before it, and from there
// on each byte that can begin one does (every such byte also ends a pair when it follows one).
// So the run of such bytes just before at, counted back to that byte or to the start, says whether
// at lies in the middle of a character. No more than the run is looked at.
qsizetype CharacterStart(const QByteArray& bytes, qsizetype at)
{
    qsizetype from = at;
    while (from > 0 && IsLead(bytes[from - 1]))
        --from;
    const bool afterLead = (at - from) % 2 == 1;
    return afterLead && at < bytes.size() && IsTrail(bytes[at]) ? at + 1 : at;
}
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
    // Trimmed only when twice the limit has gathered: each byte is moved at most once more. What is
    // kept begins with a whole character, as the log does.
    if (kept_.size() > 2 * limit_)
        kept_.remove(0, CharacterStart(kept_, kept_.size() - limit_));
}

QByteArray LogExcerpt::Bytes() const
{
    if (rtf_ || total_ <= limit_)
        return kept_;
    return kept_.mid(CharacterStart(kept_, kept_.size() - limit_));
}

void LogExcerpt::Clear()
{
    kept_.clear();
    total_ = 0;
    rtf_ = false;
}
