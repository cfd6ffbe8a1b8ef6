#pragma once

#include "document/DocumentMemory.h"
#include "model/HashSlots.h"
#include "model/ReferenceBases.h"

#include <pugixml.hpp>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Exact-key lookups of one document, filled once by the index build and read-only afterwards.
// Keys are never normalised. Names and reference texts are not copied: they point into the parsed
// document, which must outlive the index. Element paths are not stored either: each named node
// keeps its short name and its nearest named ancestor, so memory grows with the number of names,
// never with the nesting depth, and a path is spelled out only when asked for.
class Index
{
public:
    struct Named
    {
        pugi::xml_node node;
        std::string path;
    };

    // The first node in document order whose element path is exactly `path`, or a null node.
    pugi::xml_node FindPath(std::string_view path) const;
    // The same by its number (as ForEachElement gives it), or kNoElement.
    uint32_t FindElement(std::string_view path) const;
    // The first node in document order whose short name is exactly `name`, with its element path.
    std::optional<Named> FindShortName(std::string_view name) const;
    // The nodes whose text is exactly `text`, in document order; empty when there are none.
    std::span<const pugi::xml_node> Referrers(std::string_view text) const;

    // The absolute text that the relative reference held by `node` was resolved to, or an empty view
    // when the node holds none (or its base could not be found).
    std::string_view ResolvedReference(pugi::xml_node node) const;
    size_t RelativeReferenceCount() const { return relativeNodes.size(); }

    // A relative reference that names nothing, and why; the text is as written.
    struct UnresolvedReference
    {
        pugi::xml_node node;
        const char* text;
        RelativeFailure failure;
    };
    // In document order.
    const std::vector<UnresolvedReference>& UnresolvedReferences() const { return unresolved; }

    size_t ElementCount() const { return elements.size(); } // named nodes
    size_t PathCount() const { return pathSlots.Size(); }
    size_t ShortNameCount() const { return shortNameSlots.Size(); }
    size_t ReferenceTextCount() const { return referenceTexts.size(); }
    size_t ReferringNodeCount() const { return referringNodes.size(); }

    // Every distinct element path with its (first) node, in byte order of the paths.
    void ForEachPath(const std::function<void(std::string_view, pugi::xml_node)>& visit) const;
    // Every reference text with its nodes, in byte order of the texts.
    void ForEachReferenceText(
        const std::function<void(std::string_view, std::span<const pugi::xml_node>)>& visit) const;

    // The path that every element path of this index extends: empty for a whole document.
    std::string_view RootPath() const { return rootPath; }

    static constexpr uint32_t kNoElement = UINT32_MAX; // as kChainEnd
    // Unsorted and without spelling any path out, for tables built over many indexes:
    // every named node in document order, by its number (0, 1, ... as below), with the number of
    // its nearest named ancestor (kNoElement for none) and the hash of its element path
    // (CarriedHash::Of(path)). A parent comes before its children.
    void ForEachElement(
        const std::function<void(uint32_t element, uint32_t parent, uint64_t pathHash)>& visit) const;

    // A named node by its number, as ForEachElement gives it.
    pugi::xml_node NodeOf(uint32_t element) const { return elements[element].node; }
    std::string_view NameOf(uint32_t element) const
    {
        return {elements[element].name, elements[element].nameLength};
    }
    // Its nearest named ancestor's number, or kNoElement.
    uint32_t ParentOf(uint32_t element) const { return elements[element].parent; }
    // Every reference text with its nodes, in the order the texts were first met.
    void ForEachReferenceTextAsMet(
        const std::function<void(std::string_view, std::span<const pugi::xml_node>)>& visit) const;

private:
    friend struct IndexFindings;
    friend class IndexAssembler;

    std::string PathOf(uint32_t element) const;
    // Compares from the end, one name at a time, so no path is ever spelled out.
    bool PathEquals(uint32_t element, std::string_view path) const;

    struct Element
    {
        pugi::xml_node node;
        const char* name;
        uint32_t nameLength;
        uint32_t parent; // nearest named ancestor, or kNoElement
    };

    struct ReferenceText
    {
        const char* text;
        uint32_t length;
        uint32_t first; // into referringNodes
        uint32_t count;
    };

    std::string_view TextOf(uint32_t reference) const
    {
        return {referenceTexts[reference].text, referenceTexts[reference].length};
    }

    std::string rootPath;              // the path that the indexed subtree's paths extend
    KeptTableVector<Element> elements; // every named node, in document order
    HashSlots pathSlots;               // distinct path -> first element with it
    HashSlots shortNameSlots;          // distinct short name -> first element with it
    KeptTableVector<ReferenceText> referenceTexts;
    HashSlots referenceSlots;                           // reference text -> its entry
    KeptTableVector<pugi::xml_node> referringNodes;     // grouped by text, document order within a group
    std::vector<std::deque<std::string>> resolvedTexts; // absolute texts of relative references, keys above
    std::vector<std::pair<pugi::xml_node, uint32_t>> relativeNodes; // node -> its reference text
    HashSlots relativeSlots;                                        // node -> entry of relativeNodes
    std::vector<UnresolvedReference> unresolved;
};

inline uint64_t NodeHash(pugi::xml_node node)
{
    return uint64_t(reinterpret_cast<uintptr_t>(node.internal_object()));
}
