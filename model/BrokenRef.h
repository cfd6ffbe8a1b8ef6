#pragma once

#include "model/Ref.h"

#include <cstddef>
#include <string>

// A reference text that names no element: how many nodes hold it and the first of them.
struct BrokenRef
{
    std::string text;
    size_t count = 0;
    Ref firstReferrer;
};
