// kilnworks-cli run: placeholder until the build engine exists.
#include "cli/Commands.h"
#include "cli/Console.h"

namespace kw::cli {

int RunCommand(const Arguments&) {
    Err().WriteLine(L"run: the build engine is not part of this build yet");
    return 2;
}

}  // namespace kw::cli
