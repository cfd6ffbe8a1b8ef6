#pragma once

#include "document/CarriedHash.h"

#include <pugixml.hpp>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Why a relative reference names nothing.
enum class RelativeFailure : uint8_t
{
    UnknownBase,     // BASE names a label that no enclosing package declares
    NoDefaultBase,   // no BASE, and no enclosing package marks a base IS-DEFAULT
    BaseNotAbsolute, // the base's PACKAGE-REF is empty or relative
};
const char* RelativeFailureText(RelativeFailure failure);

// The REFERENCE-BASES that the packages of one or more documents declare, for references written
// relative to a base: `<TYPE-TREF BASE="Types">UInt8</TYPE-TREF>` names /Pkg/Types/UInt8 when the
// base labelled "Types" points at /Pkg/Types. A reference without a leading "/" and without BASE
// takes the base marked IS-DEFAULT. A label is looked up in the nearest enclosing package that
// declares it. A package is one package however many files hold a part of it: its bases are the
// union of its parts' (the first declaration of a label wins, in the order the documents were
// collected). Read-only once finished, so the walking threads share it.
class ReferenceBases
{
public:
    using Scope = uint32_t; // a package that declares bases
    static constexpr Scope kNoScope = UINT32_MAX;

    // Adds the bases of every package of `document`. Only the package skeleton is walked (AUTOSAR,
    // AR-PACKAGES, AR-PACKAGE), never the elements, so this costs little beside parsing.
    void Collect(pugi::xml_node document);
    // Links every package to the nearest enclosing package with bases; once, after the last Collect.
    void Finish();
    bool Empty() const { return scopes.empty(); }

    // The scope that `node` opens when it is a package with bases; `path` is the hash of its
    // element path so far. `outer` otherwise.
    Scope Enter(pugi::xml_node node, const CarriedHash& path, Scope outer) const;

    struct Resolved
    {
        std::string text; // the absolute text; empty when it failed
        RelativeFailure failure = RelativeFailure::UnknownBase;
    };
    // When `node` holds a relative reference (a reference element whose text does not begin with
    // "/"), the absolute text it names from within `scope`, or why it names nothing.
    std::optional<Resolved> Resolve(pugi::xml_node node, const char* text, Scope scope) const;

private:
    struct Base
    {
        std::string packagePath; // as written: not absolute means the base resolves nothing
    };
    struct Hash
    {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return CarriedHash::Of(text); }
    };
    struct Package
    {
        std::string path;
        Scope outer = kNoScope;
        std::unordered_map<std::string, Base, Hash, std::equal_to<>> byLabel;
        std::optional<Base> byDefault;
        Scope defaultFrom = kNoScope; // the nearest scope, this one or an outer one, with a default
    };

    void Declare(const std::string& packagePath, pugi::xml_node declared);
    const Base* Find(Scope scope, const char* label) const;

    std::vector<Package> scopes;
    std::unordered_map<std::string, Scope, Hash, std::equal_to<>> scopeOfPath;
    std::unordered_multimap<uint64_t, Scope> scopeOfHash;
};

// Whether `node` is a reference element: its tag ends in "-REF" or "-TREF", or it carries BASE.
bool IsReferenceElement(pugi::xml_node node);
// The first half of that: whether `tag` ends in "-REF" or "-TREF".
inline bool IsReferenceTag(const char* tag)
{
    const size_t length = std::strlen(tag);
    const char* end = tag + length;
    if (length >= 4 && end[-4] == '-' && end[-3] == 'R' && end[-2] == 'E' && end[-1] == 'F')
        return true;
    return length >= 5 && end[-5] == '-' && end[-4] == 'T' && end[-3] == 'R' && end[-2] == 'E' &&
           end[-1] == 'F';
}
