#pragma once

#include "model/BrokenRef.h"

#include <string>
#include <vector>

// What the Broken References list shows of the whole list, and in which order.
struct BrokenRefView
{
    std::string filter;           // a row's reference text must contain it
    bool hideDefinitions = false; // leave out references held by DEFINITION-REF
    int sortColumn = -1;          // 0 text, 1 holders, 2 why, 3 first referrer; -1 as listed
    bool descending = false;

    bool operator==(const BrokenRefView&) const = default;
};

// Whether the reference is held by a DEFINITION-REF: one to an ECUC module definition, which a
// project seldom ships.
bool IsDefinitionRef(const BrokenRef& broken);

// Indexes into `list` of the rows to show, in the order asked for; equal rows keep their order.
std::vector<int> BrokenRefRows(const std::vector<BrokenRef>& list, const BrokenRefView& view);
