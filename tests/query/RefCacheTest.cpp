#include "query/RefCache.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::optional<Result<Ref>> Lookup(const RefCache& cache, std::string_view key)
{
    return cache.Find(key, RefCache::Hash(key));
}
} // namespace

// Keys live in the answers' own paths or in the cache; none may move while the table grows.
TEST(RefCache, EveryKindOfKeyIsFoundAgainAfterTheTableGrew)
{
    auto doc = ParseDocument("<R><SHORT-NAME>R</SHORT-NAME></R>");
    pugi::xml_node node = doc->child("R");
    RefCache paths("Invalid Reference");
    RefCache names("No such name");
    std::vector<const Ref*> stored;
    for (int i = 0; i < 2000; ++i) {
        Ref ref(node, "/Package/Sub/Element" + std::to_string(i));
        std::string_view key = ref->path;
        std::string_view tail = key.substr(key.rfind('/') + 1); // a short name the path ends with
        Result<Ref> answer = paths.Add(key, RefCache::Hash(key), ref);
        stored.push_back(answer.value.get());
        names.Add(tail, RefCache::Hash(tail), ref);

        std::string missed = "m" + std::to_string(i); // short enough to sit inside the string
        uint64_t hash = RefCache::Hash(missed);
        EXPECT_EQ(paths.AddMissing(missed, hash).message, "Invalid Reference");
    }
    for (int i = 0; i < 2000; ++i) {
        std::optional<Result<Ref>> byPath = Lookup(paths, "/Package/Sub/Element" + std::to_string(i));
        ASSERT_TRUE(byPath) << i;
        EXPECT_EQ(byPath->value.get(), stored[i]);
        std::optional<Result<Ref>> byName = Lookup(names, "Element" + std::to_string(i));
        ASSERT_TRUE(byName) << i;
        EXPECT_EQ(byName->status, ResultStatus::Done);
        EXPECT_EQ(byName->GetValue()->path, "/Package/Sub/Element" + std::to_string(i));
        std::optional<Result<Ref>> miss = Lookup(paths, "m" + std::to_string(i));
        ASSERT_TRUE(miss) << i;
        EXPECT_EQ(miss->status, ResultStatus::Error);
        EXPECT_EQ(miss->message, "Invalid Reference");
        EXPECT_FALSE(Lookup(names, "m" + std::to_string(i)));
    }
}

TEST(RefCache, KeysAreMatchedByEveryByte)
{
    auto doc = ParseDocument("<R/>");
    RefCache cache("missing");
    for (const char* path : {"/A/B", "/A/B/", "", "/A/b"}) {
        Ref ref(doc->child("R"), path);
        std::string_view key = ref->path;
        cache.Add(key, RefCache::Hash(key), ref);
    }
    for (const char* path : {"/A/B", "/A/B/", "", "/A/b"}) {
        std::optional<Result<Ref>> found = Lookup(cache, path);
        ASSERT_TRUE(found) << path;
        EXPECT_EQ(found->GetValue()->path, path);
    }
    for (const char* absent : {"/A", "/A/B//", "A/B", "/a/B"})
        EXPECT_FALSE(Lookup(cache, absent)) << absent;
    EXPECT_FALSE(Lookup(cache, std::string_view("/A/B\0", 5)));
    EXPECT_FALSE(Lookup(RefCache("missing"), "/A/B"));
}
