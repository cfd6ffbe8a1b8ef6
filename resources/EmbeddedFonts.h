#pragma once

#include <cstddef>

// A file compiled into the executable.
struct EmbeddedFile
{
    const unsigned char* data;
    size_t size;
};

// Roboto Mono Regular (WOFF, Latin).
EmbeddedFile RobotoMonoFont();

// Font Awesome 6 Free Solid 6.2.1 (TrueType).
EmbeddedFile FontAwesomeSolidFont();
