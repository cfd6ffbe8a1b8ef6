#include "bench/LookupRounds.h"

#include "lifecycle/ReadyState.h"
#include "model/Workspace.h"

#include <algorithm>
#include <optional>

namespace {
constexpr size_t kQueryRounds = 7;

void SortUnique(std::vector<std::string>& keys)
{
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
}

std::vector<const Index*> Indexes(const Workspace& workspace)
{
    std::vector<const Index*> indexes;
    for (const WorkspaceFile& file : workspace.Files()) {
        if (file.index)
            indexes.push_back(file.index.get());
    }
    return indexes;
}

// Reads a buffer larger than the processor's last-level cache (half a gigabyte on the machines we
// measure on), so that every round starts as cold as the others.
class CacheSweep
{
public:
    void operator()()
    {
        unsigned sum = 0;
        for (size_t i = 0; i < bytes.size(); i += 64)
            sum += bytes[i];
        sink = sum;
    }

private:
    std::vector<unsigned char> bytes = std::vector<unsigned char>(size_t(1) << 30, 1);
    volatile unsigned sink = 0;
};

void TimeRound(QuerySubject& subject, size_t round)
{
    std::shared_ptr<State> asked = round == 0 ? subject.ready : subject.Fresh();
    UiCallTimer ui;
    auto fresh = [&subject] { return subject.Fresh(); };
    auto findRef = [](State& s, const std::string& key) { return s.FindRef(key); };
    auto findShortName = [](State& s, const std::string& key) { return s.FindShortName(key); };
    auto countRefsTo = [](State& s, const std::string& key) { return s.CountRefsTo(key); };
    subject.findRef.push_back(MeanFirstCallMicros(asked, subject.paths, ui, "FindRef", findRef, fresh));
    subject.findShortName.push_back(
        MeanFirstCallMicros(asked, subject.names, ui, "FindShortName", findShortName, fresh));
    subject.countRefsTo.push_back(
        MeanFirstCallMicros(asked, subject.texts, ui, "CountRefsTo", countRefsTo, fresh));
    // The bare path search under FindRef, without the Ref it makes and the cache it fills.
    const Workspace& workspace = *subject.workspace;
    subject.pathFind.push_back(MeanPathFindMicros(
        subject.paths, [&](const std::string& path) { return workspace.FindPath(path).has_value(); }));
}
} // namespace

QuerySubject::QuerySubject(std::string prefix, std::shared_ptr<State> ready, uint64_t seed)
    : prefix(std::move(prefix)), ready(std::move(ready)), workspace(this->ready->GetWorkspace())
{
    size_t hottestCount = 0;
    for (const Index* index : Indexes(*workspace)) {
        index->ForEachPath([&](std::string_view path, pugi::xml_node) {
            paths.emplace_back(path);
            names.emplace_back(path.substr(path.rfind('/') + 1));
            if (size_t depth = PathDepth(path); depth > deepestDepth) {
                deepestDepth = depth;
                deepest = path;
            }
        });
        index->ForEachReferenceText([&](std::string_view text, std::span<const pugi::xml_node> nodes) {
            texts.emplace_back(text);
            if (nodes.size() > hottestCount) {
                hottestCount = nodes.size();
                hottest = text;
            }
        });
    }
    for (auto* keys : {&paths, &names, &texts})
        SortUnique(*keys);
    paths = SampleKeys(std::move(paths), kQueryKeys, seed);
    names = SampleKeys(std::move(names), kQueryKeys, seed + 1);
    texts = SampleKeys(std::move(texts), kQueryKeys, seed + 2);
}

std::shared_ptr<State> QuerySubject::Fresh() const
{
    return std::make_shared<ReadyState>(ready->GetFilePath(), workspace);
}

void TimeLookupRounds(const std::vector<QuerySubject*>& subjects)
{
    std::optional<CacheSweep> sweep;
    if (subjects.size() > 1)
        sweep.emplace();
    for (size_t round = 0; round < (sweep ? kQueryRounds : 1); ++round) {
        for (size_t turn = 0; turn < subjects.size(); ++turn) {
            if (sweep)
                (*sweep)();
            TimeRound(*subjects[round % 2 ? subjects.size() - 1 - turn : turn], round);
        }
    }
}

void WriteLookupFigures(const QuerySubject& subject, nlohmann::ordered_json& out)
{
    out[subject.prefix + "find_ref_us"] = Round(Median(subject.findRef), 3);
    out[subject.prefix + "find_short_name_us"] = Round(Median(subject.findShortName), 3);
    out[subject.prefix + "count_refs_to_us"] = Round(Median(subject.countRefsTo), 3);
    out[subject.prefix + "path_find_floor_us"] = Round(Median(subject.pathFind), 3);
    // The same search made by asking every index in turn until one has the path.
    std::vector<const Index*> indexes = Indexes(*subject.workspace);
    if (indexes.size() > 1) {
        auto askEveryFile = [&](const std::string& path) {
            return std::any_of(indexes.begin(), indexes.end(),
                               [&](const Index* index) { return bool(index->FindPath(path)); });
        };
        out[subject.prefix + "path_find_file_by_file_us"] =
            Round(MeanPathFindMicros(subject.paths, askEveryFile), 3);
    }
}
