// The builder steps of a run. Each walks the job's targets in run order and runs one builder per
// matching target: one at a time, or up to the job's parallelBuilds at once, a target starting
// as soon as every target it depends on has built successfully in the same step. Building one
// target is a function of its own that touches nothing shared, so several threads may run
// builders at once.
#pragma once

#include "engine/RunContext.h"
#include "engine/RunJob.h"
#include "engine/RunOutcome.h"

namespace kw {

// One run of the Visual C++ IDE for a VC6 target. mode: ActionDebug, ActionRelease or ActionClean.
// The log file is named after the calling thread.
StepOutcome BuildVisualCppTarget(const RunJob& job, const RunTarget& target, const RunContext& run, ActionSet mode);
// One run of the Visual Basic compiler, after posting "Building <name> ...".
StepOutcome BuildVisualBasicTarget(const RunJob& job, const RunTarget& target, const RunContext& run);

// Runs the IDE for every VC6 target. Posts nothing of its own but the lines of targets it leaves
// out for a dependency that failed or was not run. Always 0.
int BuildVisualCppProjects(const RunJob& job, const RunContext& run, RunOutcome& outcome, ActionSet mode);

// Runs the Visual Basic compiler for every VB6 target. Stops at the first target (of any kind)
// without a name or source folder: -1; the targets before it are built. Otherwise 0.
int BuildVisualBasicProjects(const RunJob& job, const RunContext& run, RunOutcome& outcome);

}  // namespace kw
