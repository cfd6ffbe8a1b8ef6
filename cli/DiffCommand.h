#pragma once

#include "cli/CommandLine.h"
#include "cli/JsonLinesWriter.h"

#include <cstddef>

class Workspace;

// Compares the two versions and writes one row per change of the kinds asked for, by path, then
// the counts. Returns how many changes it wrote.
size_t WriteChanges(const Workspace& oldModel, const Workspace& newModel, const Invocation& invocation,
                    JsonLinesWriter& out);
