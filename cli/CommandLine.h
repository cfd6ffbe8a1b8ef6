#pragma once

#include "query/ModelCompare.h"

#include <string>
#include <vector>

enum class Command
{
    Stats,
    Paths,
    FindRef,
    FindShortName,
    RefsTo,
    Search,
    BrokenRefs,
    Diff,
};

// One run of tessaro-query, as the command line asked for it.
struct Invocation
{
    bool help = false;
    std::string file;               // the first FILE
    std::vector<std::string> files; // every FILE, in the order given
    Command command = Command::Stats;
    std::string argument; // PATH, NAME or TEXT of the commands that take one
    bool matchCase = false;
    double timeoutSeconds = 600; // how long loading and answering may take in all
    // diff: FILE is the old version, `argument` the new one.
    CompareOptions compare;
    unsigned kinds = ~0u; // diff: the kinds of change shown, one bit per ChangeKind
};

struct ParsedCommandLine
{
    Invocation invocation;
    std::string usageError; // one line; empty when the command line is sound
};

// `args` are the arguments after the program name. Checks the usage only; the file is not touched.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text printed by --help.
extern const char* const kUsageText;
