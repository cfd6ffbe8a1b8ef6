// A folder holding one file is a workspace of one document, as the file opened by itself is: every
// command must answer both alike, apart from the file column (where the file sits).
#include "cli/QueryRunner.h"
#include "support/SlowTests.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

using nlohmann::json;

namespace {
// The real files of ../shared/arxml/ and of one real project, taken in turns so that a run cut
// short by the time budget still tries both.
std::vector<std::filesystem::path> RealFiles()
{
    std::vector<std::filesystem::path> loose = SharedArxmlFiles(), project, all;
    std::error_code error;
    const std::filesystem::path p02 =
        std::filesystem::path(TESSARO_SHARED_ARXML_DIR) / "../arxml-projects/P02";
    for (std::filesystem::recursive_directory_iterator walk(p02, error), end; !error && walk != end;
         walk.increment(error)) {
        if (walk->path().extension() == ".arxml")
            project.push_back(walk->path());
    }
    std::sort(project.begin(), project.end());
    for (size_t i = 0; i < std::max(loose.size(), project.size()); ++i) {
        if (i < loose.size())
            all.push_back(loose[i]);
        if (i < project.size())
            all.push_back(project[i]);
    }
    return all;
}

// The exit status and the output with every row's file column taken out (search hits included:
// they are listed in document order, the first ones kept under the cap).
std::string WithoutFiles(const QueryRun& run)
{
    std::string rows = std::to_string(run.exitCode) + "\n";
    for (json line : run.Lines()) {
        line.erase("file");
        rows += line.dump() + "\n";
    }
    return rows;
}
} // namespace

TEST(QueryOneFileFolder, AFolderOfOneFileAnswersEveryCommandAsTheFileDoes)
{
    TESSARO_SLOW_TEST();
    const std::vector<std::filesystem::path> files = RealFiles();
    if (files.empty())
        GTEST_SKIP() << "shared ARXML files absent";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    size_t compared = 0;
    for (size_t i = 0; i < files.size() && std::chrono::steady_clock::now() < deadline; ++i) {
        TempDir folder;
        std::filesystem::create_symlink(std::filesystem::absolute(files[i]), folder.Path() / "only.arxml");
        const std::string file = files[i].string(), dir = folder.Path().string();

        // The arguments come from the file's own paths: one from the middle, and its short name.
        const QueryRun paths = RunQuery({file, "paths"});
        ASSERT_EQ(WithoutFiles(RunQuery({dir, "paths"})), WithoutFiles(paths)) << file;
        const std::vector<json> lines = paths.Lines();
        const std::string path = lines.empty() ? "/" : lines[lines.size() / 2].value("path", "/");
        const std::string name = path.substr(path.rfind('/') + 1);
        const std::vector<std::vector<std::string>> commands = {{"stats"},          {"broken-refs"},
                                                                {"find-ref", path}, {"find-shortname", name},
                                                                {"refs-to", path},  {"search", name}};
        // Two commands per file, in turns, so that every command meets many files.
        for (size_t k : {(2 * i) % commands.size(), (2 * i + 1) % commands.size()}) {
            std::vector<std::string> asFile{file}, asFolder{dir};
            asFile.insert(asFile.end(), commands[k].begin(), commands[k].end());
            asFolder.insert(asFolder.end(), commands[k].begin(), commands[k].end());
            EXPECT_EQ(WithoutFiles(RunQuery(asFolder)), WithoutFiles(RunQuery(asFile)))
                << file << ": " << commands[k][0];
        }
        ++compared;
    }
    std::cout << compared << " of " << files.size() << " files compared within the time budget\n";
    EXPECT_GT(compared, 0u);
}
