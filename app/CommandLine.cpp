#include "app/CommandLine.h"
#include "Version.h"

#include <cstring>

namespace {

const char* const kUsage =
    R"(Usage: tessaro [FILE]
       tessaro OLD --compare NEW
       tessaro --help | --version

Opens FILE (an ARXML/XML file, or a .zip archive whose first member with ".arxml" in its
name is read) in the Tessaro window; without FILE the window opens empty. The arguments are
joined with blanks into one path and surrounding double quotes are dropped, so a path with
blanks needs no quoting. A file named like an option is opened as ./--help.

With --compare, OLD (a file or folder) is opened and compared with NEW: the tree marks
what changed, the Changes window lists it, and F8 and Shift+F8 step through it.

Options:
  --help, -h   print this text and exit
  --version    print the version and exit

Settings: ~/.Tessaro/conf.json. See also tessaro-query(1).
)";

} // namespace

TerminalRequest TerminalRequestFromArguments(int argc, const char* const* argv)
{
    if (argc != 2)
        return TerminalRequest::None;
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)
        return TerminalRequest::Help;
    if (std::strcmp(argv[1], "--version") == 0)
        return TerminalRequest::Version;
    return TerminalRequest::None;
}

std::string TerminalAnswer(TerminalRequest request)
{
    switch (request) {
        case TerminalRequest::Help:
            return kUsage;
        case TerminalRequest::Version:
            return std::string(kTessaroNameAndVersion) + "\n";
        case TerminalRequest::None:
            break;
    }
    return {};
}
