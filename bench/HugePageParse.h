#pragma once

#include <string>

// The fastest honest parse of a file we know: stock pugixml parsing the file's bytes in place,
// every allocation (the file's buffer and the parser's pages) served from one mapping advised for
// huge pages, nothing freed piece by piece. Installs its allocator for the rest of the process, so
// it runs in a process of its own. Seconds from opening the file to the parsed document; NaN when
// the file cannot be read or does not parse.
double HugePageParseSeconds(const std::string& path);
