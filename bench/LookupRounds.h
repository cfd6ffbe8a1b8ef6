#pragma once

#include "bench/Measure.h"
#include "model/Index.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class Workspace;

// One model whose lookups the user-interface thread makes: its ready state, a maker of equal states
// with empty caches over the same tables, its bare path search, and keys drawn from all its indexes.
struct QuerySubject
{
    std::string prefix; // of its figures
    std::shared_ptr<State> ready;
    std::shared_ptr<const Workspace> workspace;
    std::vector<std::string> paths, names, texts;
    std::string hottest; // the reference text held by the most nodes of one file
    std::string deepest; // the element path with the most segments
    size_t deepestDepth = 0;
    std::vector<double> findRef, findShortName, countRefsTo, pathFind; // one per round

    // Draws up to kQueryKeys distinct paths, short names and reference texts; `seed` shuffles them.
    QuerySubject(std::string prefix, std::shared_ptr<State> ready, uint64_t seed);
    std::shared_ptr<State> Fresh() const;
};

// Times every subject's lookups: the first call of each key on a state with empty caches (the ready
// state itself in the first round), no answer from a cache. Several subjects take turns for seven
// rounds, every other round in the opposite order, each round begun by reading more than the
// processor's cache holds, so that a busy spell of the machine falls on all of them alike and none
// is timed with what came before still in the cache; one subject is timed in one round.
void TimeLookupRounds(const std::vector<QuerySubject*>& subjects);

// `find_ref_us`, `find_short_name_us`, `count_refs_to_us` and `path_find_floor_us` with the
// subject's prefix, the medians of its rounds; and for several files `path_find_file_by_file_us`.
void WriteLookupFigures(const QuerySubject& subject, nlohmann::ordered_json& out);
