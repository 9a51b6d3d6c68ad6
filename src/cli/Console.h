// Output of the console front end: UTF-16 lines written through the console API when the stream
// is a console, and as UTF-8 bytes when it is redirected, so no character is lost either way.
#pragma once

#include <windows.h>

#include <string_view>

namespace kw::cli {

class ConsoleStream {
public:
    explicit ConsoleStream(DWORD stdHandle);
    void Write(std::wstring_view text);
    void WriteLine(std::wstring_view text);

private:
    HANDLE handle_;
    bool isConsole_;
};

ConsoleStream& Out();
ConsoleStream& Err();

}  // namespace kw::cli
