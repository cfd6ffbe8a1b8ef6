#pragma once

#include <string>
#include <utility>
#include <vector>

// Writes a real ZIP archive with libzip; members are stored deflated, in the order given.
void WriteZip(const std::string& archivePath,
              const std::vector<std::pair<std::string, std::string>>& members);
