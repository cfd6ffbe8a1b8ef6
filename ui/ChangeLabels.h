#pragma once

#include "query/ChangeMarks.h"

#include <string>
#include <string_view>

// The marker after a changed row's tag: "~ changed", "- removed", "> moved", "+ added" for the
// kinds placed on it, then on a closed row the changes at it and below: "(3 changes)". Empty when
// there is nothing to say.
std::string ChangeMarkerText(const ChangeMark& mark, bool open);

// Whether a row of the Changes window passes its filter: its kind is among `kinds` (bits as in
// ChangeMark) and `text` is empty or found, case ignored, in its path, place or either value.
bool ChangeShown(const ModelChange& change, unsigned kinds, std::string_view text);
