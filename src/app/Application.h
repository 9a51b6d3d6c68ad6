// The program's start-up: the package named on the command line, the temporary folder, COM for the
// user-interface thread, and the main window run modally. When the window ends, the program ends.
#pragma once

#include <string>

namespace kw {

class Application {
public:
    // The first argument after the program name, when present and not empty, is the package to
    // open; it is kept whole, however long.
    Application(int argc, wchar_t** argv);
    explicit Application(std::wstring startupPackagePath = std::wstring());
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Start-up: temporary folder (or the message and the end), COM, the main window. Returns the
    // process exit code: 0, or 1 when no temporary folder is configured.
    int InitInstance();

    // TEMP, else TMP (whole; an empty value counts as set). False, after telling the user, when
    // neither is set.
    bool FindTemporaryFolder();

    const std::wstring& TemporaryFolder() const { return temporaryFolder_; }
    void SetTemporaryFolder(const std::wstring& folder) { temporaryFolder_ = folder; }
    const std::wstring& StartupPackagePath() const { return startupPackagePath_; }

private:
    // Handed to the engine by pointer at every Start, so it lives as long as the application.
    std::wstring temporaryFolder_;
    std::wstring startupPackagePath_;
};

}  // namespace kw
