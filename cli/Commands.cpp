#include "cli/Commands.h"

#include "cli/LineMap.h"
#include "cli/NodeLabel.h"
#include "model/Workspace.h"
#include "query/FullTextSearchService.h"
#include "query/ReadyState.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
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

// Adds a node's line (from the parse) and file to its row.
class Rows
{
public:
    explicit Rows(const Workspace& workspace) : workspace(workspace) {}

    void Write(Json object, pugi::xml_node node, JsonLinesWriter& out, bool withLine = true)
    {
        if (withLine)
            AddLine(object, node);
        object["file"] = workspace.Files()[workspace.FileOf(node).value_or(0)].path;
        out.Write(object);
    }

private:
    const Workspace& workspace;
};

void Stats(const Workspace& workspace, JsonLinesWriter& out)
{
    for (const WorkspaceFile& file : workspace.Files()) {
        if (!file.index) {
            out.Write(Json{{"file", file.path}, {"size", file.size}, {"error", file.error}});
            continue;
        }
        out.Write(Json{{"file", file.path},
                       {"size", file.size},
                       {"nodes", file.nodeCount},
                       {"paths", file.index->PathCount()},
                       {"short_names", file.index->ShortNameCount()},
                       {"reference_texts", file.index->ReferenceTextCount()},
                       {"referring_nodes", file.index->ReferringNodeCount()},
                       {"relative_references", file.index->RelativeReferenceCount()}});
    }
}

// In byte order of the paths, each with the first node holding it.
void Paths(const Workspace& workspace, JsonLinesWriter& out)
{
    const std::vector<WorkspaceFile>& files = workspace.Files();
    if (files.size() == 1 && files[0].index) { // already in order, with nothing to merge
        files[0].index->ForEachPath([&](std::string_view path, pugi::xml_node node) {
            out.Write(Json{{"path", path}, {"tag", node.name()}, {"file", files[0].path}});
        });
        return;
    }
    std::map<std::string, pugi::xml_node, std::less<>> paths;
    for (const WorkspaceFile& file : files) {
        if (file.index) {
            file.index->ForEachPath([&](std::string_view path, pugi::xml_node node) {
                paths.try_emplace(std::string(path), node);
            });
        }
    }
    for (const auto& [path, node] : paths)
        out.Write(Json{{"path", path}, {"tag", node.name()}, {"file", files[*workspace.FileOf(node)].path}});
}

void WriteElement(const Result<Ref>& found, Rows& rows, JsonLinesWriter& out)
{
    if (found.status != ResultStatus::Done) {
        out.Write(Json{{"error", found.GetError()}});
        return;
    }
    const Ref& ref = found.GetValue();
    rows.Write(Json{{"path", ref->path}, {"tag", ref->node.name()}}, ref->node, out);
}

// The referrers, or the hits of a search: one row each.
bool WriteRefs(const std::optional<Result<std::vector<Ref>>>& settled, Rows& rows, JsonLinesWriter& out,
               bool withLines = true)
{
    if (!settled)
        return false;
    if (settled->status != ResultStatus::Done) {
        out.Write(Json{{"error", settled->GetError()}});
        return true;
    }
    for (const Ref& ref : settled->GetValue())
        rows.Write(Json{{"path", ref->path}, {"node", NodeLabel(ref->node)}}, ref->node, out, withLines);
    return true;
}

bool Search(ReadyState& state, const std::string& text, bool matchCase, const Deadline& deadline, Rows& rows,
            JsonLinesWriter& out)
{
    auto settled = PollUntilFinal([&] { return state.FullTextSearch(text, matchCase); }, deadline);
    if (!WriteRefs(settled, rows, out, false))
        return false;
    size_t count = settled->GetValue().size();
    out.Write(Json{{"hits", count}, {"capped", count >= FullTextSearchService::kMaxHits}});
    return true;
}

// In byte order of the texts.
bool BrokenRefs(ReadyState& state, const Deadline& deadline, Rows& rows, JsonLinesWriter& out)
{
    auto settled = PollUntilFinal([&] { return state.FindBrokenRefs(); }, deadline);
    if (!settled)
        return false;
    std::vector<BrokenRef> broken = settled->GetValue();
    std::sort(broken.begin(), broken.end(),
              [](const BrokenRef& a, const BrokenRef& b) { return a.text < b.text; });
    for (const BrokenRef& entry : broken) {
        rows.Write(Json{{"ref", entry.text},
                        {"count", entry.count},
                        {"first_referrer", entry.firstReferrer->path},
                        {"reason", entry.reason}},
                   entry.firstReferrer->node, out, false);
    }
    return true;
}
} // namespace

bool RunCommand(ReadyState& state, const Invocation& invocation, const Deadline& deadline,
                JsonLinesWriter& out)
{
    const Workspace& workspace = *state.GetWorkspace();
    const std::string& argument = invocation.argument;
    Rows rows(workspace);
    switch (invocation.command) {
        case Command::Stats:
            Stats(workspace, out);
            break;
        case Command::Paths:
            Paths(workspace, out);
            break;
        case Command::FindRef:
            WriteElement(state.FindRef(argument), rows, out);
            break;
        case Command::FindShortName:
            WriteElement(state.FindShortName(argument), rows, out);
            break;
        case Command::RefsTo:
            return WriteRefs(PollUntilFinal([&] { return state.FindRefsTo(argument); }, deadline), rows, out);
        case Command::Search:
            return Search(state, argument, invocation.matchCase, deadline, rows, out);
        case Command::BrokenRefs:
            return BrokenRefs(state, deadline, rows, out);
    }
    return true;
}
