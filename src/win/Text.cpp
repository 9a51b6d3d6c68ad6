#include "win/Text.h"

#include <windows.h>

#include <cstdarg>
#include <cwchar>
#include <vector>

namespace kw {

namespace {

std::string Narrow(UINT codePage, std::wstring_view text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

}  // namespace

std::wstring Widen(unsigned codePage, std::string_view bytes) {
    if (bytes.empty()) return {};
    int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

std::wstring Prefix(const std::wstring& text, size_t count) {
    if (text.size() <= count) return text;
    if (count > 0 && IS_HIGH_SURROGATE(text[count - 1])) --count;
    return text.substr(0, count);
}

std::string ToUtf8(std::wstring_view text) { return Narrow(CP_UTF8, text); }
std::wstring FromUtf8(std::string_view bytes) { return Widen(CP_UTF8, bytes); }
std::wstring FromAnsi(std::string_view bytes) { return Widen(CP_ACP, bytes); }
std::string ToAnsi(std::wstring_view text) { return Narrow(CP_ACP, text); }

std::wstring LoadResourceString(unsigned id) {
    const wchar_t* text = nullptr;
    // With a zero buffer length LoadStringW hands out a pointer into the resource itself.
    int n = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (n <= 0 || text == nullptr) return {};
    return std::wstring(text, static_cast<size_t>(n));
}

std::wstring FormatW(const wchar_t* format, ...) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list args;
        va_start(args, format);
        int n = _vsnwprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (n >= 0 && static_cast<size_t>(n) < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

namespace {

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Characters that end a line, move the cursor, or reorder what follows on screen.
bool NeedsEscape(wchar_t c) {
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return true;
    if (c < 0x061C) return false;
    return c == 0x061C || c == 0x200E || c == 0x200F || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069) || IsHighSurrogate(c) || IsLowSurrogate(c);
}

}  // namespace

std::wstring EscapeForDisplay(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && !NeedsEscape(text[i])) ++i;
    // Most lines have nothing to escape: one scan, one copy.
    if (i == text.size()) return std::wstring(text);
    std::wstring out(text.substr(0, i));
    out.reserve(text.size() + 16);
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    for (; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (!NeedsEscape(c)) {
            out += c;
        } else if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            out += c;  // a whole pair is an ordinary character
            out += text[++i];
        } else if (c == L'\r') {
            out += L"\\r";
        } else if (c == L'\n') {
            out += L"\\n";
        } else if (c == L'\t') {
            out += L"\\t";
        } else {
            const wchar_t escape[] = {L'\\', L'u', kHex[(c >> 12) & 0xF], kHex[(c >> 8) & 0xF], kHex[(c >> 4) & 0xF],
                                      kHex[c & 0xF]};
            out.append(escape, 6);
        }
    }
    return out;
}

}  // namespace kw
