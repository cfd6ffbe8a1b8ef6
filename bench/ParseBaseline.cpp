// tessaro-parse-baseline FILE: the huge-page parse alone, as a whole process, to time against
// `tessaro-query FILE stats`. Prints {"parse_s":...}; exits 1 when the file does not parse.
#include "bench/HugePageParse.h"

#include <cmath>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: tessaro-parse-baseline FILE\n");
        return 2;
    }
    const double seconds = HugePageParseSeconds(argv[1]);
    if (std::isnan(seconds)) {
        std::fprintf(stderr, "tessaro-parse-baseline: %s does not parse\n", argv[1]);
        return 1;
    }
    std::printf("{\"parse_s\":%.4f}\n", seconds);
    return 0;
}
