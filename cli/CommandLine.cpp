#include "cli/CommandLine.h"

#include <cmath>
#include <optional>

const char* const kUsageText =
    R"(Usage: tessaro-query [--timeout SECONDS] FILE... COMMAND [ARGS]
       tessaro-query --help

Loads FILE (an ARXML/XML file, or a .zip archive whose first member with ".arxml" in its
name is read) as the viewer does, indexes it, answers one COMMAND and prints the answer as
JSON Lines (one object per line) on standard output.

A folder as FILE, or several FILEs, are read as one workspace: every *.arxml file and .zip
archive below a folder, in sorted order, each parsed on its own worker. References resolve
across the files (the first file in order wins where a path occurs twice), relative
references (BASE="label" or the default base) are resolved, and every answer row carries a
"file" field. A file that fails is reported on standard error and the others answer; stats
gives one row per file, with "error" for a file that failed. A FILE named like a command is
given as ./NAME.

Commands:
  stats                 {"file","nodes","paths","short_names","reference_texts","referring_nodes"}
  paths                 one {"path","tag"} per element path, in byte order of the paths
  find-ref PATH         the element whose path is exactly PATH: {"path","tag","line"}
  find-shortname NAME   the first element whose SHORT-NAME is exactly NAME: {"path","tag","line"}
  refs-to PATH          one {"path","node","line"} per node whose text is exactly PATH,
                        in document order
  search TEXT [--match-case]
                        one {"path","node"} per hit (at most 100), then {"hits","capped"};
                        without --match-case only ASCII letters ignore case
  broken-refs           one {"ref","count","first_referrer"} per reference text that names
                        no element

No result: find-ref, find-shortname and refs-to print the single line {"error":MESSAGE}
on standard output and exit with 0, for example {"error":"Invalid Reference"}.

"line" is the 1-based line of the node in the file (in the archive member for a .zip); it is
left out when it cannot be told, as in a UTF-16, UTF-32 or Latin-1 document.
"tag" and "node" are tag names; a text node is "PC_DATA", a CDATA section "CDATA".
Texts that are not valid UTF-8 are printed with U+FFFD in place of the bad bytes.

Options:
  --timeout SECONDS     give up when loading and answering take longer (default 600)

Exit status:
  0  answered, also when the answer is empty or says that nothing was found
  1  the file could not be loaded ("Could not load the file FILE: REASON" on standard error)
  2  bad usage: unknown command, missing or extra argument
  3  the output could not be written
  4  no answer within the time limit (see --timeout)
)";

namespace {
struct CommandInfo
{
    const char* name;
    Command command;
    const char* argumentName; // null: the command takes no argument
};

constexpr CommandInfo kCommands[] = {
    {"stats", Command::Stats, nullptr},
    {"paths", Command::Paths, nullptr},
    {"find-ref", Command::FindRef, "PATH"},
    {"find-shortname", Command::FindShortName, "NAME"},
    {"refs-to", Command::RefsTo, "PATH"},
    {"search", Command::Search, "TEXT"},
    {"broken-refs", Command::BrokenRefs, nullptr},
};

const CommandInfo* FindCommand(const std::string& name)
{
    for (const CommandInfo& info : kCommands) {
        if (name == info.name)
            return &info;
    }
    return nullptr;
}

bool IsHelp(const std::string& arg)
{
    return arg == "--help" || arg == "-h";
}

ParsedCommandLine UsageError(std::string message)
{
    ParsedCommandLine parsed;
    parsed.usageError = std::move(message) + " (see tessaro-query --help)";
    return parsed;
}

// A number of seconds, zero or more.
std::optional<double> Seconds(const std::string& text)
{
    try {
        size_t used = 0;
        double seconds = std::stod(text, &used);
        if (used == text.size() && std::isfinite(seconds) && seconds >= 0)
            return seconds;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}
} // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& allArgs)
{
    ParsedCommandLine parsed;
    std::vector<std::string> args = allArgs;
    if (!args.empty() && args[0] == "--timeout") {
        std::optional<double> seconds = args.size() > 1 ? Seconds(args[1]) : std::nullopt;
        if (!seconds)
            return UsageError("--timeout needs a number of seconds");
        parsed.invocation.timeoutSeconds = *seconds;
        args.erase(args.begin(), args.begin() + 2);
    }
    if ((!args.empty() && IsHelp(args[0])) || (args.size() >= 2 && IsHelp(args[1]))) {
        parsed.invocation.help = true;
        return parsed;
    }
    if (args.empty())
        return UsageError("missing FILE and COMMAND");
    if (args.size() < 2)
        return UsageError("missing COMMAND");

    // The files run up to the first argument after them that names a command: a file called like
    // a command is given as ./stats.
    size_t at = 1;
    while (at < args.size() && !FindCommand(args[at]))
        ++at;
    if (at == args.size())
        return UsageError(args.size() == 2 ? "unknown command '" + args[1] + "'" : "missing COMMAND");
    const CommandInfo* info = FindCommand(args[at]);

    Invocation& invocation = parsed.invocation;
    invocation.file = args[0];
    invocation.files.assign(args.begin(), args.begin() + long(at));
    invocation.command = info->command;

    std::optional<std::string> argument;
    for (size_t i = at + 1; i < args.size(); ++i) {
        if (info->command == Command::Search && args[i] == "--match-case" && !invocation.matchCase)
            invocation.matchCase = true;
        else if (info->argumentName && !argument)
            argument = args[i];
        else
            return UsageError(std::string("unexpected argument '") + args[i] + "' for " + info->name);
    }
    if (info->argumentName && !argument)
        return UsageError(std::string(info->name) + " needs " + info->argumentName);
    invocation.argument = argument.value_or("");
    return parsed;
}
