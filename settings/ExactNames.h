#pragma once

#include <nlohmann/json.hpp>

#include <list>
#include <set>
#include <string>

// File names and element paths are bytes; JSON holds UTF-8 only. An entry that is not UTF-8 is
// written in its list with U+FFFD for its bad bytes, which older versions read as before, and its
// bytes are kept beside the lists under kExactNamesKey: {lossy text: [hex of the bytes, ...]},
// one hex text per entry of that lossy text, in the order the lists hold them.
inline constexpr const char* kExactNamesKey = "exact_names";

// The kExactNamesKey entry for these lists; null when every entry is UTF-8. `bookmarkFiles` come
// last, so that versions that know only the first two lists still find theirs.
nlohmann::json ExactNames(const std::list<std::string>& recent, const std::set<std::string>& bookmarks,
                          const std::list<std::string>& bookmarkFiles = {});

// Puts the bytes kept in `exact` back in place of the lossy texts read from the lists, which are
// in the order they were written; a kept name whose lossy text is not the entry's own (left by
// another version's save) is not used.
void RestoreExactNames(const nlohmann::json& exact, std::list<std::string>& recent,
                       std::list<std::string>& bookmarks, std::list<std::string>& bookmarkFiles);

// `text` with U+FFFD in place of each byte that is not UTF-8, as it is listed in the file.
std::string LossyText(const std::string& text);
