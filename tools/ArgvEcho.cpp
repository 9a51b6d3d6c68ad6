// Prints the arguments it received as the C runtime split them, one per line (UTF-8), for the
// tests of argument quoting.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    // Written as raw bytes: no text-mode translation of the line ends.
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        int n = WideCharToMultiByte(CP_UTF8, 0, arg.c_str(), static_cast<int>(arg.size()), nullptr, 0, nullptr, nullptr);
        std::string bytes(static_cast<size_t>(n), '\0');
        WideCharToMultiByte(CP_UTF8, 0, arg.c_str(), static_cast<int>(arg.size()), bytes.data(), n, nullptr, nullptr);
        bytes += '\n';
        DWORD written = 0;
        WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    return argc - 1;
}
