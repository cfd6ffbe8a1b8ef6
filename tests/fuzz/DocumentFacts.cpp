#include "DocumentFacts.h"

#include <cstring>
#include <set>
#include <string_view>

namespace {
pugi::xml_node FirstShortName(pugi::xml_node node)
{
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_element && std::string_view(child.name()) == "SHORT-NAME")
            return child;
    }
    return {};
}

std::string Folded(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    }
    return folded;
}

bool Holds(std::string_view text, const std::string& query, bool matchCase)
{
    if (query.empty())
        return false;
    if (matchCase)
        return text.find(query) != std::string_view::npos;
    return Folded(text).find(Folded(query)) != std::string::npos;
}
} // namespace

const char* TextOf(pugi::xml_node node)
{
    switch (node.type()) {
        case pugi::node_pcdata:
        case pugi::node_cdata:
            return node.value();
        case pugi::node_element:
            for (pugi::xml_node child : node.children()) {
                if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
                    return child.value();
            }
            return "";
        default:
            return "";
    }
}

DocumentFacts GatherFacts(const pugi::xml_document& document)
{
    DocumentFacts facts;
    std::set<std::string> seenPaths;
    std::set<std::string> seenNames;

    // Pre-order with an explicit stack: a parent's facts are complete before its children's.
    struct Pending
    {
        pugi::xml_node node;
        std::string path; // "" until a named node is met
        pugi::xml_node element;
        size_t depth;
        bool canonical;
    };
    std::vector<Pending> stack{{document, "", document, 0, true}};
    while (!stack.empty()) {
        Pending at = std::move(stack.back());
        stack.pop_back();
        if (pugi::xml_node shortName = FirstShortName(at.node)) {
            std::string name = TextOf(shortName);
            at.path += "/" + name;
            at.element = at.node;
            at.canonical = at.canonical && !name.empty() && name.find('/') == std::string::npos;
            if (seenPaths.insert(at.path).second)
                facts.paths.push_back({at.path, at.node, at.canonical});
            if (seenNames.insert(name).second)
                facts.shortNames.push_back({name, at.node, true});
        }
        if (at.node.type() != pugi::node_pcdata && TextOf(at.node)[0] == '/')
            facts.referrers[TextOf(at.node)].push_back(at.node);
        facts.referenceBases |= std::string_view(at.node.name()) == "REFERENCE-BASE";
        facts.order.push_back(at.node);
        facts.nodes[at.node.internal_object()] = {at.path.empty() ? "/" : at.path, at.element, at.depth};

        std::vector<pugi::xml_node> children(at.node.begin(), at.node.end());
        for (auto child = children.rbegin(); child != children.rend(); ++child)
            stack.push_back({*child, at.path, at.element, at.depth + 1, at.canonical});
    }
    return facts;
}

size_t SearchHitsOf(pugi::xml_node node, const std::string& query, bool matchCase)
{
    size_t hits = Holds(TextOf(node), query, matchCase) || Holds(node.name(), query, matchCase) ? 1 : 0;
    for (pugi::xml_attribute attribute : node.attributes()) {
        if (Holds(attribute.name(), query, matchCase) || Holds(attribute.value(), query, matchCase))
            ++hits;
    }
    return hits;
}
