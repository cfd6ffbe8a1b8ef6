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

} // namespace

TEST(QueryTool, EveryCommandAnswersInJsonLinesAndNotFoundIsAnAnswer)
{
    TempDir dir;
    std::string file = dir.Write("system.arxml", kDocument);
    const std::string in = ",\"file\":\"" + file + "\"}\n"; // every row names its file
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"stats"},
         R"({"file":")" + file +
             R"(","size":468,"nodes":33,"paths":5,"short_names":5,"reference_texts":4,"referring_nodes":6,)"
             R"("relative_references":0})"
             "\n"},
        {{"paths"},
         R"({"path":"/P","tag":"AR-PACKAGE")" + in + R"({"path":"/P/Door","tag":"SIG")" + in +
             R"({"path":"/P/F1","tag":"FRAME")" + in + R"({"path":"/P/Speed","tag":"SIG")" + in +
             R"({"path":"/P/Type","tag":"TYPE")" + in},
        {{"find-ref", "/P/Speed"}, "{\"path\":\"/P/Speed\",\"tag\":\"SIG\",\"line\":3" + in},
        {{"find-ref", "/P/Speed/"}, "{\"error\":\"Invalid Reference\"}\n"},
        {{"find-shortname", "F1"}, "{\"path\":\"/P/F1\",\"tag\":\"FRAME\",\"line\":8" + in},
        {{"find-shortname", "f1"}, "{\"error\":\"Could not find such an element.\"}\n"},
        {{"refs-to", "/P/Type"},
         "{\"path\":\"/P/Speed\",\"node\":\"T-REF\",\"line\":4" + in +
             "{\"path\":\"/P/Speed\",\"node\":\"I-REF\",\"line\":5" + in},
        {{"refs-to", "/P/Door"}, "{\"error\":\"No nodes reference this element.\"}\n"},
        {{"broken-refs"},
         R"({"ref":"/Gone","count":2,"first_referrer":"/P/Door","reason":"target missing")" + in +
             R"({"ref":"/P/Speed/","count":1,"first_referrer":"/P/Door","reason":"target missing")" + in},
    };
    for (const auto& [args, out] : cases) {
        std::vector<std::string> all{file};
        all.insert(all.end(), args.begin(), args.end());
        QueryRun run = RunQuery(all);
        EXPECT_EQ(run.exitCode, 0) << args[0];
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out, out);
    }
    // Hits come in the order the workers found them: counted, then the summary line.
    for (auto [args, hits] : {std::pair<std::vector<std::string>, int>{{"speed", "--match-case"}, 3},
                              {{"SPEED"}, 9},
                              {{"nowhere"}, 0}}) {
        args.insert(args.begin(), {file, "search"});
        std::vector<json> lines = RunQuery(args).Lines();
        ASSERT_EQ(lines.size(), hits + 1u) << args[2];
        EXPECT_EQ(lines.back(), (json{{"hits", hits}, {"capped", false}}));
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
    // The parser folds line ends and decodes newlines of values where they lie: lines are
    // counted in the bytes as they were before.
    std::string escaped = kDocument;
    escaped.replace(escaped.find("speed in km/h"), 13, "speed&#10;&#10;in\n\n\nkm/h\n\n");
    std::string crlf, utf16 = "\xFF\xFE";
    for (char c : escaped) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        utf16 += std::string{c, '\0'};
    }
    EXPECT_EQ(lineOfF1("member.zip", kDocument), 8);
    EXPECT_EQ(lineOfF1("crlf.arxml", crlf), 13);
    // Converted before parsing, so offsets no longer match the file: no line rather than a wrong one.
    EXPECT_EQ(lineOfF1("wide.arxml", utf16), 0);
}

// Unloadable files exit 1 with the viewer's message; bad usage exits 2 with one line before the
// file is read; output that cannot be written exits 3.
TEST(QueryTool, BadInputExitsNonZeroWithoutOutput)
{
    TempDir dir;
    std::string file = dir.Write("system.arxml", kDocument);
    const std::vector<std::pair<std::string, std::string>> unloadable{
        {dir.File("missing.arxml"), ": No such file or directory"},
        {dir.Write("bad.arxml", "<A>\n<open></A>"), ": Start-end tags mismatch at line 2, column 9"},
        {dir.Write("text.zip", "just text"), ": Not a zip archive"},
        {"", ""},
    };
    for (const auto& [path, reason] : unloadable) {
        QueryRun run = RunQuery({path, "stats"});
        EXPECT_EQ(run.exitCode, 1) << path;
        EXPECT_EQ(run.err, "Could not load the file " + path + reason + "\n");
        EXPECT_EQ(run.out, "");
    }
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {file},
             {file, "frobnicate"},
             {dir.File("missing.arxml"), "frobnicate"},
             {file, "find-ref"},
             {file, "search", "--match-case"},
             {file, "stats", "extra"},
             {file, "diff"},
             {file, file, "diff", file},
             {file, "diff", file, "--kinds", "renamed"},
             {file, "diff", file, "--under"},
         }) {
        QueryRun run = RunQuery(args);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_TRUE(run.err.starts_with("tessaro-query: ")) << run.err;
    }
    for (const std::string& output : {std::string("/dev/full"), kClosedPipe}) {
        QueryRun failed = RunQuery({file, "paths"}, output);
        EXPECT_EQ(failed.exitCode, 3) << output;
        EXPECT_EQ(failed.err, "tessaro-query: could not write the output\n") << output;
    }
}

// Names and paths are bytes: one that is not UTF-8 must not break the JSON of any command.
TEST(QueryTool, EveryCommandPrintsBadUtf8AsReplacementCharacters)
{
    TempDir dir;
    const std::string file =
        dir.Write("Caf\xE9.arxml", "<AUTOSAR><AR-PACKAGES><AR-PACKAGE>"
                                   "<SHORT-NAME>Caf\xE9</SHORT-NAME><ELEMENTS>"
                                   "<SIG><SHORT-NAME>S\xE9</SHORT-NAME>"
                                   "<T-REF>/Caf\xE9</T-REF><G-REF>/Caf\xE9/Gone</G-REF>"
                                   "</SIG></ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>");
    const std::string replaced = "Caf\xEF\xBF\xBD"; // U+FFFD
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"stats"},
             {"paths"},
             {"find-ref", "/Caf\xE9"},
             {"find-shortname", "Caf\xE9"},
             {"refs-to", "/Caf\xE9"},
             {"search", "caf"},
             {"broken-refs"},
         }) {
        std::vector<std::string> all{file};
        all.insert(all.end(), args.begin(), args.end());
        QueryRun run = RunQuery(all);
        EXPECT_EQ(run.exitCode, 0) << args[0] << ": " << run.err;
        EXPECT_FALSE(run.Lines().empty()) << args[0];
        EXPECT_NE(run.out.find(replaced), std::string::npos) << args[0] << ": " << run.out;
        EXPECT_EQ(run.out.find("\xE9"), std::string::npos) << args[0] << ": a raw bad byte";
    }
}

TEST(QueryTool, HelpGoesToStandardOutputAndATimeLimitEndsAWaitingRun)
{
    for (const char* help : {"--help", "-h"}) {
        QueryRun run = RunQuery({help});
        EXPECT_EQ(run.exitCode, 0) << help;
        EXPECT_TRUE(run.out.starts_with("Usage: tessaro-query")) << run.out;
        EXPECT_NE(run.out.find("--timeout SECONDS"), std::string::npos);
        EXPECT_EQ(run.err, "");
    }

    TempDir dir;
    const std::string file = dir.Write("system.arxml", kDocument);
    QueryRun late = RunQuery({"--timeout", "0", file, "stats"});
    EXPECT_EQ(late.exitCode, 4);
    EXPECT_EQ(late.out, "");
    EXPECT_EQ(late.err, "tessaro-query: no answer within 0 s (see --timeout)\n");
    EXPECT_EQ(RunQuery({"--timeout", "30", file, "find-ref", "/P/F1"}).exitCode, 0);
    for (const char* bad : {"-1", "soon", "1x"}) {
        QueryRun run = RunQuery({"--timeout", bad, file, "stats"});
        EXPECT_EQ(run.exitCode, 2) << bad;
        EXPECT_TRUE(run.err.starts_with("tessaro-query: --timeout")) << run.err;
    }
}
