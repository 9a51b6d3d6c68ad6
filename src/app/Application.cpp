#include "app/Application.h"

#include "app/MainWindow.h"
#include "engine/RunSetup.h"
#include "resource.h"
#include "win/Com.h"
#include "win/Text.h"
#include "win/UserPrompt.h"

#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace kw {

Application::Application(int argc, wchar_t** argv) {
    if (argc > 1 && argv != nullptr && argv[1] != nullptr) startupPackagePath_ = argv[1];
}

Application::Application(std::wstring startupPackagePath) : startupPackagePath_(std::move(startupPackagePath)) {}

bool Application::FindTemporaryFolder() {
    if (ReadTemporaryFolder(temporaryFolder_)) return true;
    CurrentPrompt().Message(nullptr, LoadResourceString(IDS_NO_TEMP_FOLDER), LoadResourceString(IDS_ERROR_OCCURED),
                            MB_OK);
    return false;
}

int Application::InitInstance() {
    if (!FindTemporaryFolder()) return 1;
    ComApartment com;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    {
        MainWindow window(*this, startupPackagePath_);
        window.RunModal(nullptr);
    }
    return 0;
}

}  // namespace kw
