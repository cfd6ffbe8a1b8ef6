#include "model/Index.h"
#include "document/CarriedHash.h"
#include "model/ElementChain.h"

#include <algorithm>
#include <cstring>

static_assert(Index::kNoElement == kChainEnd);

std::string Index::PathOf(uint32_t element) const
{
    return ChainPath(
        element, rootPath, [&](uint32_t e) { return NameOf(e); },
        [&](uint32_t e) { return elements[e].parent; });
}

bool Index::PathEquals(uint32_t element, std::string_view path) const
{
    return ChainPathEquals(
        element, path, rootPath, [&](uint32_t e) { return NameOf(e); },
        [&](uint32_t e) { return elements[e].parent; });
}

pugi::xml_node Index::FindPath(std::string_view path) const
{
    uint32_t found = FindElement(path);
    return found == kNoElement ? pugi::xml_node() : elements[found].node;
}

uint32_t Index::FindElement(std::string_view path) const
{
    uint32_t found =
        pathSlots.Find(CarriedHash::Of(path), [&](uint32_t element) { return PathEquals(element, path); });
    return found == HashSlots::kNone ? kNoElement : found;
}

std::optional<Index::Named> Index::FindShortName(std::string_view name) const
{
    uint32_t found =
        shortNameSlots.Find(CarriedHash::Of(name), [&](uint32_t element) { return NameOf(element) == name; });
    if (found == HashSlots::kNone)
        return std::nullopt;
    return Named{elements[found].node, PathOf(found)};
}

std::span<const pugi::xml_node> Index::Referrers(std::string_view text) const
{
    uint32_t found = referenceSlots.Find(CarriedHash::Of(text),
                                         [&](uint32_t reference) { return TextOf(reference) == text; });
    if (found == HashSlots::kNone)
        return {};
    const ReferenceText& entry = referenceTexts[found];
    return {referringNodes.data() + entry.first, entry.count};
}

void Index::ForEachPath(const std::function<void(std::string_view, pugi::xml_node)>& visit) const
{
    // Spelled out once into one buffer, sorted as views into it.
    std::vector<std::pair<size_t, uint32_t>> starts; // offset in `spelled`, element
    std::string spelled;
    pathSlots.ForEach([&](uint32_t element) {
        starts.emplace_back(spelled.size(), element);
        spelled += PathOf(element);
    });
    std::vector<std::pair<std::string_view, uint32_t>> sorted;
    sorted.reserve(starts.size());
    for (size_t i = 0; i < starts.size(); ++i) {
        size_t end = i + 1 < starts.size() ? starts[i + 1].first : spelled.size();
        sorted.emplace_back(std::string_view(spelled).substr(starts[i].first, end - starts[i].first),
                            starts[i].second);
    }
    std::sort(sorted.begin(), sorted.end());
    for (const auto& [path, element] : sorted)
        visit(path, elements[element].node);
}

void Index::ForEachReferenceText(
    const std::function<void(std::string_view, std::span<const pugi::xml_node>)>& visit) const
{
    std::vector<uint32_t> order(referenceTexts.size());
    for (uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return TextOf(a) < TextOf(b); });
    for (uint32_t reference : order) {
        const ReferenceText& entry = referenceTexts[reference];
        visit(TextOf(reference), {referringNodes.data() + entry.first, entry.count});
    }
}

void Index::ForEachElement(const std::function<void(uint32_t, uint32_t, uint64_t)>& visit) const
{
    // A parent comes before its children, so each path's hash carries on from its parent's.
    CarriedHash root;
    root.Append(rootPath);
    std::vector<CarriedHash> pathHashes(elements.size());
    for (uint32_t i = 0; i < elements.size(); ++i) {
        uint32_t parent = elements[i].parent;
        CarriedHash hash = parent == kNoElement ? root : pathHashes[parent];
        hash.Append("/");
        hash.Append(NameOf(i));
        pathHashes[i] = hash;
        visit(i, parent, hash.Finish());
    }
}

void Index::ForEachReferenceTextAsMet(
    const std::function<void(std::string_view, std::span<const pugi::xml_node>)>& visit) const
{
    for (uint32_t reference = 0; reference < referenceTexts.size(); ++reference) {
        const ReferenceText& entry = referenceTexts[reference];
        visit(TextOf(reference), {referringNodes.data() + entry.first, entry.count});
    }
}

std::string_view Index::ResolvedReference(pugi::xml_node node) const
{
    uint32_t found = relativeSlots.Find(NodeHash(node),
                                        [&](uint32_t entry) { return relativeNodes[entry].first == node; });
    return found == HashSlots::kNone ? std::string_view() : TextOf(relativeNodes[found].second);
}
