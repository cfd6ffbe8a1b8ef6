// Any bytes as an .arxml file through the viewer's own state machine, then every answer of the
// loaded document held against facts worked out independently (DocumentFacts).
#include "DocumentFacts.h"
#include "FuzzSupport.h"

#include "document/DocumentMemory.h"

#include <algorithm>
#include <map>

namespace {
constexpr size_t kMaxChecked = 256; // lookups checked per kind and input; keeps inputs fast
constexpr size_t kMaxHits = 100;

void CheckRef(const Ref& ref, pugi::xml_node node, const DocumentFacts& facts)
{
    const DocumentFacts::Node& expected = facts.Of(node);
    FUZZ_CHECK(ref->node == node, "a Ref points at another node");
    FUZZ_CHECK(ref->path == expected.path, "Ref path " + ref->path + " instead of " + expected.path);
    FUZZ_CHECK(ref->element == expected.element, "wrong element for " + expected.path);
    FUZZ_CHECK(ref->trail.size() == expected.depth + 1, "a trail of the wrong length for " + expected.path);
    FUZZ_CHECK(std::get<pugi::xml_node>(ref->trail.back()) == node, "a trail that ends elsewhere");
}

// The query is taken from the document, so that the fuzzer steers it; without match case its
// letters are flipped, so that folding is what makes it match.
std::string PickQuery(const DocumentFacts& facts, const pugi::xml_document& document, bool matchCase)
{
    std::string query = !facts.shortNames.empty() ? facts.shortNames.back().key
                                                  : std::string(document.document_element().name());
    query = query.substr(query.size() / 3, 6);
    if (!matchCase) {
        for (char& c : query) {
            if (c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
            else if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        }
    }
    return query;
}

void CheckFailedLoad(State& state, const std::string& path)
{
    FUZZ_CHECK(state.GetKind() == StateKind::Error,
               "loading ended in state " + std::to_string(int(state.GetKind())));
    pugi::xml_document reference;
    FUZZ_CHECK(reference.load_file(path.c_str()).status != pugi::status_ok,
               "a document that parses was refused");
    FUZZ_CHECK(state.GetErrorMessage().rfind(kLoadFailure + path, 0) == 0,
               "error: " + state.GetErrorMessage());
    FUZZ_CHECK(state.FindRef("/").status == ResultStatus::Error, "the error state answers FindRef");
    FUZZ_CHECK(state.FullTextSearch("a", false).status == ResultStatus::Error, "the error state searches");
}

// While indexing, FindRef walks the tree; for canonical paths it must find what the index will.
// Returns its answer to "/", which must be the ready state's too.
Result<Ref> CheckWalkingLookups(State& indexing, const DocumentFacts& facts)
{
    std::vector<const DocumentFacts::Named*> asked;
    for (const auto& named : facts.paths) {
        if (named.canonical && asked.size() < kMaxChecked) {
            indexing.FindRef(named.key);
            asked.push_back(&named);
        }
    }
    for (const auto* named : asked) {
        Result<Ref> found = PollUntilFinal([&] { return indexing.FindRef(named->key); });
        FUZZ_CHECK(found.status == ResultStatus::Done, "walk did not find " + named->key);
        CheckRef(found.GetValue(), named->node, facts);
    }
    return PollUntilFinal([&] { return indexing.FindRef("/"); });
}

void CheckSameAnswer(const Result<Ref>& walked, const Result<Ref>& indexed, const std::string& path)
{
    FUZZ_CHECK(walked.status == indexed.status, "\"" + path + "\" answered differently once ready");
    if (walked.status == ResultStatus::Done)
        FUZZ_CHECK(walked.GetValue()->node == indexed.GetValue()->node, "\"" + path + "\" moved once ready");
}

void CheckIndexedLookups(State& ready, const DocumentFacts& facts)
{
    for (size_t i = 0; i < facts.paths.size() && i < kMaxChecked; ++i) {
        const auto& named = facts.paths[i];
        Result<Ref> found = ready.FindRef(named.key);
        FUZZ_CHECK(found.status == ResultStatus::Done, "index lacks " + named.key);
        CheckRef(found.GetValue(), named.node, facts);
        FUZZ_CHECK(found.GetValue()->path == named.key, "path does not come back: " + named.key);
    }
    for (size_t i = 0; i < facts.shortNames.size() && i < kMaxChecked; ++i) {
        const auto& named = facts.shortNames[i];
        Result<Ref> found = ready.FindShortName(named.key);
        FUZZ_CHECK(found.status == ResultStatus::Done, "short name not found: " + named.key);
        CheckRef(found.GetValue(), named.node, facts);
    }
    // A key that no document holds: short names and paths are texts, which cannot contain NUL.
    std::string absent("/\0", 2);
    FUZZ_CHECK(ready.FindRef(absent).GetError() == "Invalid Reference", "an absent path resolved");
    FUZZ_CHECK(ready.FindShortName(absent).GetError() == "Could not find such an element.",
               "absent name found");
}

// Relative references add referrers that only their bases know of: with bases declared, the
// holders of each text must be among the referrers, in order; without, they are all of them.
void CheckReferrers(State& ready, const DocumentFacts& facts)
{
    const bool exact = !facts.referenceBases;
    size_t checked = 0;
    for (const auto& entry : facts.referrers) {
        const std::string& text = entry.first; // named, not bound: lambdas below capture it
        const std::vector<pugi::xml_node>& holders = entry.second;
        if (++checked > kMaxChecked)
            break;
        Result<size_t> count = ready.CountRefsTo(text);
        FUZZ_CHECK(count.status == ResultStatus::Done &&
                       (exact ? count.GetValue() == holders.size() : count.GetValue() >= holders.size()),
                   "wrong referrer count for " + text);
        Result<std::vector<Ref>> listed = PollUntilFinal([&] { return ready.FindRefsTo(text); });
        FUZZ_CHECK(listed.status == ResultStatus::Done && listed.GetValue().size() == count.GetValue(),
                   "referrer list of the wrong length for " + text);
        size_t next = 0;
        for (const Ref& ref : listed.GetValue()) {
            if (next < holders.size() && ref->node == holders[next])
                CheckRef(ref, holders[next++], facts);
        }
        FUZZ_CHECK(next == holders.size(), "a holder missing from the referrers of " + text);
    }
    // A few paths that nothing refers to: zero referrers and the documented error.
    checked = 0;
    for (const auto& named : facts.paths) {
        if (!exact || facts.referrers.count(named.key) || ++checked > 8)
            continue;
        FUZZ_CHECK(ready.CountRefsTo(named.key).GetValue() == 0, "referrers counted for " + named.key);
        Result<std::vector<Ref>> listed = PollUntilFinal([&] { return ready.FindRefsTo(named.key); });
        FUZZ_CHECK(listed.status == ResultStatus::Error &&
                       listed.GetError() == "No nodes reference this element.",
                   "referrers listed for " + named.key);
    }
}

// Exactly as many hits as a plain count finds, capped; each one a node that matches that often.
void CheckSearch(State& ready, const DocumentFacts& facts, const std::string& query, bool matchCase)
{
    Result<std::vector<Ref>> found = PollUntilFinal([&] { return ready.FullTextSearch(query, matchCase); });
    FUZZ_CHECK(found.status == ResultStatus::Done, "search did not finish");
    size_t total = 0;
    for (pugi::xml_node node : facts.order)
        total += SearchHitsOf(node, query, matchCase);
    const std::vector<Ref>& hits = found.GetValue();
    FUZZ_CHECK(hits.size() == std::min(total, kMaxHits), std::to_string(hits.size()) + " hits for \"" +
                                                             query + "\", " + std::to_string(total) +
                                                             " expected");
    std::map<const void*, size_t> listed;
    for (const Ref& hit : hits) {
        CheckRef(hit, hit->node, facts);
        FUZZ_CHECK(++listed[hit->node.internal_object()] <= SearchHitsOf(hit->node, query, matchCase),
                   "a node listed more often than it matches \"" + query + "\"");
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The documents come from the arenas users run, which tell the sanitizer what they hold.
    FUZZ_CHECK(pugi::get_memory_allocation_function() == AllocateDocumentMemory,
               "documents are allocated past the document arenas");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = WriteScratchFile("input.arxml", data, size);
    std::shared_ptr<State> state = UpdateWhile(OpenInViewer(path), StateKind::Loading);
    if (state->GetKind() != StateKind::Indexing) {
        CheckFailedLoad(*state, path);
        return 0;
    }
    FUZZ_CHECK(state->GetFilePath() == path && state->document, "indexing without the document");
    const pugi::xml_document& document = *state->document;
    DocumentFacts facts = GatherFacts(document);

    // The search service picks a query up on its own schedule: start it first, check the rest
    // meanwhile, and collect its answer last.
    bool matchCase = size % 2 == 1;
    std::string query = PickQuery(facts, document, matchCase);
    state->FullTextSearch(query, matchCase);

    Result<Ref> walkedTop = CheckWalkingLookups(*state, facts);
    state = UpdateWhile(state, StateKind::Indexing);
    FUZZ_CHECK(state->GetKind() == StateKind::Ready,
               "indexing ended in state " + std::to_string(int(state->GetKind())));
    CheckIndexedLookups(*state, facts);
    CheckSameAnswer(walkedTop, state->FindRef("/"), "/");
    CheckReferrers(*state, facts);
    CheckSearch(*state, facts, query, matchCase);
    return 0;
}
