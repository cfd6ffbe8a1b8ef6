#include "cli/Commands.h"

#include "cli/LineMap.h"
#include "cli/NodeLabel.h"
#include "query/FullTextSearchService.h"
#include "query/ReadyState.h"

#include <chrono>
#include <optional>
#include <thread>

using Json = nlohmann::ordered_json;

namespace {
// Asks again every millisecond, as a frame loop would, until the answer is final; nothing when
// the deadline passes first.
template <class Query> auto PollUntilFinal(Query&& query, const Deadline& deadline)
{
    auto result = query();
    while (result.status == ResultStatus::Pending || result.status == ResultStatus::Partial) {
        if (deadline.Passed())
            return std::optional<decltype(result)>();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        result = query();
    }
    return std::optional(result);
}

void Stats(ReadyState& state, JsonLinesWriter& out)
{
    const Index& index = state.GetIndex();
    out.Write(Json{{"file", state.GetFilePath()},
                   {"nodes", state.GetNodeCount()},
                   {"paths", index.PathCount()},
                   {"short_names", index.ShortNameCount()},
                   {"reference_texts", index.ReferenceTextCount()},
                   {"referring_nodes", index.ReferringNodeCount()}});
}

void Paths(ReadyState& state, JsonLinesWriter& out)
{
    state.GetIndex().ForEachPath([&](std::string_view path, pugi::xml_node node) {
        out.Write(Json{{"path", path}, {"tag", node.name()}});
    });
}

void WriteElement(const Result<Ref>& found, JsonLinesWriter& out)
{
    if (found.status != ResultStatus::Done) {
        out.Write(Json{{"error", found.GetError()}});
        return;
    }
    const Ref& ref = found.GetValue();
    Json object{{"path", ref->path}, {"tag", ref->node.name()}};
    AddLine(object, ref->node);
    out.Write(object);
}

bool RefsTo(ReadyState& state, const std::string& path, const Deadline& deadline, JsonLinesWriter& out)
{
    auto settled = PollUntilFinal([&] { return state.FindRefsTo(path); }, deadline);
    if (!settled)
        return false;
    const Result<std::vector<Ref>>& referrers = *settled;
    if (referrers.status != ResultStatus::Done) {
        out.Write(Json{{"error", referrers.GetError()}});
        return true;
    }
    for (const Ref& ref : referrers.GetValue()) {
        Json object{{"path", ref->path}, {"node", NodeLabel(ref->node)}};
        AddLine(object, ref->node);
        out.Write(object);
    }
    return true;
}

bool Search(ReadyState& state, const std::string& text, bool matchCase, const Deadline& deadline,
            JsonLinesWriter& out)
{
    auto settled = PollUntilFinal([&] { return state.FullTextSearch(text, matchCase); }, deadline);
    if (!settled)
        return false;
    const Result<std::vector<Ref>>& hits = *settled;
    for (const Ref& ref : hits.GetValue())
        out.Write(Json{{"path", ref->path}, {"node", NodeLabel(ref->node)}});
    size_t count = hits.GetValue().size();
    out.Write(Json{{"hits", count}, {"capped", count >= FullTextSearchService::kMaxHits}});
    return true;
}

void BrokenRefs(ReadyState& state, JsonLinesWriter& out)
{
    const Index& index = state.GetIndex();
    index.ForEachReferenceText([&](std::string_view text, std::span<const pugi::xml_node> nodes) {
        if (index.FindPath(text))
            return;
        out.Write(Json{{"ref", text}, {"count", nodes.size()}, {"first_referrer", Ref(nodes.front())->path}});
    });
}
} // namespace

bool RunCommand(ReadyState& state, const Invocation& invocation, const Deadline& deadline,
                JsonLinesWriter& out)
{
    switch (invocation.command) {
        case Command::Stats:
            Stats(state, out);
            break;
        case Command::Paths:
            Paths(state, out);
            break;
        case Command::FindRef:
            WriteElement(state.FindRef(invocation.argument), out);
            break;
        case Command::FindShortName:
            WriteElement(state.FindShortName(invocation.argument), out);
            break;
        case Command::RefsTo:
            return RefsTo(state, invocation.argument, deadline, out);
        case Command::Search:
            return Search(state, invocation.argument, invocation.matchCase, deadline, out);
        case Command::BrokenRefs:
            BrokenRefs(state, out);
            break;
    }
    return true;
}
