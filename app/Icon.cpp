#include "app/Icon.h"

#include <algorithm>
#include <cmath>

namespace {

struct Rgba
{
    float r, g, b, a;
};

// Coverage of a disc for the pixel centred at (x, y), antialiased over one pixel.
float Disc(float x, float y, float cx, float cy, float radius)
{
    return std::clamp(radius - std::hypot(x - cx, y - cy) + 0.5f, 0.0f, 1.0f);
}

// Coverage of an axis-aligned box with antialiased edges.
float Box(float x, float y, float left, float top, float right, float bottom)
{
    float h = std::clamp(std::min(x - left, right - x) + 0.5f, 0.0f, 1.0f);
    float v = std::clamp(std::min(y - top, bottom - y) + 0.5f, 0.0f, 1.0f);
    return h * v;
}

Rgba Over(Rgba under, Rgba colour, float coverage)
{
    float a = colour.a * coverage;
    return {under.r * (1 - a) + colour.r * a, under.g * (1 - a) + colour.g * a,
            under.b * (1 - a) + colour.b * a, under.a * (1 - a) + a};
}

} // namespace

std::vector<unsigned char> MakeIconPixels(int size)
{
    const Rgba tile{0x25 / 255.f, 0x2A / 255.f, 0x31 / 255.f, 1};
    const Rgba branch{0x5F / 255.f, 0x6B / 255.f, 0x7C / 255.f, 1};
    const Rgba root{0x68 / 255.f, 0xC1 / 255.f, 0xEE / 255.f, 1};
    const Rgba leaf{0x62 / 255.f, 0xD9 / 255.f, 0x6B / 255.f, 1};
    const float u = size / 16.0f; // drawn on a 16-unit grid
    const float corner = 3 * u;

    std::vector<unsigned char> pixels(size_t(size) * size * 4);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            const float x = px + 0.5f, y = py + 0.5f;
            // Rounded tile: the union of two boxes and four corner discs.
            float cover = std::max(Box(x, y, corner, 0, size - corner, size),
                                   Box(x, y, 0, corner, size, size - corner));
            for (float cx : {corner, size - corner})
                for (float cy : {corner, size - corner})
                    cover = std::max(cover, Disc(x, y, cx, cy, corner));
            Rgba pixel = Over({0, 0, 0, 0}, tile, cover);
            // Trunk and two branches.
            pixel = Over(pixel, branch, Box(x, y, 4 * u, 4 * u, 5.5f * u, 12 * u));
            pixel = Over(pixel, branch, Box(x, y, 4 * u, 7.25f * u, 10 * u, 8.75f * u));
            pixel = Over(pixel, branch, Box(x, y, 4 * u, 11.25f * u, 10 * u, 12.75f * u));
            // Root element and two children.
            pixel = Over(pixel, root, Disc(x, y, 4.75f * u, 4 * u, 2.5f * u));
            pixel = Over(pixel, leaf, Disc(x, y, 11 * u, 8 * u, 2 * u));
            pixel = Over(pixel, leaf, Disc(x, y, 11 * u, 12 * u, 2 * u));
            unsigned char* out = &pixels[(size_t(py) * size + px) * 4];
            // Stored straight (not premultiplied), as the window system expects.
            float alpha = pixel.a > 0 ? pixel.a : 1;
            out[0] = (unsigned char)std::lround(std::clamp(pixel.r / alpha, 0.0f, 1.0f) * 255);
            out[1] = (unsigned char)std::lround(std::clamp(pixel.g / alpha, 0.0f, 1.0f) * 255);
            out[2] = (unsigned char)std::lround(std::clamp(pixel.b / alpha, 0.0f, 1.0f) * 255);
            out[3] = (unsigned char)std::lround(pixel.a * 255);
        }
    }
    return pixels;
}
