#include "model/NodeReaders.h"

namespace {
// The same bytes of the document, or both empty (a missing name or value reads as some empty string).
bool SameText(const char* direct, const char* library)
{
    return direct == library || (!*direct && !*library);
}

// Every field the direct reader offers, on every node of `node`'s subtree, against the library.
bool ReadsAlike(pugi::xml_node node)
{
    NodeHandle handle = node.internal_object();
    if (DirectNodeReader::Type(handle) != LibraryNodeReader::Type(handle) ||
        !SameText(DirectNodeReader::Name(handle), LibraryNodeReader::Name(handle)) ||
        !SameText(DirectNodeReader::Value(handle), LibraryNodeReader::Value(handle)) ||
        DirectNodeReader::FirstChild(handle) != LibraryNodeReader::FirstChild(handle) ||
        DirectNodeReader::NextSibling(handle) != LibraryNodeReader::NextSibling(handle) ||
        DirectNodeReader::HasAttributes(handle) != LibraryNodeReader::HasAttributes(handle))
        return false;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (!ReadsAlike(child))
            return false;
    }
    return true;
}

bool CheckDirectNodeReader()
{
#if defined(PUGIXML_COMPACT) || defined(PUGIXML_WCHAR_MODE)
    return false; // another node record, or texts of wide characters
#else
    static const char sample[] = "<?xml version=\"1.0\"?><!DOCTYPE a><a x=\"1\"><b>text</b><!--note-->"
                                 "<?pi data?><c><![CDATA[raw]]></c><d/>tail</a>";
    pugi::xml_document document;
    unsigned options = pugi::parse_default | pugi::parse_declaration | pugi::parse_doctype |
                       pugi::parse_comments | pugi::parse_pi;
    if (!document.load_string(sample, options))
        return false;
    return ReadsAlike(document);
#endif
}
} // namespace

bool DirectNodeReaderFits()
{
    static const bool fits = CheckDirectNodeReader();
    return fits;
}
