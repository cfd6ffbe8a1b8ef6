#pragma once

#include <pugixml.hpp>

#include <functional>
#include <memory>
#include <string>

// One value that differs between two versions of an element: an attribute, or the text of an
// element without element children, found below the compared element at `at`.
struct ValueDifference
{
    // Tags from the compared element down, "/" between them, then "@NAME" for an attribute:
    // "I-SIGNAL-TYPE", "ADMIN-DATA/@T",
    // "PARAMETER-VALUES/ECUC-NUMERICAL-PARAM-VALUE[/Defs/Can/CanBaudrate]/VALUE". A child without a
    // DEFINITION-REF that is not the first of its tag is "TAG[2]", "TAG[3]" ...; the same for a
    // DEFINITION-REF met again: "TAG[/Defs/P][2]".
    std::string at;
    const char* oldValue = nullptr; // null: not there in the old version
    const char* newValue = nullptr; // null: not there in the new version
    pugi::xml_node oldNode;         // the element that holds the value in each version
    pugi::xml_node newNode;
};

struct ValueDiffOptions
{
    bool ignoreIds = false; // leave out UUID and timestamp (T) attributes
};

using ValueDifferenceFound = std::function<void(const ValueDifference&)>;

// Reports every value that differs between the contents of two elements. Children with a
// SHORT-NAME of their own are not entered: they are elements of their own, compared by their
// path. Children without one are matched by tag and DEFINITION-REF text where they have one, else
// by tag and place among the siblings of that tag, so reordered parameter values are no change.
// Comments are not values. The texts reported point into the two documents. One differ serves
// any number of elements, reusing its memory.
class ValueDiffer
{
public:
    explicit ValueDiffer(ValueDiffOptions options);
    ~ValueDiffer();

    // In document order of the new version; either element may be null: every value of the other
    // is then reported.
    void Diff(pugi::xml_node oldElement, pugi::xml_node newElement, const ValueDifferenceFound& found);

private:
    class Walk;
    std::unique_ptr<Walk> walk;
};
