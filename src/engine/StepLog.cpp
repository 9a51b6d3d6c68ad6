#include "engine/StepLog.h"

#include "win/Text.h"

namespace kw {

void StepLog::AddPiece(std::string_view bytes) {
    for (const std::wstring& line : joiner_.Feed(bytes)) Keep(line);
}

void StepLog::EndPieces() {
    for (const std::wstring& line : joiner_.Flush()) Keep(line);
}

void StepLog::AddLine(std::wstring_view line) { Keep(line); }

void StepLog::Keep(std::wstring_view line) {
    std::string bytes = ToUtf8(line);
    if (!headFull_) {
        if (head_.size() + bytes.size() + 1 <= headBytes_) {
            head_ += bytes;
            head_ += '\n';
            return;
        }
        headFull_ = true;
    }
    tailSize_ += bytes.size() + 1;
    tail_.push_back(std::move(bytes));
    // The newest line stays, however long.
    while (tailSize_ > tailBytes_ && tail_.size() > 1) {
        tailSize_ -= tail_.front().size() + 1;
        tail_.pop_front();
        ++dropped_;
    }
}

std::vector<std::wstring> StepLog::Lines() const {
    std::vector<std::wstring> lines;
    for (size_t start = 0, end; start < head_.size(); start = end + 1) {
        end = head_.find('\n', start);
        lines.push_back(FromUtf8(std::string_view(head_).substr(start, end - start)));
    }
    if (dropped_ > 0) lines.push_back(FormatW(L"\x2026 %lu lines not kept", static_cast<unsigned long>(dropped_)));
    for (const std::string& line : tail_) lines.push_back(FromUtf8(line));
    return lines;
}

}  // namespace kw
