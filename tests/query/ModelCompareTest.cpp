#include "query/ModelCompare.h"
#include "model/Workspace.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {
// Two signals, and an ECUC container whose parameter values are told apart by DEFINITION-REF.
const std::string kBase =
    R"(<AUTOSAR xmlns="http://autosar.org/schema/r4.0"><AR-PACKAGES>)"
    R"(<AR-PACKAGE UUID="p" T="2024-01-01"><SHORT-NAME>P</SHORT-NAME><ELEMENTS>)"
    R"(<I-SIGNAL UUID="u1"><SHORT-NAME>S1</SHORT-NAME><LENGTH>8</LENGTH><I-SIGNAL-TYPE>PRIMITIVE</I-SIGNAL-TYPE></I-SIGNAL>)"
    R"(<I-SIGNAL UUID="u2"><SHORT-NAME>S2</SHORT-NAME><LENGTH>16</LENGTH></I-SIGNAL>)"
    R"(<ECUC-MODULE-CONFIGURATION-VALUES><SHORT-NAME>Can</SHORT-NAME><CONTAINERS><ECUC-CONTAINER-VALUE>)"
    R"(<SHORT-NAME>Gen</SHORT-NAME><PARAMETER-VALUES>)"
    R"(<ECUC-NUMERICAL-PARAM-VALUE><DEFINITION-REF DEST="D">/Defs/Can/CanBaudrate</DEFINITION-REF><VALUE>500</VALUE></ECUC-NUMERICAL-PARAM-VALUE>)"
    R"(<ECUC-NUMERICAL-PARAM-VALUE><DEFINITION-REF DEST="D">/Defs/Can/CanId</DEFINITION-REF><VALUE>1</VALUE></ECUC-NUMERICAL-PARAM-VALUE>)"
    R"(</PARAMETER-VALUES></ECUC-CONTAINER-VALUE></CONTAINERS></ECUC-MODULE-CONFIGURATION-VALUES>)"
    R"(</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>)";

const std::string kS1 =
    R"(<I-SIGNAL UUID="u1"><SHORT-NAME>S1</SHORT-NAME><LENGTH>8</LENGTH><I-SIGNAL-TYPE>PRIMITIVE</I-SIGNAL-TYPE></I-SIGNAL>)";
const std::string kS2 = R"(<I-SIGNAL UUID="u2"><SHORT-NAME>S2</SHORT-NAME><LENGTH>16</LENGTH></I-SIGNAL>)";
const std::string kBaudrate =
    R"(<ECUC-NUMERICAL-PARAM-VALUE><DEFINITION-REF DEST="D">/Defs/Can/CanBaudrate</DEFINITION-REF><VALUE>500</VALUE></ECUC-NUMERICAL-PARAM-VALUE>)";
const std::string kCanId =
    R"(<ECUC-NUMERICAL-PARAM-VALUE><DEFINITION-REF DEST="D">/Defs/Can/CanId</DEFINITION-REF><VALUE>1</VALUE></ECUC-NUMERICAL-PARAM-VALUE>)";

std::string Replaced(std::string text, const std::vector<std::pair<std::string, std::string>>& edits)
{
    for (const auto& [from, to] : edits) {
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    }
    return text;
}

std::shared_ptr<Workspace> Load(const std::vector<std::string>& paths)
{
    std::atomic<bool> stop{false};
    return std::make_shared<Workspace>(LoadWorkspaceFiles(paths, 1, stop));
}

// One line per change: "KIND PATH", then " from OLD-PATH" or " AT: OLD -> NEW" (- for missing).
std::vector<std::string> Lines(const std::vector<ModelChange>& changes)
{
    std::vector<std::string> lines;
    for (const ModelChange& change : changes) {
        std::string line = std::string(ChangeKindName(change.kind)) + " " + change.path;
        if (change.kind == ChangeKind::Moved)
            line += " from " + change.fromPath;
        if (change.kind == ChangeKind::Changed)
            line += " " + change.at + ": " + (change.oldValue ? change.oldValue : "-") + " -> " +
                    (change.newValue ? change.newValue : "-");
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> Compare(const std::string& oldXml, const std::string& newXml,
                                 const CompareOptions& options = {})
{
    TempDir dir;
    auto oldModel = Load({dir.Write("old.arxml", oldXml)});
    auto newModel = Load({dir.Write("new.arxml", newXml)});
    std::atomic<bool> stop{false};
    return Lines(CompareModels(*oldModel, *newModel, options, stop));
}

struct Case
{
    const char* name;
    std::vector<std::pair<std::string, std::string>> edits; // applied to kBase to make the new version
    CompareOptions options;
    std::vector<std::string> expected;
};
} // namespace

TEST(ModelCompare, EachKindOfChangeAndEachNonChangeIsToldExactly)
{
    const Case cases[] = {
        {"same", {}, {}, {}},
        {"re-indented", {{"><", ">\n    <"}}, {}, {}},
        {"named siblings reordered", {{kS1 + kS2, kS2 + kS1}}, {}, {}},
        {"parameter values reordered", {{kBaudrate + kCanId, kCanId + kBaudrate}}, {}, {}},
        {"ids regenerated, left out",
         {{"\"u1\"", "\"x1\""}, {"T=\"2024-01-01\"", "T=\"2025-02-02\""}},
         {true, ""},
         {}},
        {"ids regenerated, counted",
         {{"\"u2\"", "\"x2\""}, {"T=\"2024-01-01\"", "T=\"2025-02-02\""}},
         {},
         {"changed /P @T: 2024-01-01 -> 2025-02-02", "changed /P/S2 @UUID: u2 -> x2"}},
        {"value", {{"<LENGTH>8<", "<LENGTH>12<"}}, {}, {"changed /P/S1 LENGTH: 8 -> 12"}},
        {"parameter value and its attribute",
         {{"<VALUE>500<", "<VALUE>250<"}, {"D\">/Defs/Can/CanId", "E\">/Defs/Can/CanId"}},
         {},
         {"changed /P/Can/Gen PARAMETER-VALUES/ECUC-NUMERICAL-PARAM-VALUE[/Defs/Can/CanBaudrate]/VALUE: 500 "
          "-> 250",
          "changed /P/Can/Gen "
          "PARAMETER-VALUES/ECUC-NUMERICAL-PARAM-VALUE[/Defs/Can/CanId]/DEFINITION-REF/@DEST: D -> E"}},
        {"unnamed children added and removed: by place, with a DEFINITION-REF, in document order",
         {{"<LENGTH>16</LENGTH>", "<LENGTH>16</LENGTH><LENGTH>4</LENGTH>"},
          {"<LENGTH>8</LENGTH><I-SIGNAL-TYPE>PRIMITIVE</I-SIGNAL-TYPE>",
           "<TYPE-DESC>d</TYPE-DESC><LENGTH>8</LENGTH>"},
          {"</PARAMETER-VALUES>",
           "<ECUC-TEXTUAL-PARAM-VALUE><DEFINITION-REF>/Defs/Can/Name</DEFINITION-REF><VALUE>c</VALUE>"
           "</ECUC-TEXTUAL-PARAM-VALUE></PARAMETER-VALUES>"}},
         {},
         {"changed /P/Can/Gen PARAMETER-VALUES/ECUC-TEXTUAL-PARAM-VALUE[/Defs/Can/Name]/DEFINITION-REF: - -> "
          "/Defs/Can/Name",
          "changed /P/Can/Gen PARAMETER-VALUES/ECUC-TEXTUAL-PARAM-VALUE[/Defs/Can/Name]/VALUE: - -> c",
          "changed /P/S1 TYPE-DESC: - -> d", "changed /P/S1 I-SIGNAL-TYPE: PRIMITIVE -> -",
          "changed /P/S2 LENGTH[2]: - -> 4"}},
        {"removed and added, subtrees not listed again",
         {{kS2, ""},
          {"</ELEMENTS>",
           "<I-SIGNAL-I-PDU><SHORT-NAME>Pdu</SHORT-NAME><I-SIGNAL-TO-PDU-MAPPINGS>"
           "<I-SIGNAL-TO-I-PDU-MAPPING><SHORT-NAME>M</SHORT-NAME>"
           "</I-SIGNAL-TO-I-PDU-MAPPING></I-SIGNAL-TO-PDU-MAPPINGS></I-SIGNAL-I-PDU></ELEMENTS>"}},
         {},
         {"added /P/Pdu", "removed /P/S2"}},
        {"a container emptied of its named elements has no value of its own",
         {{"<ECUC-CONTAINER-VALUE><SHORT-NAME>Gen</SHORT-NAME><PARAMETER-VALUES>" + kBaudrate + kCanId +
               "</PARAMETER-VALUES></ECUC-CONTAINER-VALUE>",
           ""}},
         {},
         {"removed /P/Can/Gen"}},
        {"renamed, with a value changed",
         {{"S1<", "S9<"}, {"<LENGTH>8<", "<LENGTH>9<"}},
         {},
         {"moved /P/S9 from /P/S1", "changed /P/S9 LENGTH: 8 -> 9"}},
        {"package renamed: what lies below moves with it, and a change below it still shows",
         {{"<SHORT-NAME>P<", "<SHORT-NAME>Q<"}, {"<VALUE>1<", "<VALUE>2<"}},
         {},
         {"moved /Q from /P",
          "changed /Q/Can/Gen PARAMETER-VALUES/ECUC-NUMERICAL-PARAM-VALUE[/Defs/Can/CanId]/VALUE: 1 -> 2"}},
        {"same name, no UUID: removed and added",
         {{"S2<", "S3<"}, {"\"u2\"", "\"u3\""}},
         {},
         {"removed /P/S2", "added /P/S3"}},
        {"content above every named element, at /",
         {{"r4.0\"", "r4.1\""}},
         {},
         {"changed / AUTOSAR/@xmlns: http://autosar.org/schema/r4.0 -> http://autosar.org/schema/r4.1"}},
        {"only under a path",
         {{"<LENGTH>8<", "<LENGTH>12<"},
          {"<LENGTH>16<", "<LENGTH>17<"},
          {"r4.0\"", "r4.1\""},
          {"S1<", "S9<"}},
         {false, "/P/S2"},
         {"changed /P/S2 LENGTH: 16 -> 17"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Compare(kBase, Replaced(kBase, c.edits), c.options), c.expected) << c.name;
}

// A real model against itself.
TEST(ModelCompare, RealFilesAgainstThemselvesShowNoChange)
{
    std::vector<std::filesystem::path> files = SharedArxmlFiles();
    if (files.empty())
        GTEST_SKIP() << "no real ARXML files beside the project";
    for (const std::filesystem::path& file : files) {
        auto oldModel = Load({file.string()});
        auto newModel = Load({file.string()});
        std::atomic<bool> stop{false};
        EXPECT_EQ(Lines(CompareModels(*oldModel, *newModel, {}, stop)), std::vector<std::string>()) << file;
    }
}
