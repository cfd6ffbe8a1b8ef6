#pragma once

#include "cli/CommandLine.h"
#include "cli/Deadline.h"
#include "cli/JsonLinesWriter.h"

#include <cstddef>
#include <optional>

class Workspace;

// Compares the two versions and writes one row per change of the kinds asked for, by path, then
// the counts. Returns how many changes it wrote; nothing, and nothing written, when the deadline
// passed before the comparison was done.
std::optional<size_t> WriteChanges(const Workspace& oldModel, const Workspace& newModel,
                                   const Invocation& invocation, const Deadline& deadline,
                                   JsonLinesWriter& out);
