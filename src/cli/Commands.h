// The commands of kilnworks-cli. Each takes the arguments after its name and returns the exit
// code: 0 done, 1 the package or environment failed, 2 usage error or refused.
#pragma once

#include <string>
#include <vector>

namespace kw::cli {

using Arguments = std::vector<std::wstring>;

int ShowCommand(const Arguments& args);
int RunCommand(const Arguments& args);

void PrintUsage();

}  // namespace kw::cli
