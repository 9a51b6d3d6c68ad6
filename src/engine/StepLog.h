// One target's own lines of one step (its builder's log, the run's lines about it), kept for the
// run's records. Kept compactly, and bounded: a builder that floods its log can't make the
// records take more than a few megabytes per step.
#pragma once

#include "engine/LogLines.h"

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

class StepLog {
public:
    // The first headBytes of lines are kept, then the last tailBytes; the lines between are
    // counted and shown as one line "... N lines not kept". Bytes of UTF-8.
    static constexpr size_t kHeadBytes = 2 * 1024 * 1024;
    static constexpr size_t kTailBytes = 512 * 1024;
    StepLog() = default;
    StepLog(size_t headBytes, size_t tailBytes) : headBytes_(headBytes), tailBytes_(tailBytes) {}

    // A narrow piece of the builder's log, as posted to the event log (ANSI code page).
    void AddPiece(std::string_view bytes);
    // The builder has ended: an unfinished last line of its log is a line now.
    void EndPieces();
    // One line of the run's own.
    void AddLine(std::wstring_view line);

    bool Empty() const { return head_.empty() && tail_.empty() && dropped_ == 0; }
    std::vector<std::wstring> Lines() const;

private:
    void Keep(std::wstring_view line);

    size_t headBytes_ = kHeadBytes;
    size_t tailBytes_ = kTailBytes;
    LogLineJoiner joiner_;
    std::string head_;              // whole lines, each ended by '\n'
    bool headFull_ = false;
    std::deque<std::string> tail_;  // one line each, once the head is full
    size_t tailSize_ = 0;
    size_t dropped_ = 0;
};

}  // namespace kw
