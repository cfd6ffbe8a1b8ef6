#include "cli/WorkspaceCommands.h"

#include "cli/LineMap.h"
#include "cli/NodeLabel.h"
#include "model/Workspace.h"
#include "query/FullTextSearchService.h"

#include <chrono>
#include <map>
#include <memory>
#include <thread>

using Json = nlohmann::ordered_json;

namespace {
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

void Paths(const Workspace& workspace, JsonLinesWriter& out)
{
    struct First
    {
        size_t file;
        const char* tag;
    };
    std::map<std::string, First, std::less<>> paths;
    for (size_t i = 0; i < workspace.Files().size(); ++i) {
        if (const auto& index = workspace.Files()[i].index) {
            index->ForEachPath([&](std::string_view path, pugi::xml_node node) {
                paths.try_emplace(std::string(path), First{i, node.name()});
            });
        }
    }
    for (const auto& [path, first] : paths)
        out.Write(Json{{"path", path}, {"tag", first.tag}, {"file", workspace.Files()[first.file].path}});
}

void WriteElement(const Workspace& workspace, std::optional<Workspace::Located> found,
                  const std::string& path, const char* error, JsonLinesWriter& out)
{
    if (!found) {
        out.Write(Json{{"error", error}});
        return;
    }
    Json object{{"path", path}, {"tag", found->node.name()}};
    AddLine(object, found->node);
    object["file"] = workspace.Files()[found->file].path;
    out.Write(object);
}

void RefsTo(const Workspace& workspace, const std::string& path, JsonLinesWriter& out)
{
    std::vector<Workspace::Located> referrers = workspace.Referrers(path);
    if (referrers.empty()) {
        out.Write(Json{{"error", "No nodes reference this element."}});
        return;
    }
    ShortNameMemo names;
    for (const Workspace::Located& at : referrers) {
        Json object{{"path", Ref(at.node, names)->path}, {"node", NodeLabel(at.node)}};
        AddLine(object, at.node);
        object["file"] = workspace.Files()[at.file].path;
        out.Write(object);
    }
}

// File by file, each with the viewer's search service, until 100 hits.
bool Search(const Workspace& workspace, const std::string& text, bool matchCase, const Deadline& deadline,
            JsonLinesWriter& out)
{
    size_t count = 0;
    for (const WorkspaceFile& file : workspace.Files()) {
        if (!file.document || count >= FullTextSearchService::kMaxHits)
            continue;
        FullTextSearchService service(*file.document);
        Result<std::vector<Ref>> hits = service.Search(text, matchCase);
        while (hits.status == ResultStatus::Pending || hits.status == ResultStatus::Partial) {
            if (deadline.Passed())
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            hits = service.Search(text, matchCase);
        }
        for (const Ref& ref : hits.GetValue()) {
            if (count == FullTextSearchService::kMaxHits)
                break;
            out.Write(Json{{"path", ref->path}, {"node", NodeLabel(ref->node)}, {"file", file.path}});
            ++count;
        }
    }
    out.Write(Json{{"hits", count}, {"capped", count >= FullTextSearchService::kMaxHits}});
    return true;
}

void BrokenRefs(const Workspace& workspace, JsonLinesWriter& out)
{
    std::atomic<bool> never{false};
    for (const Workspace::BrokenReference& broken : workspace.BrokenReferences(never)) {
        out.Write(Json{{"ref", broken.text},
                       {"count", broken.count},
                       {"first_referrer", Ref(broken.firstReferrer.node)->path},
                       {"file", workspace.Files()[broken.firstReferrer.file].path}});
    }
}
} // namespace

bool RunWorkspaceCommand(const Workspace& workspace, const Invocation& invocation, const Deadline& deadline,
                         JsonLinesWriter& out)
{
    const std::string& argument = invocation.argument;
    switch (invocation.command) {
        case Command::Stats:
            Stats(workspace, out);
            break;
        case Command::Paths:
            Paths(workspace, out);
            break;
        case Command::FindRef:
            WriteElement(workspace, workspace.FindPath(argument), argument, "Invalid Reference", out);
            break;
        case Command::FindShortName: {
            auto named = workspace.FindShortName(argument);
            std::optional<Workspace::Located> found;
            if (named)
                found = Workspace::Located{named->first, named->second.node};
            WriteElement(workspace, found, named ? named->second.path : "", "Could not find such an element.",
                         out);
            break;
        }
        case Command::RefsTo:
            RefsTo(workspace, argument, out);
            break;
        case Command::Search:
            return Search(workspace, argument, invocation.matchCase, deadline, out);
        case Command::BrokenRefs:
            BrokenRefs(workspace, out);
            break;
    }
    return true;
}
