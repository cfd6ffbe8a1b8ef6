#include "cli/QueryRunner.h"
#include "support/SampleWorkspace.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <filesystem>

using nlohmann::json;

TEST(QueryWorkspace, AFolderAnswersAcrossItsFilesAndEveryRowNamesItsFile)
{
    SampleFolder sample;
    QueryRun broken = RunQuery({sample.dir.Path().string(), "broken-refs"});
    ASSERT_EQ(broken.exitCode, 0) << broken.err;
    EXPECT_EQ(
        broken.out,
        R"({"ref":"/Missing/Thing","count":1,"first_referrer":"/Body/Door","reason":"target missing","file":")" +
            sample.a + "\"}\n" +
            R"({"ref":"Speed","count":1,"first_referrer":"/Body/Door","reason":"unknown base","file":")" +
            sample.a + "\"}\n");

    QueryRun refs = RunQuery({sample.dir.Path().string(), "refs-to", "/Types/UInt8"});
    ASSERT_EQ(refs.exitCode, 0) << refs.err;
    EXPECT_EQ(refs.Lines(),
              (std::vector<json>{
                  {{"path", "/Body/Speed"}, {"node", "TYPE-TREF"}, {"line", 21}, {"file", sample.a}},
                  {{"path", "/Body/Can/F1"}, {"node", "TYPE-TREF"}, {"line", 16}, {"file", sample.b}},
              }));

    QueryRun found = RunQuery({sample.dir.Path().string(), "find-ref", "/Body/Can/F1"});
    EXPECT_EQ(found.Lines(),
              (std::vector<json>{
                  {{"path", "/Body/Can/F1"}, {"tag", "CAN-FRAME"}, {"line", 13}, {"file", sample.b}}}));
}

TEST(QueryWorkspace, SeveralFilesBeforeTheCommandAreOneWorkspace)
{
    SampleFolder sample;
    QueryRun twoFiles = RunQuery({sample.a, sample.c, "find-ref", "/Types/UInt8"});
    ASSERT_EQ(twoFiles.exitCode, 0) << twoFiles.err;
    EXPECT_EQ(twoFiles.Lines().at(0)["file"], sample.c);
    // Without b, the base /Body/Can and Door's reference relative to it name nothing.
    QueryRun broken = RunQuery({sample.a, sample.c, "broken-refs"});
    ASSERT_EQ(broken.Lines().size(), 4u);
    EXPECT_EQ(broken.Lines()[0]["ref"], "/Body/Can");
    EXPECT_EQ(broken.Lines()[1]["ref"], "/Body/Can/F1");

    QueryRun unknown = RunQuery({sample.a, sample.c, "no-such-command"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("missing COMMAND"), std::string::npos) << unknown.err;
}

TEST(QueryWorkspace, ABadFileIsReportedAndTheOthersAnswerWithAnExitStatusOfTheirOwn)
{
    SampleFolder sample;
    std::string bad = sample.dir.Write("d.arxml", "<AUTOSAR>");
    QueryRun stats = RunQuery({sample.dir.Path().string(), "stats"});
    ASSERT_EQ(stats.exitCode, 5) << stats.err;
    std::vector<json> rows = stats.Lines();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0]["relative_references"], 2);
    EXPECT_EQ(rows[3]["file"], bad);
    EXPECT_EQ(rows[3]["error"].get<std::string>().rfind("Could not load the file " + bad + ": ", 0), 0u);
    EXPECT_NE(stats.err.find("Could not load the file " + bad), std::string::npos);

    // Nothing to answer from: a folder without model files, or one where no file loads.
    TempDir empty;
    EXPECT_EQ(RunQuery({empty.Path().string(), "stats"}).exitCode, 1);
    TempDir allBad;
    const std::string badA = allBad.Write("a.arxml", "<AUTOSAR>"), badB = allBad.Write("b.arxml", "");
    QueryRun none = RunQuery({allBad.Path().string(), "stats"});
    EXPECT_EQ(none.exitCode, 1) << none.err;
    EXPECT_EQ(none.out, "");
    for (const std::string& bad : {badA, badB})
        EXPECT_NE(none.err.find("Could not load the file " + bad), std::string::npos) << none.err;
}
