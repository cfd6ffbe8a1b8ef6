// Writes the window icon as a PNG file for the desktop's icon theme:
//   tessaro-icon-png SIZE FILE
#include "app/Icon.h"

#include <stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    const int size = argc == 3 ? std::atoi(argv[1]) : 0;
    if (size < 1 || size > 1024) {
        std::fprintf(stderr, "usage: tessaro-icon-png SIZE FILE (SIZE from 1 to 1024)\n");
        return 2;
    }
    const std::vector<unsigned char> pixels = MakeIconPixels(size);
    if (!stbi_write_png(argv[2], size, size, 4, pixels.data(), size * 4)) {
        std::fprintf(stderr, "tessaro-icon-png: could not write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
