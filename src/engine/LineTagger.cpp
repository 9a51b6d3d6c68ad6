#include "engine/LineTagger.h"

namespace kw {

LineTagger::LineTagger(int projectId) : tag_(std::to_string(projectId) + ">") {}

void LineTagger::Line(std::string_view line, std::string& out) const {
    if (line.empty()) return;
    out += tag_;
    out.append(line.data(), line.size());
    out += "\r\n";
}

std::string LineTagger::Feed(std::string_view piece) {
    pending_.append(piece.data(), piece.size());
    std::string out;
    size_t start = 0;
    // Only CR LF ends a line; a CR at the very end may be the first half of one.
    for (size_t end; (end = pending_.find("\r\n", start)) != std::string::npos; start = end + 2) {
        Line(std::string_view(pending_).substr(start, end - start), out);
    }
    pending_.erase(0, start);
    if (pending_.size() > kMaxPendingBytes) out += Flush();
    return out;
}

std::string LineTagger::Flush() {
    std::string out;
    Line(pending_, out);
    pending_.clear();
    return out;
}

}  // namespace kw
