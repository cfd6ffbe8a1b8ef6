#pragma once

#include <vector>

// The window icon, drawn in code: a small element tree on a dark tile. RGBA, size x size pixels.
std::vector<unsigned char> MakeIconPixels(int size);
