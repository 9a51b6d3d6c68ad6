// A run as one self-contained HTML page for people: what was asked, the verdict, a table of
// targets and steps, a timeline of the builder runs, and each target's log with errors and
// warnings marked. No scripts and nothing from elsewhere, so it works opened from disk or kept as
// a CI artefact; written XHTML-compatible, so an XML parser reads it too.
#pragma once

#include "engine/RunRecord.h"

#include <string>

namespace kw {

// The whole page as UTF-8 bytes.
std::string HtmlReport(const RunRecord& record);

}  // namespace kw
