// Keeping the head or the tail of a log as it arrives.
#include "terminal/LogExcerpt.h"

#include "platform/RichText.h"

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
    // A tail without any line end is shown as it is.
    return lineEnd < 0 ? tail : tail.mid(lineEnd + 1);
}

void LogExcerpt::Clear()
{
    kept_.clear();
    total_ = 0;
    rtf_ = false;
}
