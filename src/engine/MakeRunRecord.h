// A finished run told as a RunRecord for the record writers: the job's facts (package, actions,
// targets) and what the run came to, with each step's own lines. Every step the run planned has
// its place, also those a stop or a failure of the run never reached.
#pragma once

#include "engine/RunJob.h"
#include "engine/RunOutcome.h"
#include "engine/RunRecord.h"

namespace kw {

RunRecord MakeRunRecord(const RunJob& job, const RunOutcome& outcome);

}  // namespace kw
