#include "model/ReferenceBases.h"

#include "model/ElementChain.h"
#include "model/Index.h"
#include "model/NodeText.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace {
bool EndsWith(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// xsd:boolean: "true" or "1", with whitespace around it allowed.
bool IsTrue(pugi::xml_node flag)
{
    std::string_view text = NodeText(flag);
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return false;
    text = text.substr(first, text.find_last_not_of(" \t\r\n") + 1 - first);
    return text == "true" || text == "1";
}

bool IsNamed(pugi::xml_node node, const char* name)
{
    return node.type() == pugi::node_element && std::strcmp(node.name(), name) == 0;
}

// Whether `path` is the element path of `node`, comparing one short name at a time from the end.
bool IsPathOf(pugi::xml_node node, std::string_view path)
{
    for (pugi::xml_node cur = node; cur; cur = cur.parent()) {
        pugi::xml_node shortName = ShortNameChild(cur);
        if (!shortName)
            continue;
        std::string_view name = NodeText(shortName);
        if (!EndsWith(path, name) || path.size() == name.size() || path[path.size() - name.size() - 1] != '/')
            return false;
        path.remove_suffix(name.size() + 1);
    }
    return path.empty();
}
} // namespace

const char* RelativeFailureText(RelativeFailure failure)
{
    switch (failure) {
        case RelativeFailure::UnknownBase:
            return "unknown base";
        case RelativeFailure::NoDefaultBase:
            return "no default base";
        case RelativeFailure::BaseNotAbsolute:
            return "base not absolute";
    }
    return "";
}

bool IsReferenceElement(pugi::xml_node node)
{
    return node.type() == pugi::node_element && (IsReferenceTag(node.name()) || node.attribute("BASE"));
}

void ReferenceBases::Collect(pugi::xml_node document)
{
    struct Open
    {
        pugi::xml_node node;
        std::string path;
    };
    std::vector<Open> open{{document, ""}};
    while (!open.empty()) {
        Open cur = std::move(open.back());
        open.pop_back();
        for (pugi::xml_node child : cur.node.children()) {
            if (IsNamed(child, "AUTOSAR") || IsNamed(child, "AR-PACKAGES")) {
                open.push_back({child, cur.path});
            } else if (IsNamed(child, "AR-PACKAGE")) {
                std::string path = cur.path;
                if (pugi::xml_node shortName = ShortNameChild(child))
                    AppendPathStep(path, NodeText(shortName));
                if (pugi::xml_node declared = child.child("REFERENCE-BASES"))
                    Declare(path, declared);
                open.push_back({child, std::move(path)});
            }
        }
    }
}

void ReferenceBases::Declare(const std::string& packagePath, pugi::xml_node declared)
{
    auto [found, fresh] = scopeOfPath.try_emplace(packagePath, Scope(scopes.size()));
    if (fresh)
        scopes.push_back({packagePath, kNoScope, {}, std::nullopt, kNoScope});
    Package& package = scopes[found->second];
    for (pugi::xml_node base : declared.children("REFERENCE-BASE")) {
        // The package ref is taken as written, never resolved against another base: a base must
        // name its package by an absolute path.
        Base made{IsTrue(base.child("BASE-IS-THIS-PACKAGE"))
                      ? packagePath
                      : std::string(NodeText(base.child("PACKAGE-REF")))};
        if (IsTrue(base.child("IS-DEFAULT")) && !package.byDefault)
            package.byDefault = made;
        package.byLabel.try_emplace(NodeText(base.child("SHORT-LABEL")), std::move(made));
    }
}

void ReferenceBases::Finish()
{
    scopeOfHash.clear();
    // Outer packages have shorter paths: they are done before the packages inside them.
    std::vector<Scope> order(scopes.size());
    std::iota(order.begin(), order.end(), Scope(0));
    std::sort(order.begin(), order.end(),
              [&](Scope a, Scope b) { return scopes[a].path.size() < scopes[b].path.size(); });
    for (Scope s : order) {
        Package& package = scopes[s];
        std::string_view outer = package.path;
        package.outer = kNoScope;
        while (package.outer == kNoScope && !outer.empty()) {
            outer = outer.substr(0, outer.rfind('/'));
            if (auto found = scopeOfPath.find(outer); found != scopeOfPath.end())
                package.outer = found->second;
        }
        package.defaultFrom = package.byDefault           ? s
                              : package.outer == kNoScope ? kNoScope
                                                          : scopes[package.outer].defaultFrom;
        scopeOfHash.emplace(CarriedHash::Of(package.path), s);
    }
}

ReferenceBases::Scope ReferenceBases::Enter(pugi::xml_node node, const CarriedHash& path, Scope outer) const
{
    if (scopes.empty() || !IsNamed(node, "AR-PACKAGE"))
        return outer;
    auto [first, last] = scopeOfHash.equal_range(path.Finish());
    for (auto found = first; found != last; ++found) {
        if (IsPathOf(node, scopes[found->second].path))
            return found->second;
    }
    return outer;
}

const ReferenceBases::Base* ReferenceBases::Find(Scope scope, const char* label) const
{
    for (Scope s = scope; s != kNoScope; s = scopes[s].outer) {
        if (auto found = scopes[s].byLabel.find(std::string_view(label)); found != scopes[s].byLabel.end())
            return &found->second;
    }
    return nullptr;
}

std::optional<ReferenceBases::Resolved> ReferenceBases::Resolve(pugi::xml_node node, const char* text,
                                                                Scope scope) const
{
    if (*text == '\0' || *text == '/' || !IsReferenceElement(node))
        return std::nullopt;
    // A base's own package ref is never resolved against another base.
    if (IsNamed(node, "PACKAGE-REF") && IsNamed(node.parent(), "REFERENCE-BASE"))
        return Resolved{"", RelativeFailure::BaseNotAbsolute};
    const Base* base = nullptr;
    if (pugi::xml_attribute label = node.attribute("BASE")) {
        if (!(base = Find(scope, label.value())))
            return Resolved{"", RelativeFailure::UnknownBase};
    } else {
        Scope from = scope == kNoScope ? kNoScope : scopes[scope].defaultFrom;
        if (from == kNoScope)
            return Resolved{"", RelativeFailure::NoDefaultBase};
        base = &*scopes[from].byDefault;
    }
    if (base->packagePath.empty() || base->packagePath.front() != '/')
        return Resolved{"", RelativeFailure::BaseNotAbsolute};
    Resolved resolved{base->packagePath, RelativeFailure::UnknownBase};
    if (resolved.text.back() != '/')
        resolved.text += '/';
    resolved.text += text;
    return resolved;
}
