#include "query/TreeFilter.h"

#include "model/ElementChain.h"
#include "model/NodeText.h"

#include <re2/re2.h>

#include <algorithm>

namespace {
char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}
} // namespace

std::optional<size_t> FindIgnoringAsciiCase(std::string_view text, std::string_view loweredPart)
{
    auto found = std::search(text.begin(), text.end(), loweredPart.begin(), loweredPart.end(),
                             [](char a, char b) { return LowerAscii(a) == b; });
    return found == text.end() ? std::nullopt : std::optional<size_t>(found - text.begin());
}

TreeFilterMatcher::TreeFilterMatcher(const TreeFilterQuery& query) : wholePath(query.wholePath)
{
    if (query.exactName) {
        wholePath = false;
        exactName = query.text;
        return;
    }
    if (!query.regex) {
        lowered = query.text;
        std::transform(lowered.begin(), lowered.end(), lowered.begin(), LowerAscii);
        return;
    }
    RE2::Options options;
    options.set_case_sensitive(false);
    options.set_log_errors(false);
    expression = std::make_unique<re2::RE2>(query.text, options);
    if (!expression->ok())
        error = expression->error();
}

TreeFilterMatcher::~TreeFilterMatcher() = default;

std::optional<TextRange> TreeFilterMatcher::Find(std::string_view text) const
{
    if (exactName)
        return text == *exactName ? std::optional<TextRange>(TextRange{0, text.size()}) : std::nullopt;
    if (!expression) {
        std::optional<size_t> at = FindIgnoringAsciiCase(text, lowered);
        return at ? std::optional<TextRange>(TextRange{*at, lowered.size()}) : std::nullopt;
    }
    re2::StringPiece match;
    if (!error.empty() || !expression->Match(re2::StringPiece(text.data(), text.size()), 0, text.size(),
                                             re2::RE2::UNANCHORED, &match, 1))
        return std::nullopt;
    return TextRange{size_t(match.data() - text.data()), match.size()};
}

bool TreeFilterMatcher::Matches(std::string_view shortName, std::string_view path) const
{
    const std::string_view text = wholePath ? path : shortName;
    if (exactName)
        return text == *exactName;
    if (expression)
        return error.empty() && RE2::PartialMatch(re2::StringPiece(text.data(), text.size()), *expression);
    return FindIgnoringAsciiCase(text, lowered).has_value();
}

std::optional<TextRange> TreeFilterMatcher::MarkInName(std::string_view shortName,
                                                       std::string_view path) const
{
    if (!wholePath)
        return Find(shortName);
    if (path.size() < shortName.size())
        return std::nullopt;
    std::optional<TextRange> found = Find(path);
    if (!found)
        return std::nullopt;
    // The name is the path's last piece: only the part of the match inside it is marked.
    const size_t nameStart = path.size() - shortName.size();
    const size_t from = std::max(found->from, nameStart);
    const size_t end = found->from + found->length;
    if (end <= from)
        return std::nullopt;
    return TextRange{from - nameStart, end - from};
}

namespace {
struct Frame
{
    pugi::xml_node node;
    pugi::xml_node next; // the next child to visit
    size_t nextPosition; // its position among all child nodes
    size_t position;     // this element's own
    size_t pathLength;   // of the parent's path, restored when this element is left
    bool matched;
    TreeFilterMatches::Shown shown;
};

// The first element from `node` on, counting the nodes passed in `position`.
pugi::xml_node NextElement(pugi::xml_node node, size_t& position)
{
    while (node && node.type() != pugi::node_element) {
        node = node.next_sibling();
        ++position;
    }
    return node;
}
} // namespace

TreeFilterMatches FilterTree(const std::vector<pugi::xml_node>& roots, const TreeFilterMatcher& matcher,
                             const std::atomic<bool>& cancel, std::atomic<uint64_t>& visited,
                             std::atomic<size_t>& matched)
{
    TreeFilterMatches result;
    std::string path;
    // An explicit stack: a deeply nested document must not exhaust the thread's stack.
    std::vector<Frame> stack;
    uint64_t walked = 0;
    bool cancelled = false;
    for (pugi::xml_node root : roots) {
        const size_t matchesBefore = result.matches.size();
        path.clear();
        size_t first = 0;
        pugi::xml_node firstChild = NextElement(root.first_child(), first);
        stack.push_back(Frame{root, firstChild, first, 0, 0, false, {}});
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (pugi::xml_node child = top.next) {
                const size_t position = top.nextPosition++;
                top.next = NextElement(child.next_sibling(), top.nextPosition);
                if ((++walked & 4095) == 0) {
                    visited.store(walked, std::memory_order_relaxed);
                    if (cancel.load(std::memory_order_relaxed)) {
                        cancelled = true;
                        break;
                    }
                }
                const size_t pathLength = path.size();
                bool isMatch = false;
                if (pugi::xml_node shortName = ShortNameChild(child)) {
                    const char* name = shortName.text().get();
                    AppendPathStep(path, name);
                    isMatch = matcher.Matches(name, path);
                }
                if (isMatch) {
                    result.matches.insert(child.internal_object());
                    matched.store(result.matches.size(), std::memory_order_relaxed);
                    if (result.listed.size() < TreeFilterMatches::kListed)
                        result.listed.emplace_back(path, child);
                }
                size_t first = 0;
                pugi::xml_node firstChild = NextElement(child.first_child(), first);
                stack.push_back(Frame{child, firstChild, first, position, pathLength, isMatch, {}});
                continue;
            }
            Frame done = std::move(top);
            stack.pop_back();
            path.resize(done.pathLength);
            const bool shown = done.matched || !done.shown.empty();
            if (!done.shown.empty())
                result.shownChildren.emplace(done.node.internal_object(), std::move(done.shown));
            if (shown && !stack.empty())
                stack.back().shown.push_back({done.node, done.position});
        }
        result.matchesPerRoot.push_back(result.matches.size() - matchesBefore);
        if (cancelled)
            break;
    }
    visited.store(walked, std::memory_order_relaxed);
    result.matchCount = result.matches.size();
    return result;
}
