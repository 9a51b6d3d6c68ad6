// Splitting event-log text into lines. Shared by every receiver of WM_LOG_TEXT, so the main
// window and the console front end show a builder's log the same way.
#pragma once

#include "engine/LogText.h"

#include <string>
#include <vector>

namespace kw {

// Cuts the next line off buffer. Only the pair CR LF separates lines; empty lines are skipped, a
// lone CR or LF stays inside its line, and text after the last pair is a line of its own.
// Returns false (line untouched) when the buffer holds nothing more to show.
bool TakeNextLine(std::wstring& buffer, std::wstring& line);

// The lines one LogText shows: a wide text is one line as it is; a narrow piece is converted from
// the ANSI code page as a whole and split with TakeNextLine. A null record or text shows nothing.
std::vector<std::wstring> LogTextLines(const LogText* logText);

}  // namespace kw
