#include "query/ValueDiff.h"

#include "model/NodeText.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace {
// What a child is matched by; `definitionRef` is null for a child without a DEFINITION-REF.
struct ChildKey
{
    pugi::xml_node node;
    const char* definitionRef;
    size_t ordinal = 0; // among the earlier siblings with the same tag and DEFINITION-REF
    size_t place = 0;   // among the children compared
};

// A child of either version and its counterpart, if any, in the order they are reported: the new
// version's order, with a child it lacks after the child that came before it in the old one.
struct MatchedChildren
{
    pugi::xml_node oldChild;
    pugi::xml_node newChild;
    size_t after;   // the new version's place, or that of the child before in the old version, plus 1
    size_t oldOnly; // for a child only the old version has: its place there, else 0
    bool operator<(const MatchedChildren& other) const
    {
        return after != other.after ? after < other.after : oldOnly < other.oldOnly;
    }
};

bool SameText(const char* a, const char* b)
{
    return a == b || (a && b && std::strcmp(a, b) == 0);
}

// Null for a child compared on its own (it has a SHORT-NAME) or not compared at all (the
// SHORT-NAME itself, which is the element's identity).
std::optional<ChildKey> KeyOf(pugi::xml_node child)
{
    if (child.type() != pugi::node_element || IsShortNameTag(child.name()))
        return std::nullopt;
    ChildKey key{child, nullptr};
    for (pugi::xml_node inner = child.first_child(); inner; inner = inner.next_sibling()) {
        if (inner.type() != pugi::node_element)
            continue;
        if (IsShortNameTag(inner.name()))
            return std::nullopt;
        if (!key.definitionRef && std::strcmp(inner.name(), "DEFINITION-REF") == 0)
            key.definitionRef = inner.text().get();
    }
    return key;
}

// Tag, then DEFINITION-REF, in byte order; the ordinal only where both are the same.
int CompareKeys(const ChildKey& a, const ChildKey& b)
{
    if (int byTag = std::strcmp(a.node.name(), b.node.name()))
        return byTag;
    if (!a.definitionRef || !b.definitionRef)
        return int(bool(a.definitionRef)) - int(bool(b.definitionRef));
    return std::strcmp(a.definitionRef, b.definitionRef);
}

void KeysOfChildren(pugi::xml_node element, std::vector<ChildKey>& keys)
{
    keys.clear();
    if (!element)
        return;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (std::optional<ChildKey> key = KeyOf(child)) {
            key->place = keys.size();
            keys.push_back(*key);
        }
    }
}

// Sorted by key, with each child's ordinal among its equals; document order within equal keys.
void SortKeys(std::vector<ChildKey>& keys)
{
    std::stable_sort(keys.begin(), keys.end(),
                     [](const ChildKey& a, const ChildKey& b) { return CompareKeys(a, b) < 0; });
    for (size_t i = 1; i < keys.size(); ++i)
        keys[i].ordinal = CompareKeys(keys[i - 1], keys[i]) == 0 ? keys[i - 1].ordinal + 1 : 0;
}

bool IsBlank(const char* text)
{
    for (; *text; ++text) {
        if (!std::strchr(" \t\r\n", *text))
            return false;
    }
    return true;
}

// The text an element holds as a value: that of an element without element children (empty
// when it has none), or text between element children that is more than layout; else null.
const char* ValueOf(pugi::xml_node element)
{
    if (!element || element.type() != pugi::node_element)
        return nullptr;
    bool hasElements = false;
    const char* text = nullptr;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element)
            hasElements = true;
        else if (!text && (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata))
            text = child.value();
    }
    if (!hasElements)
        return text ? text : "";
    return text && !IsBlank(text) ? text : nullptr;
}

class Differ
{
public:
    Differ(const ValueDiffOptions& options, const ValueDifferenceFound& found)
        : options(options), found(found)
    {}

    void Compare(pugi::xml_node oldElement, pugi::xml_node newElement)
    {
        CompareAttributes(oldElement, newElement);
        const char* oldValue = ValueOf(oldElement);
        const char* newValue = ValueOf(newElement);
        if (!SameText(oldValue, newValue))
            Report({}, oldValue, newValue, oldElement, newElement);
        CompareChildren(oldElement, newElement);
    }

private:
    bool Ignored(const char* name) const
    {
        return options.ignoreIds && (std::strcmp(name, "UUID") == 0 || std::strcmp(name, "T") == 0);
    }

    void CompareAttributes(pugi::xml_node oldElement, pugi::xml_node newElement)
    {
        for (pugi::xml_attribute attribute : oldElement.attributes()) {
            if (Ignored(attribute.name()))
                continue;
            pugi::xml_attribute other = newElement.attribute(attribute.name());
            if (!other || std::strcmp(attribute.value(), other.value()) != 0)
                Report(attribute.name(), attribute.value(), other ? other.value() : nullptr, oldElement,
                       newElement);
        }
        for (pugi::xml_attribute attribute : newElement.attributes()) {
            if (!Ignored(attribute.name()) && !oldElement.attribute(attribute.name()))
                Report(attribute.name(), nullptr, attribute.value(), oldElement, newElement);
        }
    }

    void Enter(pugi::xml_node oldChild, pugi::xml_node newChild)
    {
        trail.push_back(oldChild ? oldChild : newChild);
        Compare(oldChild, newChild);
        trail.pop_back();
    }

    void CompareChildren(pugi::xml_node oldElement, pugi::xml_node newElement)
    {
        if (scratch.size() <= trail.size()) {
            scratch.emplace_back();
            scratchMatches.emplace_back();
            scratchPlaces.emplace_back();
        }
        auto& [oldKeys, newKeys] = scratch[trail.size()];
        KeysOfChildren(oldElement, oldKeys);
        KeysOfChildren(newElement, newKeys);
        // Mostly the same children in the same order: matched by place, nothing sorted.
        bool samePlaces = oldKeys.size() == newKeys.size();
        for (size_t i = 0; samePlaces && i < oldKeys.size(); ++i)
            samePlaces = CompareKeys(oldKeys[i], newKeys[i]) == 0;
        if (samePlaces) {
            for (size_t i = 0; i < oldKeys.size(); ++i)
                Enter(oldKeys[i].node, newKeys[i].node);
            return;
        }
        SortKeys(oldKeys);
        SortKeys(newKeys);
        std::vector<MatchedChildren>& matched = scratchMatches[trail.size()];
        matched.clear();
        // The new place (plus 1) of each old child, by its old place; 0 for none.
        std::vector<size_t>& newPlaceOf = scratchPlaces[trail.size()];
        newPlaceOf.assign(oldKeys.size(), 0);
        size_t o = 0, n = 0;
        while (o < oldKeys.size() || n < newKeys.size()) {
            int order = o == oldKeys.size()   ? 1
                        : n == newKeys.size() ? -1
                                              : CompareKeys(oldKeys[o], newKeys[n]);
            if (order == 0)
                order = int(oldKeys[o].ordinal > newKeys[n].ordinal) -
                        int(oldKeys[o].ordinal < newKeys[n].ordinal);
            if (order < 0) {
                matched.push_back({oldKeys[o].node, {}, 0, oldKeys[o].place + 1});
                ++o;
            } else if (order > 0) {
                matched.push_back({{}, newKeys[n].node, newKeys[n].place + 1, 0});
                ++n;
            } else {
                newPlaceOf[oldKeys[o].place] = newKeys[n].place + 1;
                matched.push_back({oldKeys[o++].node, newKeys[n].node, newKeys[n].place + 1, 0});
                ++n;
            }
        }
        // Now the new place of the nearest earlier old child that has one.
        for (size_t place = 0, last = 0; place < newPlaceOf.size(); ++place) {
            if (size_t own = std::exchange(newPlaceOf[place], last))
                last = own;
        }
        for (MatchedChildren& match : matched) {
            if (match.oldOnly)
                match.after = newPlaceOf[match.oldOnly - 1];
        }
        std::sort(matched.begin(), matched.end());
        for (const MatchedChildren& match : matched)
            Enter(match.oldChild, match.newChild);
    }

    // Spelled out only for a value that differs, so that the places of equal values cost nothing.
    std::string At(const char* attribute) const
    {
        std::string at;
        for (pugi::xml_node step : trail) {
            if (!at.empty())
                at += '/';
            at += step.name();
            ChildKey key = *KeyOf(step);
            if (key.definitionRef)
                at.append("[").append(key.definitionRef).append("]");
            size_t ordinal = 0;
            for (pugi::xml_node before = step.previous_sibling(); before;
                 before = before.previous_sibling()) {
                std::optional<ChildKey> other = KeyOf(before);
                ordinal += other && CompareKeys(*other, key) == 0;
            }
            if (ordinal > 0)
                at.append("[").append(std::to_string(ordinal + 1)).append("]");
        }
        if (attribute) {
            if (!at.empty())
                at += '/';
            at.append("@").append(attribute);
        }
        return at;
    }

    void Report(const char* attribute, const char* oldValue, const char* newValue, pugi::xml_node oldNode,
                pugi::xml_node newNode)
    {
        found(ValueDifference{At(attribute), oldValue, newValue, oldNode, newNode});
    }

    const ValueDiffOptions& options;
    const ValueDifferenceFound& found;
    std::vector<pugi::xml_node> trail; // the children entered below the compared element
    // The children's keys at each depth of `trail`, kept for the next element at that depth; a
    // deque, since deeper levels are added while shallower ones are still in use.
    std::deque<std::pair<std::vector<ChildKey>, std::vector<ChildKey>>> scratch;
    std::deque<std::vector<MatchedChildren>> scratchMatches;
    std::deque<std::vector<size_t>> scratchPlaces;
};
} // namespace

void DiffValues(pugi::xml_node oldElement, pugi::xml_node newElement, const ValueDiffOptions& options,
                const ValueDifferenceFound& found)
{
    Differ(options, found).Compare(oldElement, newElement);
}
