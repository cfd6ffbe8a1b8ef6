#include "cli/Commands.h"

#include "cli/LineMap.h"
#include "query/FullTextSearchService.h"
#include "query/ReadyState.h"

#include <chrono>
#include <thread>

using Json = nlohmann::ordered_json;

namespace {
const char* NodeLabel(pugi::xml_node node)
{
    switch (node.type()) {
        case pugi::node_pcdata:
            return "PC_DATA";
        case pugi::node_cdata:
            return "CDATA";
        default:
            return node.name();
    }
}

void AddLine(Json& object, const LineMap& lines, pugi::xml_node node)
{
    if (std::optional<size_t> line = lines.LineOf(node))
        object["line"] = *line;
}

// Asks again every millisecond, as a frame loop would, until the answer is final.
template <class Query> auto PollUntilFinal(Query&& query)
{
    auto result = query();
    while (result.status == ResultStatus::Pending || result.status == ResultStatus::Partial) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        result = query();
    }
    return result;
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

void WriteElement(const Result<Ref>& found, const std::string& filePath, JsonLinesWriter& out)
{
    if (found.status != ResultStatus::Done) {
        out.Write(Json{{"error", found.GetError()}});
        return;
    }
    const Ref& ref = found.GetValue();
    Json object{{"path", ref->path}, {"tag", ref->node.name()}};
    AddLine(object, LineMap::ForDocumentFile(filePath), ref->node);
    out.Write(object);
}

void RefsTo(ReadyState& state, const std::string& path, JsonLinesWriter& out)
{
    Result<std::vector<Ref>> referrers = PollUntilFinal([&] { return state.FindRefsTo(path); });
    if (referrers.status != ResultStatus::Done) {
        out.Write(Json{{"error", referrers.GetError()}});
        return;
    }
    LineMap lines = LineMap::ForDocumentFile(state.GetFilePath());
    for (const Ref& ref : referrers.GetValue()) {
        Json object{{"path", ref->path}, {"node", NodeLabel(ref->node)}};
        AddLine(object, lines, ref->node);
        out.Write(object);
    }
}

void Search(ReadyState& state, const std::string& text, bool matchCase, JsonLinesWriter& out)
{
    Result<std::vector<Ref>> hits = PollUntilFinal([&] { return state.FullTextSearch(text, matchCase); });
    for (const Ref& ref : hits.GetValue())
        out.Write(Json{{"path", ref->path}, {"node", NodeLabel(ref->node)}});
    size_t count = hits.GetValue().size();
    out.Write(Json{{"hits", count}, {"capped", count >= FullTextSearchService::kMaxHits}});
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

void RunCommand(ReadyState& state, const Invocation& invocation, JsonLinesWriter& out)
{
    switch (invocation.command) {
        case Command::Stats:
            Stats(state, out);
            break;
        case Command::Paths:
            Paths(state, out);
            break;
        case Command::FindRef:
            WriteElement(state.FindRef(invocation.argument), state.GetFilePath(), out);
            break;
        case Command::FindShortName:
            WriteElement(state.FindShortName(invocation.argument), state.GetFilePath(), out);
            break;
        case Command::RefsTo:
            RefsTo(state, invocation.argument, out);
            break;
        case Command::Search:
            Search(state, invocation.argument, invocation.matchCase, out);
            break;
        case Command::BrokenRefs:
            BrokenRefs(state, out);
            break;
    }
}
