// kilnworks-cli: the build engine without a window.
#include "cli/Commands.h"
#include "cli/Console.h"
#include "win/Com.h"

#include <string>

namespace kw::cli {

void PrintUsage() {
    Err().Write(
        L"usage: kilnworks-cli show PACKAGE\n"
        L"       kilnworks-cli run PACKAGE [--targets all|ID[,ID...]] [--debug] [--release]\n"
        L"                         [--rebuild-all] [--clean] [--set-version A.B.C.D | --auto-increment]\n");
}

}  // namespace kw::cli

int wmain(int argc, wchar_t** argv) {
    using namespace kw::cli;
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
