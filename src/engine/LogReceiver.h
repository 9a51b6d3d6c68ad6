// The one receiving end of WM_LOG_TEXT, used by the main window and the console front end alike:
// it turns each record into whole lines for its sink and frees every record exactly once, also
// those still queued for its window when it goes.
#pragma once

#include "engine/LogLines.h"
#include "engine/LogText.h"

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kw {

class LogReceiver {
public:
    // Called once per line to show, with the list box the record was meant for.
    using LineSink = std::function<void(HWND listBox, const std::wstring& line)>;

    explicit LogReceiver(LineSink sink);
    // Frees whatever is still queued for the attached window, unshown.
    ~LogReceiver();
    LogReceiver(const LogReceiver&) = delete;
    LogReceiver& operator=(const LogReceiver&) = delete;

    // The window whose queue carries this receiver's WM_LOG_TEXT (for Discard and for the count of
    // records in flight, which each record carries itself).
    void Attach(HWND window) { window_ = window; }
    HWND Window() const { return window_; }

    // Takes one WM_LOG_TEXT (its wParam): passes its lines to the sink and frees it. A narrow
    // piece's unfinished last line waits for the next piece; a wide line or an empty narrow piece
    // (the builder ended) shows it first. A null record is ignored.
    void Receive(WPARAM wParam);
    // Holds records to show later, in arrival order: this one (a WM_LOG_TEXT's wParam; null is
    // ignored), then every WM_LOG_TEXT queued for the window. A window that takes a flood of them
    // off its queue this way gets to the messages behind them (a close request, a click on Stop)
    // without first showing all their text.
    void Hold(WPARAM wParam);
    void HoldQueued();
    // The oldest record held, or null.
    const LogText* NextHeld() const { return held_.empty() ? nullptr : held_.front(); }
    // Shows the oldest record held as Receive does; false when none is held.
    bool ReceiveHeld();

    // Shows an unfinished line held back from a narrow piece (call on WM_RUN_FINISHED and before
    // the receiver's window goes).
    void Flush();
    // Removes and frees every record held and every WM_LOG_TEXT still queued for the window,
    // without showing it.
    void Discard();

private:
    void Show(HWND listBox, const std::vector<std::wstring>& lines);

    LineSink sink_;
    HWND window_ = nullptr;
    HWND tailListBox_ = nullptr;
    LogLineJoiner joiner_;  // the builder's log after its last CR LF so far
    std::deque<LogText*> held_;
};

}  // namespace kw
