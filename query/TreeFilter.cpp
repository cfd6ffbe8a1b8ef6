#include "query/TreeFilter.h"

#include "model/NodeText.h"

#include <re2/re2.h>

#include <algorithm>

namespace {
char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}
} // namespace

bool ContainsIgnoringAsciiCase(std::string_view text, std::string_view loweredPart)
{
    return std::search(text.begin(), text.end(), loweredPart.begin(), loweredPart.end(),
                       [](char a, char b) { return LowerAscii(a) == b; }) != text.end();
}

TreeFilterMatcher::TreeFilterMatcher(const TreeFilterQuery& query) : wholePath(query.wholePath)
{
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

bool TreeFilterMatcher::Matches(std::string_view shortName, std::string_view path) const
{
    const std::string_view text = wholePath ? path : shortName;
    if (expression)
        return error.empty() && RE2::PartialMatch(re2::StringPiece(text.data(), text.size()), *expression);
    return ContainsIgnoringAsciiCase(text, lowered);
}

namespace {
struct Frame
{
    pugi::xml_node node;
    pugi::xml_node next; // the next child to visit
    size_t pathLength;   // of the parent's path, restored when this element is left
    bool matched;
    std::vector<pugi::xml_node> shown;
};

pugi::xml_node NextElement(pugi::xml_node node)
{
    while (node && node.type() != pugi::node_element)
        node = node.next_sibling();
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
        stack.push_back(Frame{root, NextElement(root.first_child()), 0, false, {}});
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (pugi::xml_node child = top.next) {
                top.next = NextElement(child.next_sibling());
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
                    path.append("/").append(name);
                    isMatch = matcher.Matches(name, path);
                }
                if (isMatch) {
                    result.matches.insert(child.internal_object());
                    matched.store(result.matches.size(), std::memory_order_relaxed);
                    if (result.listed.size() < TreeFilterMatches::kListed)
                        result.listed.emplace_back(path, child);
                }
                stack.push_back(Frame{child, NextElement(child.first_child()), pathLength, isMatch, {}});
                continue;
            }
            Frame done = std::move(top);
            stack.pop_back();
            path.resize(done.pathLength);
            const bool shown = done.matched || !done.shown.empty();
            if (!done.shown.empty())
                result.shownChildren.emplace(done.node.internal_object(), std::move(done.shown));
            if (shown && !stack.empty())
                stack.back().shown.push_back(done.node);
        }
        result.matchesPerRoot.push_back(result.matches.size() - matchesBefore);
        if (cancelled)
            break;
    }
    visited.store(walked, std::memory_order_relaxed);
    result.matchCount = result.matches.size();
    return result;
}
