// Splitting event-log text into lines. Shared by every receiver of WM_LOG_TEXT, so the main
// window and the console front end show a builder's log the same way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kw {

// Cuts the next line off buffer. Only the pair CR LF separates lines; empty lines are skipped, a
// lone CR or LF stays inside its line, and text after the last pair is a line of its own.
// Returns false (line untouched) when the buffer holds nothing more to show.
bool TakeNextLine(std::wstring& buffer, std::wstring& line);

// Joins the narrow pieces of a builder's log into whole lines. A piece may end inside a line,
// inside a CR LF pair or inside a double-byte character; what follows its last CR LF waits for
// the next piece. Lines are converted from the ANSI code page only once they are whole.
class LogLineJoiner {
public:
    // The code page of the pieces; the receiver's is the system's ANSI code page.
    explicit LogLineJoiner(unsigned codePage = 0 /* CP_ACP */) : codePage_(codePage) {}

    // An unfinished line longer than this is shown as it is, so a log without line ends can't
    // pile up in memory.
    static constexpr size_t kMaxPendingBytes = 64 * 1024;

    // The lines completed by this piece.
    std::vector<std::wstring> Feed(std::string_view piece);
    // The unfinished last line, if any, as a line of its own.
    std::vector<std::wstring> Flush();
    bool Pending() const { return !pending_.empty(); }

private:
    unsigned codePage_;
    std::string pending_;
};

}  // namespace kw
