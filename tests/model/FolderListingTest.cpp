#include "model/FolderListing.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
namespace fs = std::filesystem;

// Listed paths relative to the folder, with "!" before those listed with an error.
std::vector<std::string> Names(const TempDir& dir, const std::vector<ListedFile>& listed)
{
    std::vector<std::string> names;
    for (const ListedFile& entry : listed)
        names.push_back((entry.error.empty() ? "" : "!") +
                        fs::path(entry.path).lexically_relative(dir.Path()).generic_string());
    return names;
}
} // namespace

TEST(FolderListing, ListsArxmlFilesAndArchivesOnceInSortedOrder)
{
    TempDir dir;
    fs::create_directories(dir.Path() / "sub" / "deeper");
    for (const char* name :
         {"z.arxml", "a.ARXML", "sub/m.arxml", "sub/deeper/b.zip", "skip.txt", "skip.ZIP", "skip.arxml.bak"})
        dir.Write(name, "<AUTOSAR/>");
    fs::create_directory(dir.Path() / "folder.arxml");
    std::vector<std::string> expected{"a.ARXML", "sub/deeper/b.zip", "sub/m.arxml", "z.arxml"};
    // A link to the folder itself, or to a folder above, never lists a file twice; a link to a
    // file is a file, and a dangling one is listed for the loader to fail with the system's reason.
    std::error_code noLinks;
    fs::create_directory_symlink(".", dir.Path() / "self", noLinks);
    fs::create_directory_symlink("..", dir.Path() / "sub" / "up.arxml", noLinks);
    fs::create_symlink("z.arxml", dir.Path() / "y-link.arxml", noLinks);
    fs::create_symlink("nowhere", dir.Path() / "x-dangling.arxml", noLinks);
    if (!noLinks)
        expected = {"a.ARXML",          "sub/deeper/b.zip", "sub/m.arxml",
                    "x-dangling.arxml", "y-link.arxml",     "z.arxml"};
    std::atomic<bool> stop{false};
    EXPECT_EQ(Names(dir, ListWorkspaceFiles(dir.Path().string(), stop)), expected);
    stop = true;
    EXPECT_TRUE(ListWorkspaceFiles(dir.Path().string(), stop).empty());
}

#ifndef _WIN32
// A folder that cannot be read is named with the reason, and everything around it is still listed.
// Permissions do not stop root, so the folder is put beyond the longest path the system opens.
TEST(FolderListing, AFolderThatCannotBeReadIsListedWithItsReason)
{
    TempDir dir;
    dir.Write("a.arxml", "<AUTOSAR/>");
    dir.Write("z.arxml", "<AUTOSAR/>");
    const std::string name(200, 'd');
    int fd = open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
    std::vector<int> opened;
    size_t length = dir.Path().string().size();
    for (; length <= PATH_MAX; length += name.size() + 1) {
        ASSERT_EQ(mkdirat(fd, name.c_str(), 0700), 0);
        opened.push_back(fd);
        fd = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ASSERT_GE(fd, 0);
    }
    close(openat(fd, "deep.arxml", O_WRONLY | O_CREAT, 0600));
    std::atomic<bool> stop{false};
    std::vector<ListedFile> listed = ListWorkspaceFiles(dir.Path().string(), stop);
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_TRUE(listed[0].error.empty());
    EXPECT_EQ(listed[1].error.rfind("Could not load the file " + listed[1].path + ": ", 0), 0u)
        << listed[1].error;
    EXPECT_EQ(fs::path(listed[2].path).filename(), "z.arxml");

    unlinkat(fd, "deep.arxml", 0);
    close(fd);
    for (; !opened.empty(); opened.pop_back()) {
        unlinkat(opened.back(), name.c_str(), AT_REMOVEDIR);
        close(opened.back());
    }
}
#endif
