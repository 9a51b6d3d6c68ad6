#include "engine/LogReceiver.h"

#include "engine/LogLines.h"

#include <utility>

namespace kw {

LogReceiver::LogReceiver(LineSink sink) : sink_(std::move(sink)) {}

LogReceiver::~LogReceiver() { Discard(); }

void LogReceiver::Receive(WPARAM wParam) {
    auto* logText = reinterpret_cast<LogText*>(wParam);
    if (!logText) return;
    for (const std::wstring& line : LogTextLines(logText)) {
        if (sink_) sink_(logText->listBox, line);
    }
    FreeLogText(logText);
}

void LogReceiver::Flush() {
    if (tail_.empty()) return;
    std::string tail = std::move(tail_);
    tail_.clear();
    LogText record{tailListBox_, 0, tail.data()};
    for (const std::wstring& line : LogTextLines(&record)) {
        if (sink_) sink_(tailListBox_, line);
    }
}

void LogReceiver::Discard() {
    if (!window_) return;
    MSG message;
    while (PeekMessageW(&message, window_, WM_LOG_TEXT, WM_LOG_TEXT, PM_REMOVE)) {
        FreeLogText(reinterpret_cast<LogText*>(message.wParam));
    }
}

}  // namespace kw
