#include "lifecycle/ReadyState.h"
#include "model/Index.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace {
// The "well_formed" column of SOURCES.tsv, by file name: written by whoever collected the files.
std::map<std::string, bool> WellFormedByName()
{
    std::map<std::string, bool> wellFormed;
    std::ifstream sources(std::string(TESSARO_SHARED_ARXML_DIR) + "/SOURCES.tsv");
    std::string line;
    std::getline(sources, line); // header
    while (std::getline(sources, line)) {
        std::istringstream fields(line);
        std::vector<std::string> columns;
        for (std::string column; std::getline(fields, column, '\t');)
            columns.push_back(column);
        if (columns.size() > 10)
            wellFormed[columns[0]] = columns[10].rfind("yes", 0) == 0;
    }
    return wellFormed;
}

// Reference texts counted with the parser's own tree walker, not the index builder.
struct ReferenceCounter : pugi::xml_tree_walker
{
    std::map<std::string, size_t> counts;
    bool for_each(pugi::xml_node& node) override
    {
        if (node.type() == pugi::node_element || node.type() == pugi::node_cdata) {
            std::string text = node.text().get();
            if (!text.empty() && text[0] == '/')
                ++counts[text];
        }
        return true;
    }
};
} // namespace

TEST(RealFiles, EveryPathResolvesAndReferrerCountsAgree)
{
    auto files = SharedArxmlFiles();
    if (files.empty())
        GTEST_SKIP() << "no real ARXML files beside the project";
    auto wellFormed = WellFormedByName();

    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        auto state = OpenAndSettle(file.string());
        auto listed = wellFormed.find(file.filename().string());
        if (listed != wellFormed.end() && !listed->second) {
            EXPECT_EQ(state->GetKind(), StateKind::Error);
            EXPECT_EQ(state->GetErrorMessage().rfind("Could not load the file " + file.string() + ": ", 0),
                      0u)
                << state->GetErrorMessage();
            continue;
        }
        ASSERT_EQ(state->GetKind(), StateKind::Ready);
        const Index& index = OnlyIndex(*state);

        index.ForEachPath([&](std::string_view path, pugi::xml_node node) {
            auto found = state->FindRef(std::string(path));
            ASSERT_EQ(found.status, ResultStatus::Done) << path;
            ASSERT_EQ(found.GetValue()->path, path);
            ASSERT_EQ(found.GetValue()->node, node);
        });

        ReferenceCounter counter;
        state->document->traverse(counter);
        // Relative references add their resolved texts, which may also be written out in full.
        const bool plainOnly = index.RelativeReferenceCount() == 0;
        if (plainOnly) {
            EXPECT_EQ(counter.counts.size(), index.ReferenceTextCount());
        }
        for (const auto& [text, count] : counter.counts) {
            if (plainOnly)
                ASSERT_EQ(state->CountRefsTo(text).GetValue(), count) << text;
            else
                ASSERT_GE(state->CountRefsTo(text).GetValue(), count) << text;
        }
    }
}
