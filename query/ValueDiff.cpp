#include "query/ValueDiff.h"

#include "model/NodeReaders.h"
#include "model/NodeText.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace {
// Every node of both documents is read, so through the parser's own fields where they are known to
// match the library: its accessors are calls that cannot be inlined.
struct Nodes
{
    static inline const bool direct = DirectNodeReaderFits();

    static pugi::xml_node_type Type(NodeHandle node)
    {
        return direct ? DirectNodeReader::Type(node) : LibraryNodeReader::Type(node);
    }
    static const char* Name(NodeHandle node)
    {
        return direct ? DirectNodeReader::Name(node) : LibraryNodeReader::Name(node);
    }
    static const char* Value(NodeHandle node)
    {
        return direct ? DirectNodeReader::Value(node) : LibraryNodeReader::Value(node);
    }
    static NodeHandle FirstChild(NodeHandle node)
    {
        return direct ? DirectNodeReader::FirstChild(node) : LibraryNodeReader::FirstChild(node);
    }
    static NodeHandle NextSibling(NodeHandle node)
    {
        return direct ? DirectNodeReader::NextSibling(node) : LibraryNodeReader::NextSibling(node);
    }
    static bool HasAttributes(NodeHandle node)
    {
        return node && (direct ? DirectNodeReader::Of(node).firstAttribute != nullptr
                               : bool(pugi::xml_node(node).first_attribute()));
    }
    static bool IsText(NodeHandle node)
    {
        pugi::xml_node_type type = Type(node);
        return type == pugi::node_pcdata || type == pugi::node_cdata;
    }
};

// What a child is matched by; `definitionRef` is null for a child without a DEFINITION-REF.
struct ChildKey
{
    NodeHandle node;
    const char* definitionRef;
    size_t ordinal = 0; // among the earlier siblings with the same tag and DEFINITION-REF
    size_t place = 0;   // among the children compared
};

// A child of either version and its counterpart, if any, in the order they are reported: the new
// version's order, with a child it lacks after the child that came before it in the old one.
struct MatchedChildren
{
    NodeHandle oldChild;
    NodeHandle newChild;
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
std::optional<ChildKey> KeyOf(NodeHandle child)
{
    if (Nodes::Type(child) != pugi::node_element || IsShortNameTag(Nodes::Name(child)))
        return std::nullopt;
    ChildKey key{child, nullptr};
    for (NodeHandle inner = Nodes::FirstChild(child); inner; inner = Nodes::NextSibling(inner)) {
        if (Nodes::Type(inner) != pugi::node_element)
            continue;
        const char* name = Nodes::Name(inner);
        if (IsShortNameTag(name))
            return std::nullopt;
        if (!key.definitionRef && name[0] == 'D' && std::strcmp(name, "DEFINITION-REF") == 0) {
            key.definitionRef = "";
            for (NodeHandle text = Nodes::FirstChild(inner); text; text = Nodes::NextSibling(text)) {
                if (Nodes::IsText(text)) {
                    key.definitionRef = Nodes::Value(text);
                    break;
                }
            }
        }
    }
    return key;
}

// Tag, then DEFINITION-REF, in byte order; the ordinal only where both are the same.
int CompareKeys(const ChildKey& a, const ChildKey& b)
{
    if (int byTag = std::strcmp(Nodes::Name(a.node), Nodes::Name(b.node)))
        return byTag;
    if (!a.definitionRef || !b.definitionRef)
        return int(bool(a.definitionRef)) - int(bool(b.definitionRef));
    return std::strcmp(a.definitionRef, b.definitionRef);
}

void KeysOfChildren(NodeHandle element, std::vector<ChildKey>& keys)
{
    keys.clear();
    if (!element)
        return;
    for (NodeHandle child = Nodes::FirstChild(element); child; child = Nodes::NextSibling(child)) {
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
const char* ValueOf(NodeHandle element)
{
    if (!element || Nodes::Type(element) != pugi::node_element)
        return nullptr;
    bool hasElements = false;
    const char* text = nullptr;
    for (NodeHandle child = Nodes::FirstChild(element); child; child = Nodes::NextSibling(child)) {
        if (Nodes::Type(child) == pugi::node_element)
            hasElements = true;
        else if (!text && Nodes::IsText(child))
            text = Nodes::Value(child);
    }
    if (!hasElements)
        return text ? text : "";
    return text && !IsBlank(text) ? text : nullptr;
}
} // namespace

class ValueDiffer::Walk
{
public:
    explicit Walk(ValueDiffOptions options) : options(options) {}

    const ValueDifferenceFound* found = nullptr; // of the Diff under way

    void Compare(NodeHandle oldElement, NodeHandle newElement)
    {
        if (Nodes::HasAttributes(oldElement) || Nodes::HasAttributes(newElement))
            CompareAttributes(pugi::xml_node(oldElement), pugi::xml_node(newElement));
        const char* oldValue = ValueOf(oldElement);
        const char* newValue = ValueOf(newElement);
        // An element left empty by its named children's removal, or filled by their addition,
        // has no value of its own either way: those elements are the change.
        const bool neitherHasText =
            oldElement && newElement && !(oldValue && *oldValue) && !(newValue && *newValue);
        if (!SameText(oldValue, newValue) && !neitherHasText)
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
                Report(attribute.name(), attribute.value(), other ? other.value() : nullptr,
                       oldElement.internal_object(), newElement.internal_object());
        }
        for (pugi::xml_attribute attribute : newElement.attributes()) {
            if (!Ignored(attribute.name()) && !oldElement.attribute(attribute.name()))
                Report(attribute.name(), nullptr, attribute.value(), oldElement.internal_object(),
                       newElement.internal_object());
        }
    }

    void Enter(NodeHandle oldChild, NodeHandle newChild)
    {
        trail.push_back(oldChild ? oldChild : newChild);
        Compare(oldChild, newChild);
        trail.pop_back();
    }

    void CompareChildren(NodeHandle oldElement, NodeHandle newElement)
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
        for (NodeHandle step : trail) {
            if (!at.empty())
                at += '/';
            at += Nodes::Name(step);
            ChildKey key = *KeyOf(step);
            if (key.definitionRef)
                at.append("[").append(key.definitionRef).append("]");
            size_t ordinal = 0;
            for (pugi::xml_node before = pugi::xml_node(step).previous_sibling(); before;
                 before = before.previous_sibling()) {
                std::optional<ChildKey> other = KeyOf(before.internal_object());
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

    void Report(const char* attribute, const char* oldValue, const char* newValue, NodeHandle oldNode,
                NodeHandle newNode)
    {
        (*found)(ValueDifference{At(attribute), oldValue, newValue, pugi::xml_node(oldNode),
                                 pugi::xml_node(newNode)});
    }

    const ValueDiffOptions options;
    std::vector<NodeHandle> trail; // the children entered below the compared element
    // The children's keys at each depth of `trail`, kept for the next element at that depth; a
    // deque, since deeper levels are added while shallower ones are still in use.
    std::deque<std::pair<std::vector<ChildKey>, std::vector<ChildKey>>> scratch;
    std::deque<std::vector<MatchedChildren>> scratchMatches;
    std::deque<std::vector<size_t>> scratchPlaces;
};
ValueDiffer::ValueDiffer(ValueDiffOptions options) : walk(std::make_unique<Walk>(options)) {}

ValueDiffer::~ValueDiffer() = default;

void ValueDiffer::Diff(pugi::xml_node oldElement, pugi::xml_node newElement,
                       const ValueDifferenceFound& found)
{
    walk->found = &found;
    walk->Compare(oldElement.internal_object(), newElement.internal_object());
}
