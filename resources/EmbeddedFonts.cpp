#include "resources/EmbeddedFonts.h"

// Read-only data section, and the way back to the one before, in ELF (Linux) and PE (Windows).
#if defined(_WIN32)
#define TESSARO_READ_ONLY ".section .rdata,\"dr\"\n"
#define TESSARO_PREVIOUS ".text\n"
#else
#define TESSARO_READ_ONLY ".section .rodata\n"
#define TESSARO_PREVIOUS ".previous\n"
#endif

// The font files are pulled in by the assembler, which is far quicker to build than byte arrays.
#define TESSARO_EMBED(symbol, file)                                                                          \
    asm(TESSARO_READ_ONLY ".balign 16\n"                                                                     \
                          ".global " #symbol "Begin\n" #symbol "Begin:\n"                                    \
                          ".incbin \"" TESSARO_FONT_DIR "/" file "\"\n"                                      \
                          ".global " #symbol "End\n" #symbol "End:\n"                                        \
                          ".byte 0\n" TESSARO_PREVIOUS)

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
