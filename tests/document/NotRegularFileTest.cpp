#include "lifecycle/LoadingState.h"
#include "support/TestDocuments.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(LoadingState, PathsThatAreNotRegularFilesEndInTheErrorState)
{
    TempDir dir;
    // Opening a FIFO would wait for a writer forever, and the next open with it.
    const std::string fifo = dir.File("pipe.arxml");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string zipFifo = dir.File("pipe.zip");
    ASSERT_EQ(mkfifo(zipFifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, zipFifo, std::string("/dev/zero")}) {
        std::shared_ptr<State> state = UpdateUntil(std::make_shared<LoadingState>(path), StateKind::Error);
        ASSERT_EQ(state->GetKind(), StateKind::Error) << path;
        EXPECT_EQ(state->GetErrorMessage(), "Could not load the file " + path + ": not a regular file");
    }
}
