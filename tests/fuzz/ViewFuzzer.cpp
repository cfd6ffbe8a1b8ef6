// Any bytes as an .arxml file opened in the interface, drawn headless: the tree revealed down to
// the last node, filtered, an element window, Broken References; and the filter's and the broken
// list's answers held against facts worked out here.
#include "DocumentFacts.h"
#include "FuzzSupport.h"
#include "ui/HeadlessGui.h"

#include "model/NodeText.h"

#include <unordered_set>

namespace {
constexpr double kFrameLimitSeconds = 30;

std::string Folded(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded)
        c = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
    return folded;
}

// Elements whose short name holds `part`, ASCII case ignored: what the filter must keep.
std::unordered_set<const void*> NamedHolding(const DocumentFacts& facts, const std::string& part)
{
    std::unordered_set<const void*> holding;
    for (pugi::xml_node node : facts.order) {
        if (node.type() != pugi::node_element)
            continue;
        if (pugi::xml_node shortName = ShortNameChild(node)) {
            if (Folded(TextOf(shortName)).find(Folded(part)) != std::string::npos)
                holding.insert(node.internal_object());
        }
    }
    return holding;
}

void CheckFilter(State& ready, const DocumentFacts& facts, const std::string& part)
{
    Result<TreeFilterMatches> answer = PollUntilFinal([&] { return ready.FilterTree({part}); });
    FUZZ_CHECK(answer.status == ResultStatus::Done, "the filter gave no answer for \"" + part + "\"");
    const TreeFilterMatches& matches = answer.GetValue();
    std::unordered_set<const void*> expected = NamedHolding(facts, part);
    FUZZ_CHECK(matches.matchCount == expected.size(), std::to_string(matches.matchCount) +
                                                          " filter matches for \"" + part + "\", " +
                                                          std::to_string(expected.size()) + " expected");
    for (const pugi::xml_node_struct* match : matches.matches)
        FUZZ_CHECK(expected.count(match), "the filter kept an element whose name lacks \"" + part + "\"");
}

// Every absolute reference text that names nothing is listed as broken, with all its holders;
// nothing that resolves is.
void CheckBrokenRefs(State& ready, const DocumentFacts& facts)
{
    Result<std::vector<BrokenRef>> answer = PollUntilFinal([&] { return ready.FindBrokenRefs(); });
    FUZZ_CHECK(answer.status == ResultStatus::Done, "no broken reference list");
    std::map<std::string, const BrokenRef*> listed;
    for (const BrokenRef& broken : answer.GetValue())
        listed.emplace(broken.text, &broken);
    for (const auto& [text, holders] : facts.referrers) {
        const bool resolves = ready.FindRef(text).status == ResultStatus::Done;
        auto entry = listed.find(text);
        FUZZ_CHECK(resolves || entry != listed.end(), "broken reference not listed: " + text);
        if (!resolves)
            FUZZ_CHECK(entry->second->count >= holders.size(), "broken reference undercounted: " + text);
        if (resolves && entry != listed.end())
            FUZZ_CHECK(entry->second->reason != "target missing", "a resolving reference listed: " + text);
    }
}

bool FramesUntil(HeadlessGui& headless, const std::function<bool()>& done)
{
    return headless.FramesUntil(done, kFrameLimitSeconds);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = WriteScratchFile("input.arxml", data, size);
    HeadlessGui headless;
    ImGui::GetIO().DisplaySize = ImVec2(1600, 1200);
    Gui& gui = headless.gui;
    gui.state->OpenFile(path);
    FUZZ_CHECK(FramesUntil(headless,
                           [&] {
                               StateKind kind = gui.state->GetKind();
                               return kind == StateKind::Ready || kind == StateKind::Error;
                           }),
               "the document was neither ready nor refused in time");
    if (gui.state->GetKind() == StateKind::Error)
        return 0;
    State& ready = *gui.state;
    DocumentFacts facts = GatherFacts(*ready.document);

    // The tree opened down to the last node and an element window of its element: the deepest
    // rows, previews and paths the document has.
    pugi::xml_node last = facts.order.back();
    Ref target(last);
    gui.Reveal(target->trail, target->path);
    FUZZ_CHECK(headless.Frame() == false && headless.Frame() == false, "a frame asked to quit");
    if (target->path != "/")
        OpenElementWindow(gui, target->path);
    headless.Frame();

    // The filter on part of the last short name, typed into its field and drawn until its answer
    // is shown. The field may refuse some bytes: what it took is the query.
    std::string part = !facts.shortNames.empty() ? facts.shortNames.back().key : std::string();
    gui.filterBar.focus = true;
    headless.Frame();
    TypeText(headless, part.substr(part.size() / 3, 4));
    if (!gui.filterBar.query.text.empty()) {
        CheckFilter(ready, facts, gui.filterBar.query.text);
        FUZZ_CHECK(FramesUntil(headless,
                               [&] {
                                   return gui.filterBar.shown &&
                                          gui.filterBar.shownQuery == gui.filterBar.query;
                               }),
                   "the filtered tree was never shown");
        headless.Frame();
    }

    CheckBrokenRefs(ready, facts);
    gui.brokenRefs.shown = true;
    headless.Frame();
    headless.Frame();
    return 0;
}
