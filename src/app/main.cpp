// kilnworks.exe: the build manager's window.
#include "app/Application.h"

#include <windows.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    kw::Application application(argc, argv);
    if (argv != nullptr) LocalFree(argv);
    return application.InitInstance();
}
