// Which builder log lines are errors and which are warnings, so a log can be shown with them
// marked. Plain words only; nothing here knows where the line came from.
#pragma once

#include <string_view>

namespace kw {

enum class LogLineKind { Plain, Warning, Error };

// Errors: "error C2065:", "fatal error C1083:", "error LNK2001:" and other "error <CODE>:" forms,
// "Compile Error in File ...", "Error executing cl.exe.", "Error: ...", "... failed.", a
// "N error(s), M warning(s)" line with N > 0.
// Warnings: "warning C4101:", "warning LNK4098:" and the like, "Warning: ...", a count line with
// only warnings.
LogLineKind ClassifyLogLine(std::wstring_view line);

}  // namespace kw
