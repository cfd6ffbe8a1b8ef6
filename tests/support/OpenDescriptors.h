#pragma once

#include <string>

// Number of file descriptors of this process that point at `path`.
int OpenDescriptorsTo(const std::string& path);
