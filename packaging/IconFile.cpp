// Writes the window icon for the desktop: a PNG file of one size for the Linux icon theme, or a
// Windows .ico file holding several sizes for the executable's icon resource.
//   tessaro-icon-file SIZE FILE.png
//   tessaro-icon-file SIZE[,SIZE...] FILE.ico
#include "app/Icon.h"

#include <stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void PutLittleEndian(Bytes& out, unsigned value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back((unsigned char)(value >> (8 * i)));
}

Bytes Png(int size)
{
    const Bytes pixels = MakeIconPixels(size);
    Bytes png;
    auto append = [](void* context, void* data, int length) {
        auto* bytes = static_cast<unsigned char*>(data);
        static_cast<Bytes*>(context)->insert(static_cast<Bytes*>(context)->end(), bytes, bytes + length);
    };
    if (!stbi_write_png_to_func(append, &png, size, size, 4, pixels.data(), size * 4))
        png.clear();
    return png;
}

// A 32-bit bitmap as icon entries hold it: the header counts the colour and mask rows together,
// rows run bottom-up in BGRA, and the all-clear mask leaves transparency to the alpha channel.
Bytes IconBitmap(int size)
{
    const Bytes pixels = MakeIconPixels(size);
    const unsigned maskRow = ((size + 31) / 32) * 4;
    Bytes out;
    PutLittleEndian(out, 40, 4);
    PutLittleEndian(out, size, 4);
    PutLittleEndian(out, 2 * size, 4);
    PutLittleEndian(out, 1, 2);
    PutLittleEndian(out, 32, 2);
    PutLittleEndian(out, 0, 4); // uncompressed
    PutLittleEndian(out, size * size * 4 + maskRow * size, 4);
    for (int i = 0; i < 4; ++i)
        PutLittleEndian(out, 0, 4);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const unsigned char* p = &pixels[(size_t(y) * size + x) * 4];
            out.insert(out.end(), {p[2], p[1], p[0], p[3]});
        }
    }
    out.resize(out.size() + maskRow * size, 0);
    return out;
}

// Sizes below 256 as bitmaps, which every Windows reads; 256 as PNG, as Explorer expects it.
Bytes IcoFile(const std::vector<int>& sizes)
{
    std::vector<Bytes> images;
    for (int size : sizes)
        images.push_back(size >= 256 ? Png(size) : IconBitmap(size));
    Bytes out;
    PutLittleEndian(out, 0, 2);
    PutLittleEndian(out, 1, 2); // an icon, not a cursor
    PutLittleEndian(out, unsigned(sizes.size()), 2);
    unsigned offset = unsigned(6 + 16 * sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        if (images[i].empty())
            return {};
        out.push_back((unsigned char)(sizes[i] >= 256 ? 0 : sizes[i])); // 0 stands for 256
        out.push_back((unsigned char)(sizes[i] >= 256 ? 0 : sizes[i]));
        PutLittleEndian(out, 0, 2); // no palette
        PutLittleEndian(out, 1, 2); // planes
        PutLittleEndian(out, 32, 2);
        PutLittleEndian(out, unsigned(images[i].size()), 4);
        PutLittleEndian(out, offset, 4);
        offset += unsigned(images[i].size());
    }
    for (const Bytes& image : images)
        out.insert(out.end(), image.begin(), image.end());
    return out;
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<int> sizes;
    if (argc == 3) {
        std::istringstream list(argv[1]);
        for (std::string size; std::getline(list, size, ',');)
            sizes.push_back(std::atoi(size.c_str()));
    }
    const std::string file = argc == 3 ? argv[2] : "";
    const bool ico = EndsWith(file, ".ico");
    bool valid = !sizes.empty() && (ico ? sizes.size() < 256 : sizes.size() == 1);
    for (int size : sizes)
        valid = valid && size >= 1 && size <= (ico ? 256 : 1024);
    if (!valid) {
        std::fprintf(stderr, "usage: tessaro-icon-file SIZE FILE.png (SIZE from 1 to 1024)\n"
                             "       tessaro-icon-file SIZE[,SIZE...] FILE.ico (SIZE from 1 to 256)\n");
        return 2;
    }
    const Bytes bytes = ico ? IcoFile(sizes) : Png(sizes[0]);
    std::ofstream out(file, std::ios::binary);
    if (bytes.empty() ||
        !out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()))) {
        std::fprintf(stderr, "tessaro-icon-file: could not write %s\n", file.c_str());
        return 1;
    }
    return 0;
}
