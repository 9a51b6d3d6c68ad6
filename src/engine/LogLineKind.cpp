#include "engine/LogLineKind.h"

namespace kw {

namespace {

bool IsUpper(wchar_t c) { return c >= L'A' && c <= L'Z'; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// A diagnostic code such as C2065, LNK2001, RC2135 or D4002 at the start of text, followed by
// ':' or " :".
bool StartsWithCode(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && i < 4 && IsUpper(text[i])) ++i;
    if (i == 0) return false;
    size_t digits = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i - digits < 3 || i - digits > 5) return false;
    if (i < text.size() && text[i] == L':') return true;
    return i + 1 < text.size() && text[i] == L' ' && text[i + 1] == L':';
}

// word (a whole word) followed by a blank and a diagnostic code, anywhere in the line.
bool HasDiagnostic(std::wstring_view line, std::wstring_view word) {
    for (size_t at = line.find(word); at != std::wstring_view::npos; at = line.find(word, at + 1)) {
        if (at > 0 && line[at - 1] != L' ' && line[at - 1] != L':' && line[at - 1] != L'\t') continue;
        size_t after = at + word.size();
        if (after < line.size() && line[after] == L' ' && StartsWithCode(line.substr(after + 1))) return true;
    }
    return false;
}

// The number that ends just before end; -1 when there is none.
long NumberBefore(std::wstring_view text, size_t end) {
    size_t start = end;
    while (start > 0 && IsDigit(text[start - 1]) && end - start < 9) --start;
    if (start == end) return -1;
    long value = 0;
    for (size_t i = start; i < end; ++i) value = value * 10 + (text[i] - L'0');
    return value;
}

bool EndsWith(std::wstring_view text, std::wstring_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

LogLineKind ClassifyLogLine(std::wstring_view line) {
    while (!line.empty() && (line.back() == L' ' || line.back() == L'\r' || line.back() == L'\t')) {
        line.remove_suffix(1);
    }
    auto startsWith = [line](std::wstring_view head) { return line.substr(0, head.size()) == head; };
    if (HasDiagnostic(line, L"error") || startsWith(L"Compile Error in File") || startsWith(L"Error executing ") ||
        startsWith(L"Error: ") || EndsWith(line, L" failed.")) {
        return LogLineKind::Error;
    }
    // "Calc.exe - 1 error(s), 2 warning(s)"
    constexpr std::wstring_view kErrors = L" error(s), ";
    constexpr std::wstring_view kWarnings = L" warning(s)";
    if (EndsWith(line, kWarnings)) {
        size_t warningsEnd = line.size() - kWarnings.size();
        long warnings = NumberBefore(line, warningsEnd);
        size_t digits = warningsEnd;
        while (digits > 0 && IsDigit(line[digits - 1])) --digits;
        if (warnings >= 0 && digits >= kErrors.size() && line.substr(digits - kErrors.size(), kErrors.size()) == kErrors) {
            long errors = NumberBefore(line, digits - kErrors.size());
            if (errors > 0) return LogLineKind::Error;
            if (errors == 0 && warnings > 0) return LogLineKind::Warning;
            return LogLineKind::Plain;
        }
    }
    if (HasDiagnostic(line, L"warning") || startsWith(L"Warning: ")) return LogLineKind::Warning;
    return LogLineKind::Plain;
}

}  // namespace kw
