// The receiving side of the LogText throttle. Only LogReceiver includes this: it takes every
// record posted to its window exactly once, and the count of records in flight follows it.
#pragma once

#include "engine/LogText.h"

namespace kw::detail {

// Counts one record as taken from the window it was posted to, and frees it.
void TakeLogText(LogText* logText);
// The window's receiver is gone: nothing more is waiting for it.
void ForgetLogWindow(HWND window);

}  // namespace kw::detail
