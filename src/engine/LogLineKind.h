// Which builder log lines are errors and which are warnings, so a log can be shown with them
// marked. Plain words only; nothing here knows where the line came from.
#pragma once

#include <string>
#include <string_view>

namespace kw {

enum class LogLineKind { Plain, Warning, Error };

// Errors: "error C2065:", "fatal error C1083:", "error LNK2001:" and other "error <CODE>:" forms,
// "Compile Error in File ...", "Error executing cl.exe.", "Error: ...", "... failed.", a
// "N error(s), M warning(s)" line with N > 0.
// Warnings: "warning C4101:", "warning LNK4098:" and the like, "Warning: ...", a count line with
// only warnings.
// The run's own lines count too: a builder that could not start, crashed, timed out or ended with
// an exit code, a file not stamped and a run that failed are errors; a stopped run and a project
// left out are warnings; its "Summary: ..." line is an error when a target failed, a warning when
// one was not run.
LogLineKind ClassifyLogLine(std::wstring_view line);

// The counts of the run's closing line "Summary: 3 targets, 2 succeeded, 1 failed, 0 not run.";
// false for any other line.
bool ReadRunSummary(std::wstring_view line, long& failed, long& notRun);

// The file and line a diagnostic points at: "C:\Src\Calc.cpp(12) : error C2065: ..." (also fatal
// errors and warnings) and "Compile Error in File 'C:\Src\Main.frm', Line 12 : ...". False when
// the line names no place.
bool FindSourceLocation(std::wstring_view line, std::wstring& path, long& lineNumber);

}  // namespace kw
