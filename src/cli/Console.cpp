#include "cli/Console.h"

#include "win/Text.h"

#include <string>

namespace kw::cli {

ConsoleStream::ConsoleStream(DWORD stdHandle) : handle_(GetStdHandle(stdHandle)) {
    DWORD mode = 0;
    isConsole_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode);
}

void ConsoleStream::Write(std::wstring_view text) {
    if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE || text.empty()) return;
    if (isConsole_) {
        DWORD written = 0;
        WriteConsoleW(handle_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    std::string bytes = ToUtf8(text);
    size_t offset = 0;
    while (offset < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(handle_, bytes.data() + offset, static_cast<DWORD>(bytes.size() - offset), &written,
                       nullptr) ||
            written == 0) {
            return;
        }
        offset += written;
    }
}

void ConsoleStream::WriteLine(std::wstring_view text) {
    std::wstring line(text);
    line += L"\r\n";
    Write(line);
}

ConsoleStream& Out() {
    static ConsoleStream stream(STD_OUTPUT_HANDLE);
    return stream;
}

ConsoleStream& Err() {
    static ConsoleStream stream(STD_ERROR_HANDLE);
    return stream;
}

}  // namespace kw::cli
