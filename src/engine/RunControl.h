// The state of the run in progress that its threads share: the stop signal and the outcome.
#pragma once

#include "engine/RunOutcome.h"

#include <windows.h>

namespace kw {

// A manual-reset event, set when the run in progress is to stop; process-wide.
HANDLE RunStopEvent();
bool RunStopRequested();

// The outcome of the run in progress (written by the worker), or of the last one.
RunOutcome& TheRunOutcome();

}  // namespace kw
