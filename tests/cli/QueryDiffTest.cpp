#include "cli/QueryRunner.h"
#include "support/TestDocuments.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <filesystem>

using nlohmann::json;

namespace {
// Line numbers matter: the rows below name them.
const std::string kOld = R"(<AUTOSAR>
<AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME><ELEMENTS>
<SIG UUID="u-speed"><SHORT-NAME>Speed</SHORT-NAME><LENGTH>8</LENGTH></SIG>
<SIG><SHORT-NAME>Door</SHORT-NAME></SIG>
</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>
)";

const std::string kNew = R"(<AUTOSAR T="2025">
<AR-PACKAGES><AR-PACKAGE><SHORT-NAME>P</SHORT-NAME><ELEMENTS>
<SIG><SHORT-NAME>Lamp</SHORT-NAME></SIG>
<SIG UUID="u-speed"><SHORT-NAME>Velocity</SHORT-NAME>
  <LENGTH>12</LENGTH><DESC>km/h</DESC></SIG>
</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>
)";
} // namespace

// Each side as a file, a folder or an archive; the rows say where each change is to be seen.
TEST(QueryDiff, EveryChangeIsARowWithItsPlaceAndTheExitStatusSaysWhetherAnyDiffers)
{
    TempDir dir;
    const std::string oldFile = dir.Write("old.arxml", kOld);
    std::filesystem::create_directory(dir.Path() / "new");
    const std::string newFile = dir.Write("new/system.arxml", kNew);
    const std::string archive = dir.File("old.zip");
    WriteZip(archive, {{"system.arxml", kOld}});

    QueryRun run = RunQuery({oldFile, "diff", dir.File("new")});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(run.Lines(), (std::vector<json>{
                               {{"change", "changed"},
                                {"path", "/"},
                                {"at", "AUTOSAR/@T"},
                                {"old", nullptr},
                                {"new", "2025"},
                                {"file", newFile},
                                {"line", 1}},
                               {{"change", "removed"}, {"path", "/P/Door"}, {"file", oldFile}, {"line", 4}},
                               {{"change", "added"}, {"path", "/P/Lamp"}, {"file", newFile}, {"line", 3}},
                               {{"change", "moved"},
                                {"path", "/P/Velocity"},
                                {"from", "/P/Speed"},
                                {"file", newFile},
                                {"line", 4}},
                               {{"change", "changed"},
                                {"path", "/P/Velocity"},
                                {"at", "LENGTH"},
                                {"old", "8"},
                                {"new", "12"},
                                {"file", newFile},
                                {"line", 5}},
                               {{"change", "changed"},
                                {"path", "/P/Velocity"},
                                {"at", "DESC"},
                                {"old", nullptr},
                                {"new", "km/h"},
                                {"file", newFile},
                                {"line", 5}},
                               {{"added", 1}, {"removed", 1}, {"moved", 1}, {"changed", 3}},
                           }));

    QueryRun limited = RunQuery({archive, "diff", newFile, "--kinds", "added,removed", "--under", "/P/Lamp"});
    EXPECT_EQ(limited.exitCode, 1) << limited.err;
    EXPECT_EQ(limited.out, "{\"change\":\"added\",\"path\":\"/P/Lamp\",\"file\":\"" + newFile +
                               "\",\"line\":3}\n{\"added\":1,\"removed\":0,\"moved\":0,\"changed\":0}\n");

    QueryRun same = RunQuery({archive, "diff", oldFile});
    EXPECT_EQ(same.exitCode, 0) << same.err;
    EXPECT_EQ(same.out, "{\"added\":0,\"removed\":0,\"moved\":0,\"changed\":0}\n");

    // 1 says "differ", so a version that cannot be loaded is trouble, as for diff(1).
    QueryRun missing = RunQuery({oldFile, "diff", dir.File("missing.arxml")});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.err,
              "Could not load the file " + dir.File("missing.arxml") + ": No such file or directory\n");
    EXPECT_EQ(missing.out, "");
}
