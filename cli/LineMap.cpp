#include "cli/LineMap.h"

#include "document/LineStarts.h"

std::optional<size_t> LineOf(pugi::xml_node node)
{
    std::shared_ptr<const LineStarts> lines = node ? LineStarts::Of(node) : nullptr;
    const ptrdiff_t offset = node.offset_debug();
    if (!lines || offset < 0 || size_t(offset) >= lines->TextSize())
        return std::nullopt;
    return lines->LineAt(size_t(offset));
}

void AddLine(nlohmann::ordered_json& object, pugi::xml_node node)
{
    if (std::optional<size_t> line = LineOf(node))
        object["line"] = *line;
}
