#pragma once

#include "model/Ref.h"

#include <cstddef>
#include <string>

// A reference text that names no element: how many nodes hold it, the first of them, and why.
struct BrokenRef
{
    std::string text;
    size_t count = 0;
    Ref firstReferrer;
    std::string reason; // "target missing", or why a relative reference names nothing
};
