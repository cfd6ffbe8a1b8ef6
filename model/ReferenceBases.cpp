#include "model/ReferenceBases.h"

#include "model/NodeText.h"
#include "model/Ref.h"

#include <cstring>

namespace {
bool EndsWith(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool IsTrue(pugi::xml_node flag)
{
    return std::strcmp(NodeText(flag), "true") == 0;
}
} // namespace

bool IsReferenceElement(pugi::xml_node node)
{
    if (node.type() != pugi::node_element)
        return false;
    std::string_view tag = node.name();
    return EndsWith(tag, "-REF") || EndsWith(tag, "-TREF") || node.attribute("BASE");
}

void ReferenceBases::Enter(pugi::xml_node package)
{
    pugi::xml_node declared = package.child("REFERENCE-BASES");
    if (!declared)
        return;
    for (pugi::xml_node base : declared.children("REFERENCE-BASE")) {
        std::string packagePath;
        if (IsTrue(base.child("BASE-IS-THIS-PACKAGE")))
            packagePath = Ref(package)->path;
        else if (const char* target = NodeText(base.child("PACKAGE-REF")); IsReferenceText(target))
            packagePath = target;
        else
            continue; // a base that names no package cannot resolve anything
        bases.push_back(
            {NodeText(base.child("SHORT-LABEL")), std::move(packagePath), IsTrue(base.child("IS-DEFAULT"))});
    }
}

std::optional<std::string> ReferenceBases::Resolve(pugi::xml_node node, std::string_view text) const
{
    if (bases.empty() || text.empty() || text.front() == '/' || !IsReferenceElement(node))
        return std::nullopt;
    pugi::xml_attribute label = node.attribute("BASE");
    for (auto base = bases.rbegin(); base != bases.rend(); ++base) {
        bool chosen = label ? base->label == label.value() : base->isDefault;
        if (chosen) {
            std::string resolved = base->packagePath;
            if (resolved.back() != '/')
                resolved += '/';
            resolved += text;
            return resolved;
        }
    }
    return std::nullopt;
}
