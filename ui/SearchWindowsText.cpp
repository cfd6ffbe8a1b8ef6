#include "ui/SearchWindowsText.h"

std::string NormaliseRefInput(const std::string& text)
{
    if (!text.empty() && text.front() == '/')
        return text;
    return "/" + text;
}

const char* NodeDisplayName(pugi::xml_node node)
{
    if (!node)
        return "";
    if (node.type() == pugi::node_pcdata)
        return "PC_DATA";
    return node.name();
}

std::string ResultLabel(const Ref& ref, size_t index)
{
    return ref->path + " : " + NodeDisplayName(ref->node) + "##" + std::to_string(index);
}

const Ref* RefAt(const Result<std::vector<Ref>>& result, int index)
{
    if (result.status != ResultStatus::Partial && result.status != ResultStatus::Done)
        return nullptr;
    if (!result.value || index < 0 || static_cast<size_t>(index) >= result.value->size())
        return nullptr;
    return &(*result.value)[index];
}

SearchStatusLine SearchStatus(bool textEmpty, ResultStatus status, size_t hitCount, size_t hitLimit)
{
    if (textEmpty)
        return {};
    if (status == ResultStatus::Partial)
        return {true, "Searching..."};
    if (status != ResultStatus::Done)
        return {};
    const std::string count = std::to_string(hitCount);
    if (hitCount >= hitLimit)
        return {false, "Showing the first " + count + " results."};
    return {false, "Found " + count + " results."};
}

bool SearchProgressVisible(bool textEmpty, ResultStatus status)
{
    return !textEmpty && status == ResultStatus::Partial;
}

std::string GroupThousands(size_t count)
{
    const std::string digits = std::to_string(count);
    std::string grouped;
    grouped.reserve(digits.size() + digits.size() / 3);
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

std::string ReferrerCount(size_t count)
{
    return GroupThousands(count) + (count == 1 ? " referrer" : " referrers");
}
