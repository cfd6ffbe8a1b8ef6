#include "cli/QueryRunner.h"
#include "support/TestDocuments.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <algorithm>

using nlohmann::json;

namespace {
// Line numbers matter: the answers below name them.
const std::string kDocument = R"(<AUTOSAR>
<AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME><ELEMENTS>
<SIG UUID="u-speed"><SHORT-NAME>Speed</SHORT-NAME>
  <T-REF>/P/Type</T-REF>
  <I-REF>/P/Type</I-REF></SIG>
<SIG><SHORT-NAME>Door</SHORT-NAME><S-REF>/P/Speed/</S-REF><M-REF>/Gone</M-REF></SIG>
<TYPE><SHORT-NAME>Type</SHORT-NAME><DESC>speed in km/h</DESC></TYPE>
<FRAME><SHORT-NAME>F1</SHORT-NAME><S-REF>/P/Speed</S-REF><S-REF>/Gone</S-REF></FRAME>
</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>
)";

struct Case
{
    std::vector<std::string> args;
    std::string out;
    bool anyOrder = false; // search hits come in the order the workers found them
};

std::vector<std::string> SortedLines(const std::string& text)
{
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    std::sort(lines.begin(), lines.end());
    return lines;
}
} // namespace

TEST(QueryTool, EveryCommandAnswersInJsonLinesAndNotFoundIsAnAnswer)
{
    TempDir dir;
    std::string file = dir.Write("system.arxml", kDocument);
    const Case cases[] = {
        {{"stats"},
         R"({"file":")" + file +
             R"(","nodes":33,"paths":5,"short_names":5,"reference_texts":4,"referring_nodes":6})"
             "\n"},
        {{"paths"},
         R"({"path":"/P","tag":"AR-PACKAGE"}
{"path":"/P/Door","tag":"SIG"}
{"path":"/P/F1","tag":"FRAME"}
{"path":"/P/Speed","tag":"SIG"}
{"path":"/P/Type","tag":"TYPE"}
)"},
        {{"find-ref", "/P/Speed"}, "{\"path\":\"/P/Speed\",\"tag\":\"SIG\",\"line\":3}\n"},
        {{"find-ref", "/P/Speed/"}, "{\"error\":\"Invalid Reference\"}\n"},
        {{"find-ref", "P/Speed"}, "{\"error\":\"Invalid Reference\"}\n"},
        {{"find-shortname", "F1"}, "{\"path\":\"/P/F1\",\"tag\":\"FRAME\",\"line\":8}\n"},
        {{"find-shortname", "f1"}, "{\"error\":\"Could not find such an element.\"}\n"},
        {{"refs-to", "/P/Type"},
         "{\"path\":\"/P/Speed\",\"node\":\"T-REF\",\"line\":4}\n{\"path\":\"/P/"
         "Speed\",\"node\":\"I-REF\",\"line\":5}\n"},
        {{"refs-to", "/P/Speed"}, "{\"path\":\"/P/F1\",\"node\":\"S-REF\",\"line\":8}\n"},
        {{"refs-to", "/P/Door"}, "{\"error\":\"No nodes reference this element.\"}\n"},
        {{"broken-refs"},
         R"({"ref":"/Gone","count":2,"first_referrer":"/P/Door"}
{"ref":"/P/Speed/","count":1,"first_referrer":"/P/Door"}
)"},
        {{"search", "speed", "--match-case"},
         R"({"path":"/P/Speed","node":"SIG"}
{"path":"/P/Type","node":"DESC"}
{"path":"/P/Type","node":"PC_DATA"}
{"hits":3,"capped":false}
)",
         true},
        {{"search", "SPEED"},
         R"({"path":"/P/Speed","node":"SHORT-NAME"}
{"path":"/P/Speed","node":"PC_DATA"}
{"path":"/P/Speed","node":"SIG"}
{"path":"/P/Door","node":"S-REF"}
{"path":"/P/Door","node":"PC_DATA"}
{"path":"/P/F1","node":"S-REF"}
{"path":"/P/F1","node":"PC_DATA"}
{"path":"/P/Type","node":"DESC"}
{"path":"/P/Type","node":"PC_DATA"}
{"hits":9,"capped":false}
)",
         true},
        {{"search", "nowhere"}, "{\"hits\":0,\"capped\":false}\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{file};
        args.insert(args.end(), c.args.begin(), c.args.end());
        QueryRun run = RunQuery(args);
        SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, "");
        if (c.anyOrder)
            EXPECT_EQ(SortedLines(run.out), SortedLines(c.out));
        else
            EXPECT_EQ(run.out, c.out);
    }
}

TEST(QueryTool, SearchStopsAtTheHundredHitCap)
{
    TempDir dir;
    std::string xml = "<AUTOSAR>";
    for (int i = 0; i < 150; ++i)
        xml += "<X><SHORT-NAME>Hit" + std::to_string(i) + "</SHORT-NAME></X>";
    std::string file = dir.Write("many.arxml", xml + "</AUTOSAR>");
    std::vector<json> lines = RunQuery({file, "search", "hit"}).Lines();
    ASSERT_EQ(lines.size(), 101u);
    EXPECT_EQ(lines.back(), (json{{"hits", 100}, {"capped", true}}));
}

TEST(QueryTool, LinesCountInTheParsedBytesOrAreLeftOut)
{
    TempDir dir;
    auto lineOfF1 = [&](const std::string& name, const std::string& content) {
        std::string file = name.ends_with(".zip") ? dir.File(name) : dir.Write(name, content);
        if (name.ends_with(".zip"))
            WriteZip(file, {{"notes.txt", "\n\n\n\n"}, {"x/system.arxml", content}});
        json found = RunQuery({file, "find-ref", "/P/F1"}).Lines().at(0);
        EXPECT_EQ(found["path"], "/P/F1") << name;
        return found.value("line", 0);
    };
    std::string crlf;
    for (char c : kDocument)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(lineOfF1("plain.arxml", kDocument), 8);
    EXPECT_EQ(lineOfF1("member.zip", kDocument), 8);
    EXPECT_EQ(lineOfF1("crlf.arxml", crlf), 8);
    EXPECT_EQ(lineOfF1("bom.arxml", "\xEF\xBB\xBF" + kDocument), 8);

    // Converted before parsing, so offsets no longer match the file: no line rather than a wrong one.
    std::string utf16 = "\xFF\xFE";
    for (char c : kDocument)
        utf16 += std::string{c, '\0'};
    EXPECT_EQ(lineOfF1("wide.arxml", utf16), 0);
    std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><!-- \xE9\xE9\xE9 -->\n";
    EXPECT_EQ(lineOfF1("latin1.arxml", latin1 + kDocument), 0);
}

TEST(QueryTool, InvalidUtf8InTheDocumentIsReplacedNotFatal)
{
    TempDir dir;
    std::string file =
        dir.Write("bad.arxml", "<A><E><SHORT-NAME>B\xFF\xFEN</SHORT-NAME><R>/B\xFF</R></E></A>");
    QueryRun paths = RunQuery({file, "paths"});
    EXPECT_EQ(paths.exitCode, 0);
    EXPECT_EQ(paths.Lines().at(0)["path"], "/B\xEF\xBF\xBD\xEF\xBF\xBDN");
    EXPECT_EQ(RunQuery({file, "broken-refs"}).Lines().at(0)["ref"], "/B\xEF\xBF\xBD");
}

TEST(QueryTool, LoadFailuresExitOneWithTheViewersMessage)
{
    TempDir dir;
    for (const std::string& path : {dir.File("missing.arxml"), dir.Write("bad.arxml", "<A><open></A>"),
                                    dir.Write("text.zip", "just text"), std::string()}) {
        QueryRun run = RunQuery({path, "stats"});
        EXPECT_EQ(run.exitCode, 1) << path;
        EXPECT_EQ(run.err, "Could not load the file " + path + "\n");
        EXPECT_EQ(run.out, "");
    }
}

TEST(QueryTool, BadUsageExitsTwoWithOneLineBeforeTheFileIsRead)
{
    TempDir dir;
    std::string file = dir.Write("system.arxml", kDocument);
    std::string missing = dir.File("missing.arxml");
    const std::vector<std::vector<std::string>> misuses{
        {},
        {file},
        {file, "frobnicate"},
        {missing, "frobnicate"},
        {file, "find-ref"},
        {file, "find-shortname"},
        {file, "refs-to"},
        {file, "search"},
        {file, "search", "--match-case"},
        {file, "stats", "extra"},
        {file, "find-ref", "/A", "/B"},
    };
    for (const auto& args : misuses) {
        QueryRun run = RunQuery(args);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_TRUE(run.err.starts_with("tessaro-query: ")) << run.err;
    }
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"-h"}, {file, "--help"}}) {
        QueryRun run = RunQuery(args);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.out.starts_with("Usage: tessaro-query FILE COMMAND"));
    }
}

TEST(QueryTool, OutputThatCannotBeWrittenIsNotReportedAsSuccess)
{
    TempDir dir;
    QueryRun run = RunQuery({dir.Write("system.arxml", kDocument), "paths"}, "/dev/full");
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err, "");
}
