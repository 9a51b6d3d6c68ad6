#include "engine/LogText.h"

#include "engine/LogTextAccounting.h"
#include "win/Text.h"

#include <objbase.h>

#include <cstring>
#include <mutex>
#include <unordered_map>

namespace kw {

namespace {

// A builder writes its log far faster than a window shows it. Windows stops a queue at 10,000
// messages, but not every system has such a quota, and without a bound of our own a flooded log
// would pile up in memory at the receiver's door. The count is kept per receiving window and is
// only lowered by the LogReceiver attached to it, so no other code can unbalance it, and a
// receiver that goes forgets its window's count with it.
std::mutex gCountsLock;
std::unordered_map<HWND, long> gInFlight;

// A full message queue is temporary; a destroyed window is not. Retry the former for up to half a
// minute, so a window that is busy for a while loses no text, while one that never drains its
// queue again can't stall the run for ever.
constexpr int kPostRetries = 3000;
constexpr DWORD kPostRetryDelayMs = 10;

bool PostWithRetry(HWND window, UINT message, WPARAM wParam) {
    // PostMessage to no window posts to the calling thread, which never reads its queue.
    if (!window) return false;
    for (int attempt = 0; attempt < kPostRetries; ++attempt) {
        if (PostMessageW(window, message, wParam, 0)) return true;
        DWORD error = GetLastError();
        if (error != ERROR_NOT_ENOUGH_QUOTA || !IsWindow(window)) break;
        Sleep(kPostRetryDelayMs);
    }
    return false;
}

void Count(HWND window, long delta) {
    std::lock_guard<std::mutex> lock(gCountsLock);
    auto it = gInFlight.find(window);
    if (it == gInFlight.end()) {
        if (delta > 0) gInFlight.emplace(window, delta);
        return;
    }
    it->second += delta;
    if (it->second <= 0) gInFlight.erase(it);
}

// Behind each record, unseen by receivers, the window it was posted to: the count it belongs to.
struct Record {
    LogText logText;
    HWND window;
};

void FreeRecord(LogText* logText) {
    if (!logText) return;
    CoTaskMemFree(logText->text);
    CoTaskMemFree(logText);
}

}  // namespace

namespace detail {

void TakeLogText(LogText* logText) {
    if (!logText) return;
    Count(reinterpret_cast<Record*>(logText)->window, -1);
    FreeRecord(logText);
}

void ForgetLogWindow(HWND window) {
    std::lock_guard<std::mutex> lock(gCountsLock);
    gInFlight.erase(window);
}

}  // namespace detail

long LogTextInFlight(HWND window) {
    std::lock_guard<std::mutex> lock(gCountsLock);
    auto it = gInFlight.find(window);
    return it == gInFlight.end() ? 0 : it->second;
}

bool PostLogText(const void* text, std::uint32_t byteLength, bool isWide, HWND window, HWND listBox) {
    if (!window) return false;
    // Wait for the receiver to catch up, for as long as a full queue is waited for.
    for (int attempt = 0; LogTextInFlight(window) >= kMaxLogTextInFlight; ++attempt) {
        if (attempt >= kPostRetries || !IsWindow(window)) return false;
        Sleep(kPostRetryDelayMs);
    }
    auto* record = static_cast<Record*>(CoTaskMemAlloc(sizeof(Record)));
    if (!record) return false;
    record->window = window;
    LogText* logText = &record->logText;
    const size_t terminator = isWide ? 2 : 1;
    auto* copy = static_cast<char*>(CoTaskMemAlloc(static_cast<size_t>(byteLength) + terminator));
    if (!copy) {
        CoTaskMemFree(logText);
        return false;
    }
    if (byteLength) std::memcpy(copy, text, byteLength);
    std::memset(copy + byteLength, 0, terminator);
    logText->listBox = listBox;
    logText->isWide = isWide ? 1 : 0;
    logText->text = copy;

    Count(window, 1);
    if (PostWithRetry(window, WM_LOG_TEXT, reinterpret_cast<WPARAM>(logText))) return true;
    Count(window, -1);
    FreeRecord(logText);
    return false;
}

bool PostRunFinished(HWND window) { return PostWithRetry(window, WM_RUN_FINISHED, 0); }

bool PostLogLine(std::wstring_view line, HWND window, HWND listBox) {
    // Names, paths and configurations come from the package: none may break or reorder the line.
    const std::wstring shown = EscapeForDisplay(line);
    return PostLogText(shown.data(), static_cast<std::uint32_t>(shown.size() * sizeof(wchar_t)), true, window,
                       listBox);
}

bool PostLogEnd(HWND window, HWND listBox) { return PostLogText("", 0, false, window, listBox); }

}  // namespace kw
