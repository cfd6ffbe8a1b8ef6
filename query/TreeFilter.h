#pragma once

#include <pugixml.hpp>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
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
// its whole element path, or `text` as a regular expression (RE2 syntax, case ignored too); or, with
// `exactName`, short names equal to `text`, case and all.
struct TreeFilterQuery
{
    std::string text;
    bool wholePath = false;
    bool regex = false;
    bool exactName = false;

    bool operator==(const TreeFilterQuery&) const = default;
};

class TreeFilterMatcher;

// `length` bytes from `from` of some text.
struct TextRange
{
    size_t from = 0;
    size_t length = 0;
};

// The elements a filter keeps: the matches and every ancestor of one.
struct TreeFilterMatches
{
    static constexpr size_t kListed = 100;

    // A child kept below an ancestor of a match, with its 0-based position among all child nodes.
    struct ShownChild
    {
        pugi::xml_node node;
        size_t position = 0;
    };
    using Shown = std::vector<ShownChild>;

    size_t matchCount = 0;
    // For each strict ancestor of a match: its child elements that are matches or lead to one, in
    // document order. A match with no entry shows all of its children.
    std::unordered_map<const pugi::xml_node_struct*, Shown> shownChildren;
    std::unordered_set<const pugi::xml_node_struct*> matches;
    // The matches below each root walked, in the order of the roots.
    std::vector<size_t> matchesPerRoot;
    // The first kListed matches in document order with their element paths.
    std::vector<std::pair<std::string, pugi::xml_node>> listed;
    // What found them, to mark the matched part of a row; null when the answer came otherwise.
    std::shared_ptr<const TreeFilterMatcher> matcher;
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
    // The part of `shortName` that the match covers, for the element at `path` (which ends with
    // `shortName`); nothing when the match lies outside the name or there is none.
    std::optional<TextRange> MarkInName(std::string_view shortName, std::string_view path) const;

private:
    std::optional<TextRange> Find(std::string_view text) const;

    bool wholePath;
    std::optional<std::string> exactName;
    std::string lowered; // the text in ASCII lower case, for the substring search
    std::unique_ptr<re2::RE2> expression;
    std::string error;
};

// Where `part` first occurs in `text`, the ASCII letters compared without regard to case;
// `loweredPart` is already in lower case.
std::optional<size_t> FindIgnoringAsciiCase(std::string_view text, std::string_view loweredPart);

// Walks every element below each of `roots` once (the documents of a folder are several roots),
// each with element paths of its own. `visited` counts the elements walked so far and `matched`
// the matches; a set `cancel` ends the walk early with what was found until then.
TreeFilterMatches FilterTree(const std::vector<pugi::xml_node>& roots, const TreeFilterMatcher& matcher,
                             const std::atomic<bool>& cancel, std::atomic<uint64_t>& visited,
                             std::atomic<size_t>& matched);
