// How far a run has got: the worker posts WM_RUN_PROGRESS when a target's step begins and ends,
// and a front end that cares follows it with a RunProgress made from the job before it went to
// the worker. The message carries only numbers, so a receiver that ignores it frees nothing.
#pragma once

#include "engine/RunContext.h"
#include "engine/RunJob.h"
#include "engine/RunOutcome.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

namespace kw {

// wParam: the target's ProjectID; lParam: the step (low byte) and what happened (next byte).
inline constexpr UINT WM_RUN_PROGRESS = WM_USER + 9;

// The steps as the message names them: the Visual C++ steps by their action, stamping by
// ActionSetVersion (whether setting or incrementing), and the one Visual Basic build by both
// configurations, which it stands for.
inline constexpr ActionSet kStampStep = ActionSetVersion;
inline constexpr ActionSet kBasicStep = ActionDebug | ActionRelease;

enum class ProgressEvent : std::uint8_t { Started, Succeeded, Failed };

// Posts and forgets: a lost notice costs only the caption's accuracy.
void PostProgress(const RunContext& run, int projectId, ActionSet step, ProgressEvent event = ProgressEvent::Started);
// The end of a step: failed when it failed or its builder could not start.
void PostProgress(const RunContext& run, int projectId, ActionSet step, const StepOutcome& outcome);

class RunProgress {
public:
    RunProgress() = default;
    // Counts the builder runs the job plans; a run that only stamps counts its stamps instead.
    explicit RunProgress(const RunJob& job);

    void Note(WPARAM wParam, LPARAM lParam);

    int Planned() const { return planned_; }
    int Started() const { return started_; }
    int Ended() const { return ended_; }
    bool AnyFailed() const { return failed_; }
    // "3 of 12 - Calc (Win32 Debug)" for the step begun last; without the count for a step that
    // isn't counted ("Calc (version)"); empty before the first.
    const std::wstring& Text() const { return text_; }

private:
    struct Names {
        std::wstring name, debug, release;
    };
    bool Counted(ActionSet step) const { return (step == kStampStep) == countsStamps_; }

    std::map<int, Names> targets_;
    bool countsStamps_ = false;
    int planned_ = 0;
    int started_ = 0;
    int ended_ = 0;
    bool failed_ = false;
    std::wstring text_;
};

}  // namespace kw
