#include "resources/EmbeddedFonts.h"

// The font files are pulled in by the assembler, which is far quicker to build than byte arrays.
#define TESSARO_EMBED(symbol, file)                                                                          \
    asm(".section .rodata\n"                                                                                 \
        ".balign 16\n"                                                                                       \
        ".global " #symbol "Begin\n" #symbol "Begin:\n"                                                      \
        ".incbin \"" TESSARO_FONT_DIR "/" file "\"\n"                                                        \
        ".global " #symbol "End\n" #symbol "End:\n"                                                          \
        ".byte 0\n"                                                                                          \
        ".previous\n")

TESSARO_EMBED(tessaroRobotoMono, "roboto-mono-latin-400-normal.woff");
TESSARO_EMBED(tessaroFontAwesomeSolid, "fa-solid-900.ttf");

extern "C" const unsigned char tessaroRobotoMonoBegin[], tessaroRobotoMonoEnd[];
extern "C" const unsigned char tessaroFontAwesomeSolidBegin[], tessaroFontAwesomeSolidEnd[];

EmbeddedFile RobotoMonoFont()
{
    return {tessaroRobotoMonoBegin, size_t(tessaroRobotoMonoEnd - tessaroRobotoMonoBegin)};
}

EmbeddedFile FontAwesomeSolidFont()
{
    return {tessaroFontAwesomeSolidBegin, size_t(tessaroFontAwesomeSolidEnd - tessaroFontAwesomeSolidBegin)};
}
