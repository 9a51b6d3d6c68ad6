// kilnworks-cli: the build engine without a window.
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/RunOptions.h"
#include "KilnworksVersion.h"
#include "win/Com.h"

#include <string>

namespace kw::cli {

void PrintUsage(bool asked) {
    std::wstring usage =
        L"usage: kilnworks-cli show PACKAGE\n"
        L"       kilnworks-cli run PACKAGE [options]\n"
        L"       kilnworks-cli --help | --version\n"
        L"options of run:\n" +
        DescribeOptions(RunOptionTable()) +
        L"exit codes (the highest that applies):\n"
        L"  0 every step of every target succeeded (show: the package was shown)\n"
        L"  1 the package or the temporary folder could not be used, or a record file could not be written\n"
        L"  2 usage error, unknown target, nothing to do, or a record file's folder can't take it\n"
        L"  3 a builder could not be started\n"
        L"  4 a target failed (errors, non-zero exit, crash, time-out, failed stamping) or was not run\n"
        L"  5 the run was stopped (Ctrl+C stops a run)\n";
    // Line ends as every other line the program prints.
    ConsoleStream& stream = asked ? Out() : Err();
    for (size_t start = 0, end; start < usage.size(); start = end + 1) {
        end = usage.find(L'\n', start);
        stream.WriteLine(std::wstring_view(usage).substr(start, end - start));
    }
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
        PrintUsage(false);
        return 2;
    }
    std::wstring command = argv[1];
    Arguments args(argv + 2, argv + argc);
    if (IsHelpWord(command)) {
        PrintUsage(true);
        return 0;
    }
    kw::ComApartment com;
    if (command == L"show") return ShowCommand(args);
    if (command == L"run") return RunCommand(args);
    bool option = !command.empty() && command[0] == L'-';
    Err().WriteLine(UsageProblem((option ? L"unknown option " : L"unknown command ") + Quoted(command)));
    return 2;
}
