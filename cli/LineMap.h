#pragma once

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include <cstddef>
#include <optional>

// 1-based line of `node` in the bytes its document was parsed from (the archive member for a
// .zip), from the node's offset and the line starts kept at parsing; nothing when the document
// kept none (converted from another encoding, or parsed without them).
std::optional<size_t> LineOf(pugi::xml_node node);

// Adds "line" to a row of output, when LineOf tells it.
void AddLine(nlohmann::ordered_json& object, pugi::xml_node node);
