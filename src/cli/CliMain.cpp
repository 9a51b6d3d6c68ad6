// kilnworks-cli: the build engine without a window.
#include "cli/Commands.h"
#include "cli/Console.h"
#include "KilnworksVersion.h"
#include "win/Com.h"

#include <string>

namespace kw::cli {

void PrintUsage() {
    Err().Write(
        L"usage: kilnworks-cli show PACKAGE\n"
        L"       kilnworks-cli run PACKAGE [--targets all|ID[,ID...]] [--debug] [--release]\n"
        L"                         [--rebuild-all] [--clean] [--set-version A.B.C.D | --auto-increment]\n"
        L"                         [--timeout SECONDS]\n"
        L"  A.B.C.D: four numbers of 0 to 65535. --timeout: a builder running longer is stopped.\n"
        L"  Ctrl+C stops a run.\n"
        L"exit codes of run (the highest that applies):\n"
        L"  0 every step of every target succeeded\n"
        L"  1 the package or the temporary folder could not be used\n"
        L"  2 usage error, unknown target, or nothing to do\n"
        L"  3 a builder could not be started\n"
        L"  4 a target failed (errors, non-zero exit, crash, time-out, failed stamping) or was not run\n"
        L"  5 the run was stopped\n");
}

}  // namespace kw::cli

int wmain(int argc, wchar_t** argv) {
    using namespace kw::cli;
    // Answered before any other argument handling.
    if (argc == 2 && std::wstring(argv[1]) == L"--version") {
        Out().WriteLine(L"kilnworks-cli " KW_VERSION_WTEXT);
        return 0;
    }
    if (argc < 2) {
        PrintUsage();
        return 2;
    }
    std::wstring command = argv[1];
    Arguments args(argv + 2, argv + argc);
    kw::ComApartment com;
    if (command == L"show") return ShowCommand(args);
    if (command == L"run") return RunCommand(args);
    PrintUsage();
    return 2;
}
