#pragma once

#include <string>

// What a command line asks to be told on the terminal instead of opening a window.
enum class TerminalRequest
{
    None,
    Help,
    Version,
};

// Only a command line that is exactly one of the options asks for it; anything else stays a path to
// open, so a file named "--help" is reached as ./--help.
TerminalRequest TerminalRequestFromArguments(int argc, const char* const* argv);

// The usage text, or the program's name and version ("Tessaro 2.7") and a newline.
std::string TerminalAnswer(TerminalRequest request);
