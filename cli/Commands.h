#pragma once

#include "cli/CommandLine.h"
#include "cli/JsonLinesWriter.h"

class ReadyState;

// Answers the invocation's command on a loaded document. Every answer, "nothing found" included,
// is written to `out`.
void RunCommand(ReadyState& state, const Invocation& invocation, JsonLinesWriter& out);
