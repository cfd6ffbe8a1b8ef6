#include "cli/CommandLine.h"

#include <algorithm>
#include <cmath>
#include <optional>

const char* const kUsageText =
    R"(Usage: tessaro-query [--timeout SECONDS] FILE... COMMAND [ARGS]
       tessaro-query [--timeout SECONDS] OLD diff NEW [--kinds LIST] [--under PATH] [--ignore-ids]
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
  diff NEW [--kinds LIST] [--under PATH] [--ignore-ids]
                        what changed from FILE (the old version) to NEW, each a file, folder
                        or archive: one {"change","path","file","line"} per change, by path,
                        then {"added","removed","moved","changed"} with the counts. "change":
                        added or removed (an element and all below it), moved ("from": the
                        old path; the same UUID at another path), changed (one row per value,
                        "at" its place below the element, "old" and "new" its texts, null
                        where missing). Named elements are the same when their paths are;
                        the order of named siblings is no change; values without a name are
                        matched by tag and DEFINITION-REF, else by place. "file" and "line"
                        are in the new version, in the old one for what is gone there.
                        --kinds added,removed,moved,changed shows only those kinds,
                        --under PATH only what lies at or below PATH, --ignore-ids leaves
                        out the UUID and timestamp (T) attributes

No result: find-ref, find-shortname and refs-to print the single line {"error":MESSAGE}
on standard output and exit with 0, for example {"error":"Invalid Reference"}.

"line" is the 1-based line of the node in the file (in the archive member for a .zip); it is
left out when it cannot be told, as in a UTF-16, UTF-32 or Latin-1 document.
"tag" and "node" are tag names; a text node is "PC_DATA", a CDATA section "CDATA".
Texts that are not valid UTF-8 are printed with U+FFFD in place of the bad bytes.

Options:
  --timeout SECONDS     give up when loading and answering take longer (default 600)

Exit status:
  0  answered, also when the answer is empty or says that nothing was found;
     diff: the versions are the same
  1  the file could not be loaded ("Could not load the file FILE: REASON" on standard error);
     diff: the versions differ
  2  bad usage: unknown command, missing or extra argument; diff: a version could not be loaded
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
    {"diff", Command::Diff, "NEW"},
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
// A comma-separated list of kind names, as bits; nothing when a name is unknown.
std::optional<unsigned> Kinds(const std::string& list)
{
    unsigned kinds = 0;
    for (size_t start = 0; start <= list.size();) {
        size_t end = std::min(list.find(',', start), list.size());
        const std::string name = list.substr(start, end - start);
        bool known = false;
        for (ChangeKind kind :
             {ChangeKind::Added, ChangeKind::Removed, ChangeKind::Moved, ChangeKind::Changed}) {
            if (name == ChangeKindName(kind)) {
                kinds |= 1u << unsigned(kind);
                known = true;
            }
        }
        if (!known)
            return std::nullopt;
        start = end + 1;
    }
    return kinds;
}

// The options of diff after NEW; false with a usage error when one is unknown or lacks its value.
bool ParseDiffOption(const std::vector<std::string>& args, size_t& i, Invocation& invocation,
                     std::string& error)
{
    const std::string& option = args[i];
    if (option == "--ignore-ids") {
        invocation.compare.ignoreIds = true;
        return true;
    }
    if (option != "--kinds" && option != "--under")
        return false;
    if (i + 1 == args.size()) {
        error = option + " needs a value";
        return false;
    }
    const std::string& value = args[++i];
    if (option == "--under") {
        invocation.compare.under = value;
        return true;
    }
    std::optional<unsigned> kinds = Kinds(value);
    if (!kinds)
        error = "--kinds takes added, removed, moved and changed, separated by commas";
    invocation.kinds = kinds.value_or(0);
    return kinds.has_value();
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
    if (info->command == Command::Diff && at != 1)
        return UsageError("diff compares one OLD with one NEW");

    Invocation& invocation = parsed.invocation;
    invocation.file = args[0];
    invocation.files.assign(args.begin(), args.begin() + long(at));
    invocation.command = info->command;

    std::optional<std::string> argument;
    for (size_t i = at + 1; i < args.size(); ++i) {
        std::string optionError;
        if (info->command == Command::Search && args[i] == "--match-case" && !invocation.matchCase)
            invocation.matchCase = true;
        else if (info->command == Command::Diff && ParseDiffOption(args, i, invocation, optionError))
            continue;
        else if (!optionError.empty())
            return UsageError(optionError);
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
