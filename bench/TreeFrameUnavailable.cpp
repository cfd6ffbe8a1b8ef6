#include "bench/TreeFrame.h"

std::vector<std::pair<std::string, double>> TreeFrameFigures(const std::string&)
{
    return {};
}
