// The progress shown on the window's taskbar button during a run. Windows before 7, and Wine, may
// have no taskbar list to show it on: then nothing is shown, and the state is still kept, so what
// the button would show can be read back.
#pragma once

#include <windows.h>

struct ITaskbarList3;

namespace kw {

class TaskbarProgress {
public:
    enum class State { None, Normal, Error };

    TaskbarProgress() = default;
    ~TaskbarProgress();
    TaskbarProgress(const TaskbarProgress&) = delete;
    TaskbarProgress& operator=(const TaskbarProgress&) = delete;

    // done of total, red once failed.
    void Show(HWND window, int done, int total, bool failed);
    // No progress on the button any more.
    void Clear(HWND window);

    State Shown() const { return state_; }
    int Done() const { return done_; }
    int Total() const { return total_; }

private:
    ITaskbarList3* Taskbar();

    ITaskbarList3* taskbar_ = nullptr;
    bool looked_ = false;  // the taskbar list was asked for once already
    State state_ = State::None;
    int done_ = 0;
    int total_ = 0;
};

}  // namespace kw
