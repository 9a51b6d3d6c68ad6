// The version-stamping step of a run: rewrites the version numbers in every target's resource
// script or Visual Basic project file.
#pragma once

#include "engine/RunContext.h"
#include "engine/RunJob.h"
#include "engine/RunOutcome.h"

namespace kw {

// For each of the job's targets posts "Versionating <file> ..." (or the numbers being set), stamps
// the file with the job's action and numbers, then posts the rules' " -> " lines, or one line
// saying why the file was not stamped, and notes the target's outcome; the numbers the last
// stamped file holds go into the outcome. Always 0: a target's failure never stops the step.
int StampVersions(const RunJob& job, const RunContext& run, RunOutcome& outcome);

}  // namespace kw
