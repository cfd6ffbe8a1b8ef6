#pragma once

#include <pugixml.hpp>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace re2 {
class RE2;
}

// What the tree filter looks for: `text` in each element's SHORT-NAME (ASCII case ignored), or in
// its whole element path, or `text` as a regular expression (RE2 syntax, case ignored too).
struct TreeFilterQuery
{
    std::string text;
    bool wholePath = false;
    bool regex = false;

    bool operator==(const TreeFilterQuery&) const = default;
};

// The elements a filter keeps: the matches and every ancestor of one.
struct TreeFilterMatches
{
    static constexpr size_t kListed = 100;

    size_t matchCount = 0;
    // For each strict ancestor of a match: its child elements that are matches or lead to one, in
    // document order. A match with no entry shows all of its children.
    std::unordered_map<const pugi::xml_node_struct*, std::vector<pugi::xml_node>> shownChildren;
    std::unordered_set<const pugi::xml_node_struct*> matches;
    // The matches below each root walked, in the order of the roots.
    std::vector<size_t> matchesPerRoot;
    // The first kListed matches in document order with their element paths.
    std::vector<std::pair<std::string, pugi::xml_node>> listed;
};

// One compiled query; matching is thread-safe.
class TreeFilterMatcher
{
public:
    explicit TreeFilterMatcher(const TreeFilterQuery& query);
    ~TreeFilterMatcher();
    TreeFilterMatcher(const TreeFilterMatcher&) = delete;
    TreeFilterMatcher& operator=(const TreeFilterMatcher&) = delete;

    // Empty when the query is usable, else why not (a regular expression that does not compile).
    const std::string& Error() const { return error; }
    bool Matches(std::string_view shortName, std::string_view path) const;

private:
    bool wholePath;
    std::string lowered; // the text in ASCII lower case, for the substring search
    std::unique_ptr<re2::RE2> expression;
    std::string error;
};

// True when `part` occurs in `text`, the ASCII letters compared without regard to case;
// `loweredPart` is already in lower case.
bool ContainsIgnoringAsciiCase(std::string_view text, std::string_view loweredPart);

// Walks every element below each of `roots` once (the documents of a folder are several roots),
// each with element paths of its own. `visited` counts the elements walked so far and `matched`
// the matches; a set `cancel` ends the walk early with what was found until then.
TreeFilterMatches FilterTree(const std::vector<pugi::xml_node>& roots, const TreeFilterMatcher& matcher,
                             const std::atomic<bool>& cancel, std::atomic<uint64_t>& visited,
                             std::atomic<size_t>& matched);
