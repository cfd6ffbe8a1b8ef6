// The answers of tessaro-query must not change when the index changes inside. The expected answers
// were recorded once per document and command (only their lengths and hashes are kept, since the
// real files may not be copied here). To record them again, run this test with
// TESSARO_SLOW_TESTS=1 TESSARO_RECORD_GOLDEN=1 and replace QueryGoldenAnswers.tsv with its
// standard output.
#include "bench/DocumentGenerator.h"
#include "cli/QueryRunner.h"
#include "support/SlowTests.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

using nlohmann::json;

namespace {
constexpr size_t kPicks = 6;

std::string Fingerprint(const std::string& bytes)
{
    std::ostringstream out;
    uint64_t fnv1a = 14695981039346656037ull; // as the answers were recorded
    for (unsigned char c : bytes)
        fnv1a = (fnv1a ^ c) * 1099511628211ull;
    out << bytes.size() << '\t' << std::hex << fnv1a;
    return out.str();
}

// The output without the file column: where the file sits is no part of the answer.
std::string Answer(const std::vector<std::string>& args)
{
    static const std::regex fileColumn(R"(,"file":"(\\.|[^"\\])*")");
    return std::regex_replace(RunQuery(args).out, fileColumn, "");
}

// Up to `count` members of `values`, spread evenly over their order.
std::vector<std::string> Spread(const std::set<std::string>& values, size_t count)
{
    std::vector<std::string> all(values.begin(), values.end()), picked;
    for (size_t i = 0; i < count && i < all.size(); ++i)
        picked.push_back(all[i * all.size() / std::min(count, all.size())]);
    return picked;
}

// The arguments worth asking about, read from the file with pugixml alone.
void CollectTexts(pugi::xml_node node, std::set<std::string>& names, std::set<std::string>& references)
{
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && std::string_view(child.name()) == "SHORT-NAME")
            names.insert(child.text().get());
        if (child.type() == pugi::node_element && child.text().get()[0] == '/')
            references.insert(child.text().get());
        CollectTexts(child, names, references);
    }
}

// Fingerprints of the commands' answers for one file, by command.
std::map<std::string, std::string> Answers(const std::string& file)
{
    std::set<std::string> names, references;
    pugi::xml_document document;
    if (document.load_file(file.c_str()).status == pugi::status_ok)
        CollectTexts(document, names, references);

    std::map<std::string, std::string> answers;
    QueryRun stats = RunQuery({file, "stats"});
    std::string statsLine = stats.out;
    if (stats.exitCode == 0) {
        json line = stats.Lines().at(0);
        line.erase("file"); // where the file sits is no part of the answer
        statsLine = line.dump();
    }
    answers["stats"] = std::to_string(stats.exitCode) + '\t' + Fingerprint(statsLine);
    answers["paths"] = Fingerprint(Answer({file, "paths"}));
    answers["broken-refs"] = Fingerprint(Answer({file, "broken-refs"}));

    std::string refsTo, findRef, findShortName;
    std::vector<std::string> targets = Spread(references, kPicks);
    targets.push_back("/no/such/element");
    for (const std::string& target : targets) {
        refsTo += Answer({file, "refs-to", target});
        findRef += Answer({file, "find-ref", target});
    }
    std::vector<std::string> picked = Spread(names, kPicks);
    picked.push_back("no-such-name");
    for (const std::string& name : picked)
        findShortName += Answer({file, "find-shortname", name});
    answers["refs-to"] = Fingerprint(refsTo);
    answers["find-ref"] = Fingerprint(findRef);
    answers["find-shortname"] = Fingerprint(findShortName);
    return answers;
}

// A chain of nested named elements, each referring to its parent: deep paths, deep referrers.
std::string NamedChain(int depth)
{
    std::string xml = "<AUTOSAR>";
    std::string path;
    for (int i = 0; i < depth; ++i) {
        std::string name = "L" + std::to_string(i % 7);
        xml += "<E><SHORT-NAME>" + name + "</SHORT-NAME>";
        if (!path.empty())
            xml += "<UP-REF>" + path + "</UP-REF>";
        path += "/" + name;
    }
    for (int i = 0; i < depth; ++i)
        xml += "</E>";
    return xml + "</AUTOSAR>";
}

// Documents of our own, named as in the table, written into `dir`.
std::vector<std::pair<std::string, std::string>> OwnDocuments(const TempDir& dir)
{
    return {
        {"generated-2MB-seed5", dir.Write("generated.arxml", GenerateArxml(2'000'000, 5))},
        {"named-chain-1500", dir.Write("chain.arxml", NamedChain(1500))},
    };
}

std::string ExpectedTablePath()
{
    return std::string(TESSARO_SOURCE_DIR) + "/tests/cli/QueryGoldenAnswers.tsv";
}

// "document<TAB>command" -> the rest of the line.
std::map<std::string, std::string> ReadExpected()
{
    std::map<std::string, std::string> expected;
    std::ifstream in(ExpectedTablePath());
    for (std::string line; std::getline(in, line);) {
        size_t first = line.find('\t'), second = line.find('\t', first + 1);
        if (line.empty() || line[0] == '#' || second == std::string::npos)
            continue;
        expected[line.substr(0, second)] = line.substr(second + 1);
    }
    return expected;
}
} // namespace

TEST(QueryGolden, EveryAnswerMatchesTheRecordedOne)
{
    TESSARO_SLOW_TEST();
    TempDir dir;
    std::vector<std::pair<std::string, std::string>> documents = OwnDocuments(dir);
    for (const auto& file : SharedArxmlFiles())
        documents.emplace_back(file.filename().string(), file.string());

    bool record = std::getenv("TESSARO_RECORD_GOLDEN") != nullptr;
    std::map<std::string, std::string> expected = ReadExpected();
    if (!record) {
        ASSERT_FALSE(expected.empty()) << "no recorded answers in " << ExpectedTablePath();
    }
    size_t compared = 0;
    for (const auto& [name, file] : documents) {
        for (const auto& [command, answer] : Answers(file)) {
            std::string key = name + '\t' + command;
            if (record) {
                std::cout << key << '\t' << answer << '\n';
                continue;
            }
            auto recorded = expected.find(key);
            if (recorded == expected.end() && name.rfind("generated", 0) != 0 && name.rfind("named", 0) != 0)
                continue; // a real file that was not there when the answers were recorded
            ASSERT_NE(recorded, expected.end()) << key;
            EXPECT_EQ(answer, recorded->second) << key;
            ++compared;
        }
    }
    if (!record && SharedArxmlFiles().empty())
        std::cout << "shared ARXML files absent: compared our own documents only\n";
    EXPECT_GT(compared, 0u);
}
