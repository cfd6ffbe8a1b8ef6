#include "cli/DiffCommand.h"

#include "cli/LineMap.h"
#include "model/Workspace.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using Json = nlohmann::ordered_json;

namespace {
Json TextOrNull(const char* text)
{
    return text ? Json(text) : Json(nullptr);
}
} // namespace

std::optional<size_t> WriteChanges(const Workspace& oldModel, const Workspace& newModel,
                                   const Invocation& invocation, const Deadline& deadline,
                                   JsonLinesWriter& out)
{
    // A watch that stops the comparison once the deadline passes.
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::thread watch([&] {
        std::unique_lock<std::mutex> lock(mutex);
        while (!finished && !deadline.Passed())
            done.wait_for(lock, std::chrono::milliseconds(10));
        stop = !finished;
    });
    std::vector<ModelChange> changes = CompareModels(oldModel, newModel, invocation.compare, stop);
    {
        std::lock_guard<std::mutex> lock(mutex);
        finished = true;
    }
    done.notify_one();
    watch.join();
    if (stop)
        return std::nullopt;

    size_t counts[4] = {};
    for (const ModelChange& change : changes) {
        if (!(invocation.kinds & (1u << unsigned(change.kind))))
            continue;
        ++counts[unsigned(change.kind)];
        Json row{{"change", ChangeKindName(change.kind)}, {"path", change.path}};
        if (change.kind == ChangeKind::Moved)
            row["from"] = change.fromPath;
        if (change.kind == ChangeKind::Changed) {
            row["at"] = change.at;
            row["old"] = TextOrNull(change.oldValue);
            row["new"] = TextOrNull(change.newValue);
        }
        // Where it is now, or where it was for what the new version lacks.
        const bool inNew = bool(change.newNode);
        const Workspace& model = inNew ? newModel : oldModel;
        pugi::xml_node node = inNew ? change.newNode : change.oldNode;
        row["file"] = model.Files()[model.FileOf(node).value_or(0)].path;
        AddLine(row, node);
        out.Write(row);
    }
    out.Write(Json{{"added", counts[unsigned(ChangeKind::Added)]},
                   {"removed", counts[unsigned(ChangeKind::Removed)]},
                   {"moved", counts[unsigned(ChangeKind::Moved)]},
                   {"changed", counts[unsigned(ChangeKind::Changed)]}});
    return counts[0] + counts[1] + counts[2] + counts[3];
}
