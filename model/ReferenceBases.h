#pragma once

#include <pugixml.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The REFERENCE-BASES of the packages around a node, nearest package first, for references written
// relative to a base: `<TYPE-TREF BASE="Types">UInt8</TYPE-TREF>` names /Pkg/Types/UInt8 when the
// base labelled "Types" points at /Pkg/Types. A reference without a leading "/" and without BASE
// takes the base marked IS-DEFAULT.
class ReferenceBases
{
public:
    // Adds the bases that `package` declares (its REFERENCE-BASES child), if any.
    void Enter(pugi::xml_node package);
    size_t Mark() const { return bases.size(); }
    void Restore(size_t mark) { bases.resize(mark); }

    // The absolute text that `node` refers to when it holds a relative reference whose base is
    // known; nothing for every other node.
    std::optional<std::string> Resolve(pugi::xml_node node, std::string_view text) const;

private:
    struct Base
    {
        std::string label;
        std::string packagePath;
        bool isDefault;
    };
    std::vector<Base> bases; // outermost package first
};

// Whether `node` is a reference element: its tag ends in "-REF" or "-TREF", or it carries BASE.
bool IsReferenceElement(pugi::xml_node node);
