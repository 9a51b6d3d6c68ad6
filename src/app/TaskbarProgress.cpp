#include "app/TaskbarProgress.h"

#include <objbase.h>
#include <shobjidl.h>

namespace kw {

TaskbarProgress::~TaskbarProgress() {
    if (taskbar_) taskbar_->Release();
}

ITaskbarList3* TaskbarProgress::Taskbar() {
    if (looked_) return taskbar_;
    looked_ = true;
    void* list = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3, &list)) || !list) {
        return nullptr;
    }
    taskbar_ = static_cast<ITaskbarList3*>(list);
    if (FAILED(taskbar_->HrInit())) {
        taskbar_->Release();
        taskbar_ = nullptr;
    }
    return taskbar_;
}

void TaskbarProgress::Show(HWND window, int done, int total, bool failed) {
    if (total < 1) total = 1;
    if (done < 0) done = 0;
    if (done > total) done = total;
    const State state = failed ? State::Error : State::Normal;
    const bool stateChanged = state != state_;
    state_ = state;
    done_ = done;
    total_ = total;
    ITaskbarList3* taskbar = Taskbar();
    if (!taskbar) return;
    if (stateChanged) taskbar->SetProgressState(window, failed ? TBPF_ERROR : TBPF_NORMAL);
    taskbar->SetProgressValue(window, static_cast<ULONGLONG>(done), static_cast<ULONGLONG>(total));
}

void TaskbarProgress::Clear(HWND window) {
    if (state_ == State::None) return;
    state_ = State::None;
    done_ = total_ = 0;
    if (ITaskbarList3* taskbar = Taskbar()) taskbar->SetProgressState(window, TBPF_NOPROGRESS);
}

}  // namespace kw
