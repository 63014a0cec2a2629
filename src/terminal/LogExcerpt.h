// The part of a fetched log that the viewer shows: all of a small log, a bounded part of a big one.
#pragma once

#include <QByteArray>

// Collects a log as it arrives, block by block, in memory bounded by about twice ShownBytes
// whatever the log's size. A plain-text log longer than that keeps its last ShownBytes (where
// the newest lines are), a rich-text one its first (its formatting is defined at its start).
class LogExcerpt {
public:
    // What the viewer lays out without a noticeable stall of the console, also when the operator
    // goes to the end (Ctrl+End) before its layout in the background has finished: the whole part
    // is then laid out at once (short lines: 0.1 s for this much, 0.8 s for 4 MiB).
    static constexpr qsizetype ShownBytes = 512 * 1024;

    explicit LogExcerpt(qsizetype shownBytes = ShownBytes) : limit_(shownBytes) {}

    void Append(const QByteArray& block);
    // The bytes to show. A tail is the last ShownBytes from the first whole character among them
    // (one byte fewer when the cut falls within a character).
    QByteArray Bytes() const;
    // Bytes received in all.
    qint64 Total() const { return total_; }
    // Only a part is shown.
    bool IsPart() const { return total_ > limit_; }
    // The part shown is the log's beginning (a rich-text log), not its end.
    bool IsHead() const { return rtf_; }
    void Clear();

private:
    qsizetype limit_;
    QByteArray kept_;
    qint64 total_ = 0;
    bool rtf_ = false;
};
