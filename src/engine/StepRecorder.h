// What every step of a run notes about itself for the run's records: when it began and ended,
// and the target's own lines of it. A step posts through Run(), a copy of the run's context that
// keeps a copy of every line it posts, then hands its verdict to Finish.
#pragma once

#include "engine/RunContext.h"
#include "engine/RunOutcome.h"
#include "engine/StepLog.h"

namespace kw {

class StepRecorder {
public:
    // Starts the step's clock.
    StepRecorder(const RunContext& run, StepKind kind);
    StepRecorder(const StepRecorder&) = delete;
    StepRecorder& operator=(const StepRecorder&) = delete;

    const RunContext& Run() const { return run_; }

    // The step's verdict with its kind, times and lines; ends the clock.
    StepOutcome Finish(StepOutcome step);

private:
    StepLog log_;
    RunContext run_;
    StepKind kind_;
    RunTime started_;
};

}  // namespace kw
