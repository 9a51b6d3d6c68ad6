// With several builders writing into one event log, each of their lines carries its target's
// ProjectID in front ("3>Compiling..."). The tagger turns a builder's raw log pieces into whole
// tagged lines, so that lines of different builders can never be cut into each other.
#pragma once

#include <string>
#include <string_view>

namespace kw {

class LineTagger {
public:
    explicit LineTagger(int projectId);

    // The lines this piece completes, each "<id>>" + line + CR LF; what follows the last CR LF
    // waits for the next piece. Empty lines are left out, as the event log leaves them out.
    std::string Feed(std::string_view piece);
    // The unfinished last line, tagged and ended; "" when there is none.
    std::string Flush();

    // An unfinished line longer than this goes out as it is, so a log without line ends can't
    // pile up in memory (the receiver's own bound).
    static constexpr size_t kMaxPendingBytes = 64 * 1024;

private:
    void Line(std::string_view line, std::string& out) const;

    std::string tag_;
    std::string pending_;
};

}  // namespace kw
