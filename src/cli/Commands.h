// The commands of kilnworks-cli. Each takes the arguments after its name and returns the exit
// code: 0 done, 1 the package or environment failed, 2 usage error or refused.
#pragma once

#include "cli/CommandLine.h"

#include <string>

namespace kw {
class PackageDocument;
}

namespace kw::cli {

int ShowCommand(const Arguments& args);
int RunCommand(const Arguments& args);

// The usage: on standard output when asked for, on standard error after a mistake.
void PrintUsage(bool asked);

// False, after one line on standard error naming the file and why it can't be opened.
bool OpenPackageOrSayWhy(PackageDocument& document, const std::wstring& path);

}  // namespace kw::cli
