// A run as a JUnit XML file, the form CI servers read: one test suite for the package, one test
// case per target and step the run planned.
#pragma once

#include "engine/RunRecord.h"

#include <string>

namespace kw {

// The whole file as UTF-8 bytes.
std::string JunitXml(const RunRecord& record);

}  // namespace kw
