#include "engine/LogReceiver.h"

#include "engine/LogTextAccounting.h"

#include <cstring>
#include <utility>
#include <vector>

namespace kw {

LogReceiver::LogReceiver(LineSink sink) : sink_(std::move(sink)) {}

LogReceiver::~LogReceiver() {
    Discard();
    if (window_) detail::ForgetLogWindow(window_);
}

void LogReceiver::Show(HWND listBox, const std::vector<std::wstring>& lines) {
    if (!sink_) return;
    for (const std::wstring& line : lines) sink_(listBox, line);
}

void LogReceiver::Receive(WPARAM wParam) {
    auto* logText = reinterpret_cast<LogText*>(wParam);
    if (!logText) return;
    if (logText->isWide) {
        // A line of the system's own: whatever the builder left unfinished comes first.
        Flush();
        const auto* text = static_cast<const wchar_t*>(logText->text);
        Show(logText->listBox, {std::wstring(text ? text : L"")});
    } else {
        const auto* bytes = static_cast<const char*>(logText->text);
        const size_t size = bytes ? std::strlen(bytes) : 0;
        if (size == 0) {
            Flush();  // the builder has ended
        } else {
            if (joiner_.Pending() && logText->listBox != tailListBox_) Flush();
            tailListBox_ = logText->listBox;
            Show(logText->listBox, joiner_.Feed(std::string_view(bytes, size)));
        }
    }
    detail::TakeLogText(logText);
}

void LogReceiver::Hold(WPARAM wParam) {
    if (auto* logText = reinterpret_cast<LogText*>(wParam)) held_.push_back(logText);
}

void LogReceiver::HoldQueued() {
    if (!window_) return;
    MSG message;
    while (PeekMessageW(&message, window_, WM_LOG_TEXT, WM_LOG_TEXT, PM_REMOVE)) Hold(message.wParam);
}

bool LogReceiver::ReceiveHeld() {
    if (held_.empty()) return false;
    LogText* logText = held_.front();
    held_.pop_front();
    Receive(reinterpret_cast<WPARAM>(logText));
    return true;
}

void LogReceiver::Flush() { Show(tailListBox_, joiner_.Flush()); }

void LogReceiver::Discard() {
    joiner_.Flush();
    for (LogText* logText : held_) detail::TakeLogText(logText);
    held_.clear();
    if (!window_) return;
    // A destroyed window's messages can't be picked out by its handle, so the queue is walked and
    // what belongs to others goes back.
    std::vector<MSG> others;
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_LOG_TEXT, WM_LOG_TEXT, PM_REMOVE)) {
        if (message.hwnd == window_) {
            detail::TakeLogText(reinterpret_cast<LogText*>(message.wParam));
        } else {
            others.push_back(message);
        }
    }
    for (const MSG& other : others) PostMessageW(other.hwnd, other.message, other.wParam, other.lParam);
}

}  // namespace kw
