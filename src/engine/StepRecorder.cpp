#include "engine/StepRecorder.h"

namespace kw {

StepRecorder::StepRecorder(const RunContext& run, StepKind kind) : run_(run), kind_(kind), started_(RunTimeNow()) {
    run_.stepLog = &log_;
}

StepOutcome StepRecorder::Finish(StepOutcome step) {
    step.kind = kind_;
    step.started = started_;
    step.ended = RunTimeNow();
    // A builder that never got to end its log (stopped, not started) may leave half a line.
    log_.EndPieces();
    step.log = std::move(log_);
    return step;
}

}  // namespace kw
