#pragma once

#include "cli/CommandLine.h"
#include "cli/Deadline.h"
#include "cli/JsonLinesWriter.h"

class ReadyState;

// Answers the invocation's command on an opened file or folder, through the queries the viewer
// asks; each row names its file. Every answer, "nothing found" included, is written to `out`.
// False when the answer did not settle before the deadline; nothing is written then.
bool RunCommand(ReadyState& state, const Invocation& invocation, const Deadline& deadline,
                JsonLinesWriter& out);
