#include "engine/LogLineKind.h"

#include <string>

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

bool ReadRunSummary(std::wstring_view line, long& failed, long& notRun) {
    // "Summary: 3 targets, 2 succeeded, 1 failed, 0 not run.", the run's wall time perhaps after
    // "not run" (", in 4 min 12 s.").
    constexpr std::wstring_view kFailed = L" failed, ", kNotRun = L" not run";
    if (line.substr(0, 9) != L"Summary: " || line.back() != L'.') return false;
    size_t notRunAt = line.rfind(kNotRun);
    if (notRunAt == std::wstring_view::npos) return false;
    std::wstring_view after = line.substr(notRunAt + kNotRun.size());
    if (after != L"." && after.substr(0, 5) != L", in ") return false;
    size_t failedAt = line.rfind(kFailed, notRunAt);
    if (failedAt == std::wstring_view::npos) return false;
    failed = NumberBefore(line, failedAt);
    notRun = NumberBefore(line, notRunAt);
    return failed >= 0 && notRun >= 0;
}

bool FindSourceLocation(std::wstring_view line, std::wstring& path, long& lineNumber) {
    auto number = [](std::wstring_view text, size_t& at) {
        long value = -1;
        for (size_t digits = 0; at < text.size() && IsDigit(text[at]) && digits < 9; ++at, ++digits) {
            value = (value < 0 ? 0 : value * 10) + (text[at] - L'0');
        }
        return value;
    };
    auto trimmed = [](std::wstring_view text) {
        while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
        while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
        return std::wstring(text);
    };
    // The Basic compiler: "Compile Error in File 'C:\Src\Main.frm', Line 12 : Variable not defined"
    constexpr std::wstring_view kBasic = L"Compile Error in File '", kBasicLine = L"', Line ";
    if (line.substr(0, kBasic.size()) == kBasic) {
        size_t close = line.find(kBasicLine, kBasic.size());
        if (close == std::wstring_view::npos) return false;
        size_t at = close + kBasicLine.size();
        long value = number(line, at);
        if (value < 0 || close == kBasic.size()) return false;
        path = trimmed(line.substr(kBasic.size(), close - kBasic.size()));
        lineNumber = value;
        return !path.empty();
    }
    // The C++ tools: "C:\Src\CalcDlg.cpp(12) : error C2065: ...", also fatal errors and warnings.
    // A path may hold brackets of its own, so every "(" is tried.
    for (size_t open = line.find(L'('); open != std::wstring_view::npos; open = line.find(L'(', open + 1)) {
        size_t at = open + 1;
        long value = number(line, at);
        if (value < 0 || at >= line.size() || line[at] != L')') continue;
        std::wstring_view rest = line.substr(at + 1);
        if (rest.substr(0, 1) == L" ") rest.remove_prefix(1);
        if (rest.substr(0, 2) != L": ") continue;
        rest.remove_prefix(2);
        if (rest.substr(0, 6) != L"error " && rest.substr(0, 12) != L"fatal error " && rest.substr(0, 8) != L"warning ") {
            continue;
        }
        std::wstring found = trimmed(line.substr(0, open));
        if (found.empty()) return false;
        path = found;
        lineNumber = value;
        return true;
    }
    return false;
}

LogLineKind ClassifyLogLine(std::wstring_view line) {
    while (!line.empty() && (line.back() == L' ' || line.back() == L'\r' || line.back() == L'\t')) {
        line.remove_suffix(1);
    }
    auto startsWith = [line](std::wstring_view head) { return line.substr(0, head.size()) == head; };
    auto contains = [line](std::wstring_view part) { return line.find(part) != std::wstring_view::npos; };
    if (HasDiagnostic(line, L"error") || startsWith(L"Compile Error in File") || startsWith(L"Error executing ") ||
        startsWith(L"Error spawning ") || startsWith(L"Error: ") || EndsWith(line, L" failed.")) {
        return LogLineKind::Error;
    }
    // The run's own lines about a builder or a step that went wrong.
    if (startsWith(L"The run failed: ") || (startsWith(L"The run of ") && contains(L" failed: ")) ||
        startsWith(L"Could not start ") || contains(L" crashed (exception 0x") ||
        (contains(L" timed out after ") && EndsWith(line, L" and was stopped.")) || contains(L" ended with exit code ") ||
        startsWith(L"Not stamped: ") || startsWith(L"No version line found in ") ||
        EndsWith(line, L"; the Visual Basic builds end here.")) {
        return LogLineKind::Error;
    }
    if (startsWith(L"Summary: ")) {
        long failed = -1, notRun = -1;
        if (ReadRunSummary(line, failed, notRun)) {
            return failed > 0 ? LogLineKind::Error : notRun > 0 ? LogLineKind::Warning : LogLineKind::Plain;
        }
    }
    if (line == L"Run stopped." || (startsWith(L"Project '") && EndsWith(line, L"; it is not run.")) ||
        startsWith(L"The Visual Studio folder in the registry (")) {
        return LogLineKind::Warning;
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
