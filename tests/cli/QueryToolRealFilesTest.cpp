#include "cli/QueryRunner.h"
#include "model/Index.h"
#include "query/ReadyState.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

using nlohmann::json;

namespace {
// The index counted again straight from pugixml, without the engine's code.
struct Counts
{
    uint64_t nodes = 0;
    std::set<std::string> paths, shortNames, referenceTexts;
    size_t referringNodes = 0;
};

void CountNode(pugi::xml_node node, std::string path, Counts& counts)
{
    ++counts.nodes;
    if (pugi::xml_node shortName = node.child("SHORT-NAME"); shortName.type() == pugi::node_element) {
        path = path + "/" + shortName.text().get();
        counts.paths.insert(path);
        counts.shortNames.insert(shortName.text().get());
    }
    bool holdsText = node.type() == pugi::node_element || node.type() == pugi::node_cdata;
    if (holdsText && node.text().get()[0] == '/') {
        counts.referenceTexts.insert(node.text().get());
        ++counts.referringNodes;
    }
    for (pugi::xml_node child : node.children())
        CountNode(child, path, counts);
}

std::filesystem::path SharedFile(const std::string& name)
{
    for (const auto& file : SharedArxmlFiles()) {
        if (name.empty() ? std::filesystem::file_size(file) > 2'000'000 : file.filename() == name)
            return file;
    }
    return {};
}
} // namespace

TEST(QueryToolRealFiles, StatsAgreesWithAnIndependentCountOfEveryFile)
{
    if (SharedArxmlFiles().empty())
        GTEST_SKIP() << "no shared ARXML files";
    for (const auto& file : SharedArxmlFiles()) {
        QueryRun run = RunQuery({file.string(), "stats"});
        pugi::xml_document document;
        if (document.load_file(file.c_str()).status != pugi::status_ok) {
            EXPECT_EQ(run.exitCode, 1) << file;
            continue;
        }
        Counts counts;
        CountNode(document, "", counts);
        json expected{{"file", file.string()},
                      {"size", std::filesystem::file_size(file)},
                      {"nodes", counts.nodes},
                      {"paths", counts.paths.size()},
                      {"short_names", counts.shortNames.size()},
                      {"reference_texts", counts.referenceTexts.size()},
                      {"referring_nodes", counts.referringNodes}};
        std::vector<json> got = run.Lines();
        ASSERT_EQ(got.size(), 1u) << file;
        // Texts resolved from relative references are not in the plain count.
        if (got[0].value("relative_references", 0) != 0) {
            for (const char* key : {"reference_texts", "referring_nodes"}) {
                got[0].erase(key);
                expected.erase(key);
            }
        }
        got[0].erase("relative_references");
        EXPECT_EQ(got[0], expected) << file;
    }
}

TEST(QueryToolRealFiles, BrokenRefsFindsTheDanglingReferenceAndNothingWhereAllResolve)
{
    std::filesystem::path dangling = SharedFile("cantools__cantools__system-dangling-reference-4.2.arxml");
    std::filesystem::path sound = SharedFile("cantools__cantools__system-4.2.arxml");
    if (dangling.empty() || sound.empty())
        GTEST_SKIP() << "shared ARXML files absent";
    EXPECT_EQ(
        RunQuery({dangling.string(), "broken-refs"}).out,
        "{\"ref\":\"/PackageDoesNotExist/Message1\",\"count\":1,"
        "\"first_referrer\":\"/Cluster/Cluster0/Pch0/message1\",\"reason\":\"target missing\",\"file\":\"" +
            dangling.string() + "\"}\n");
    EXPECT_EQ(RunQuery({sound.string(), "broken-refs"}).out, ""); // every reference text resolves
}

TEST(QueryToolRealFiles, RefsToAgreesWithCountRefsToAndPointsAtTheReferringLines)
{
    std::filesystem::path file = SharedFile("");
    if (file.empty())
        GTEST_SKIP() << "no large shared ARXML file";
    auto ready = std::dynamic_pointer_cast<ReadyState>(OpenAndSettle(file.string()));
    ASSERT_TRUE(ready);
    std::string target; // the most referenced element that exists
    OnlyIndex(*ready).ForEachReferenceText([&](std::string_view text, std::span<const pugi::xml_node> nodes) {
        if (ready->FindRef(std::string(text)).status == ResultStatus::Done &&
            nodes.size() > ready->CountRefsTo(target).GetValue())
            target = text;
    });
    ASSERT_FALSE(target.empty());

    std::vector<json> referrers = RunQuery({file.string(), "refs-to", target}).Lines();
    EXPECT_EQ(referrers.size(), ready->CountRefsTo(target).GetValue());
    std::ifstream in(file);
    std::vector<std::string> lines(1);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    for (const json& referrer : referrers)
        EXPECT_NE(lines.at(referrer.value("line", 0)).find(">" + target + "<"), std::string::npos);
}
