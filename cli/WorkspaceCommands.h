#pragma once

#include "cli/CommandLine.h"
#include "cli/Deadline.h"
#include "cli/JsonLinesWriter.h"

class Workspace;

// Answers the invocation's command across every file of the workspace; each row names its file.
// False when the answer did not settle before the deadline.
bool RunWorkspaceCommand(const Workspace& workspace, const Invocation& invocation, const Deadline& deadline,
                         JsonLinesWriter& out);
