#pragma once

#include "cli/CommandLine.h"
#include "cli/Deadline.h"
#include "cli/JsonLinesWriter.h"

class ReadyState;

// Answers the invocation's command on a loaded document. Every answer, "nothing found" included,
// is written to `out`. False when the answer did not settle before the deadline; nothing is
// written then.
bool RunCommand(ReadyState& state, const Invocation& invocation, const Deadline& deadline,
                JsonLinesWriter& out);
