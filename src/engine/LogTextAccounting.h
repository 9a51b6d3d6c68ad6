// The receiving side of the LogText throttle. Only LogReceiver includes this: it takes every
// record posted to its window exactly once, and the count of records in flight follows it.
#pragma once

#include "engine/LogText.h"

namespace kw::detail {

// Counts one record posted to window as taken, and frees it.
void TakeLogText(HWND window, LogText* logText);
// The window's receiver is gone: nothing more is waiting for it.
void ForgetLogWindow(HWND window);

}  // namespace kw::detail
